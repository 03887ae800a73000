#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "engine/base/Error.h"
#include "engine/colour/ColourDifference.h"
#include "engine/fit/GradedPair.h"
#include "engine/fit/LutFit.h"
#include "engine/lut/LUT.h"
#include "engine/picture/DeepImage.h"
#include "engine/picture/Image.h"

namespace {

using TGrade = std::function<void(const float* in, float* out)>;

// A pair of generated pictures: BEFORE of random colours drawn from the box
// [low, high] per channel, AFTER = grade(BEFORE).
struct TGeneratedPair {
    int Width = 0;
    int Height = 0;
    std::vector<float> Before;
    std::vector<float> After;

    TPicturePair View() const {
        return {Width, Height, [this](int y, float* before, float* after) {
                    const std::size_t row = static_cast<std::size_t>(y) * Width * 3;
                    std::copy(Before.begin() + row, Before.begin() + row + Width * 3, before);
                    std::copy(After.begin() + row, After.begin() + row + Width * 3, after);
                }};
    }
};

TGeneratedPair MakePair(int width, int height, float low, float high, const TGrade& grade, unsigned seed = 1) {
    TGeneratedPair pair{width, height, std::vector<float>(static_cast<std::size_t>(width) * height * 3),
                        std::vector<float>(static_cast<std::size_t>(width) * height * 3)};
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> value(low, high);
    for (std::size_t i = 0; i < pair.Before.size(); i += 3) {
        for (int c = 0; c < 3; ++c) pair.Before[i + c] = value(rng);
        grade(&pair.Before[i], &pair.After[i]);
    }
    return pair;
}

// A smooth, clearly non-linear grade: an S-curve per channel with a twist
// of red into blue.
void SCurveTwist(const float* in, float* out) {
    for (int c = 0; c < 3; ++c) out[c] = in[c] * in[c] * (3.0f - 2.0f * in[c]);
    out[2] = 0.8f * out[2] + 0.2f * out[0];
}

void ScaledAndLifted(const float* in, float* out) {
    for (int c = 0; c < 3; ++c) out[c] = 0.1f + 0.8f * in[c];
}

TRGBDouble Lookup(const TLUT& lut, double r, double g, double b) {
    TRGBDouble out;
    lut.LookupNormalized({r, g, b}, out);
    return out;
}

}  // namespace

// Published CIEDE2000 test pairs (the reference data set of the formula's
// implementation notes) and the sRGB corners in CIELAB.
TEST(ColourDifferenceTest, MatchesPublishedPairsAndLabCorners) {
    struct TCase {
        TLab First, Second;
        double Expected;
    };
    const TCase cases[] = {
        {{50.0, 2.6772, -79.7751}, {50.0, 0.0, -82.7485}, 2.0425},
        {{50.0, 3.1571, -77.2803}, {50.0, 0.0, -82.7485}, 2.8615},
        {{50.0, 2.8361, -74.0200}, {50.0, 0.0, -82.7485}, 3.4412},
        {{50.0, -1.3802, -84.2814}, {50.0, 0.0, -82.7485}, 1.0000},
        {{50.0, 0.0, 0.0}, {50.0, -1.0, 2.0}, 2.3669},
        {{50.0, 2.5, 0.0}, {73.0, 25.0, -18.0}, 27.1492},
        {{50.0, 2.5, 0.0}, {61.0, -5.0, 29.0}, 22.8977},
        {{60.2574, -34.0099, 36.2677}, {60.4626, -34.1751, 39.4387}, 1.2644},
    };
    for (const TCase& c : cases) {
        EXPECT_NEAR(DeltaE2000(c.First, c.Second), c.Expected, 1e-4);
        EXPECT_NEAR(DeltaE2000(c.Second, c.First), c.Expected, 1e-4);
    }
    EXPECT_EQ(DeltaE2000({40.0, 10.0, -5.0}, {40.0, 10.0, -5.0}), 0.0);

    const TLab white = SrgbToLab(1.0, 1.0, 1.0);
    EXPECT_NEAR(white.L, 100.0, 1e-3);
    EXPECT_NEAR(white.A, 0.0, 1e-2);
    EXPECT_NEAR(white.B, 0.0, 1e-2);
    const TLab red = SrgbToLab(1.0, 0.0, 0.0);
    EXPECT_NEAR(red.L, 53.24, 0.02);
    EXPECT_NEAR(red.A, 80.09, 0.05);
    EXPECT_NEAR(red.B, 67.20, 0.05);
    EXPECT_NEAR(SrgbToLab(0.0, 0.0, 0.0).L, 0.0, 1e-9);
}

TEST(LutFitTest, ReproducesASmoothGradeAndContinuesBeyondThePair) {
    // A grade the grid can hold exactly is learned exactly.
    const TGeneratedPair full = MakePair(200, 150, 0.0f, 1.0f, ScaledAndLifted);
    TLUT lut;
    const TFitCoverage coverage = FitLutToPair(full.View(), {17, kDefaultSmoothness}, lut);
    ASSERT_EQ(lut.Kind, lkCube);
    ASSERT_EQ(lut.CubeSize, 17);
    EXPECT_NEAR(lut.Cube[16][0][8].Red, 0.9, 1e-4);
    EXPECT_NEAR(lut.Cube[16][0][8].Green, 0.1, 1e-4);
    EXPECT_NEAR(lut.Cube[16][0][8].Blue, 0.5, 1e-4);
    EXPECT_GT(coverage.Share(), 0.99);

    // A non-linear grade is learned to well within a just-noticeable
    // difference.
    const TGeneratedPair curved = MakePair(200, 150, 0.0f, 1.0f, SCurveTwist, 2);
    FitLutToPair(curved.View(), {33, kDefaultSmoothness}, lut);
    const TFitQuality quality = MeasureFit(curved.View(), lut);
    EXPECT_EQ(quality.Measured, 200 * 150);
    EXPECT_LT(quality.MeanDeltaE, 0.3);
    EXPECT_LT(quality.Percentile99, 1.0);

    // Colours only in the darker half: white continues the learned line
    // (0.9) instead of falling back to the identity (1.0), and the
    // coverage is about the eighth of the volume the colours fill.
    const TGeneratedPair dark = MakePair(120, 100, 0.0f, 0.5f, ScaledAndLifted, 3);
    const TFitCoverage half = FitLutToPair(dark.View(), {17, kDefaultSmoothness}, lut);
    const TRGBDouble white = Lookup(lut, 1.0, 1.0, 1.0);
    EXPECT_NEAR(white.Red, 0.9, 0.02);
    EXPECT_NEAR(white.Blue, 0.9, 0.02);
    EXPECT_NEAR(half.Share(), 0.125, 0.01);
    const float inside[3] = {0.2f, 0.3f, 0.4f};
    const float outside[3] = {0.2f, 0.3f, 0.9f};
    EXPECT_TRUE(half.Covers(inside));
    EXPECT_FALSE(half.Covers(outside));
    const TFitQuality coveredOnly = MeasureFit(full.View(), lut, &half);
    EXPECT_EQ(coveredOnly.Measured + coveredOnly.Outside, 200 * 150);
    EXPECT_GT(coveredOnly.Outside, 200 * 150 / 2);
}

TEST(LutFitTest, SmoothnessWeightsTheGridAgainstThePixels) {
    // A single-colour pair: the one colour is reproduced at any weight,
    // and the rest of the grid is decided (no NaN) by the smoothness.
    const TGeneratedPair flat = MakePair(40, 30, 0.4f, 0.4f, [](const float*, float* out) {
        out[0] = 0.7f;
        out[1] = 0.2f;
        out[2] = 0.1f;
    });
    TLUT lut;
    const TFitCoverage one = FitLutToPair(flat.View(), {9, 1.0}, lut);
    const TRGBDouble at = Lookup(lut, 0.4, 0.4, 0.4);
    EXPECT_NEAR(at.Red, 0.7, 1e-3);
    EXPECT_NEAR(at.Green, 0.2, 1e-3);
    EXPECT_NEAR(at.Blue, 0.1, 1e-3);
    EXPECT_NEAR(one.Share(), 1.0 / 512.0, 1e-12);
    for (int r = 0; r < 9; ++r) EXPECT_TRUE(std::isfinite(lut.Cube[r][r][8 - r].Red));

    // A very stiff grid bends less than the pixels ask: its error on a
    // curved grade is larger than at the default.
    const TGeneratedPair curved = MakePair(100, 100, 0.0f, 1.0f, SCurveTwist, 4);
    FitLutToPair(curved.View(), {17, kDefaultSmoothness}, lut);
    const double loose = MeasureFit(curved.View(), lut).MeanDeltaE;
    FitLutToPair(curved.View(), {17, 1e5}, lut);
    const double stiff = MeasureFit(curved.View(), lut).MeanDeltaE;
    EXPECT_GT(stiff, 2.0 * loose);
}

TEST(LutFitTest, RefusesBadSettingsAndSamplesLargePairs) {
    const TGeneratedPair pair = MakePair(64, 64, 0.0f, 1.0f, ScaledAndLifted);
    TLUT lut;
    EXPECT_THROW(FitLutToPair(pair.View(), {1, 1.0}, lut), EError);
    EXPECT_THROW(FitLutToPair(pair.View(), {kMaxFitSize + 1, 1.0}, lut), EError);
    EXPECT_THROW(FitLutToPair(pair.View(), {17, 0.0}, lut), EError);
    EXPECT_THROW(FitLutToPair(pair.View(), {17, NAN}, lut), EError);
    EXPECT_THROW(FitLutToPair(TPicturePair{0, 10, pair.View().Read}, {17, 1.0}, lut), EError);

    // At most maxPixels: an even lattice, every 2nd row and column here.
    FitLutToPair(pair.View(), {5, 1.0}, lut);
    const TFitQuality sampled = MeasureFit(pair.View(), lut, nullptr, 64 * 64 / 4);
    EXPECT_EQ(sampled.Measured, 32 * 32);
    EXPECT_LT(sampled.MeanDeltaE, 0.05);
}

TEST(GradedPairTest, FindsShiftsOfMoreThanAPixel) {
    // A textured frame: value noise on a 5-pixel lattice, bilinearly
    // interpolated, as photographs have edges at many places.
    const int width = 300, height = 200;
    auto lattice = [](int i, int j, int c) {
        const unsigned h = (static_cast<unsigned>(i) * 73856093u) ^ (static_cast<unsigned>(j) * 19349663u) ^
                           (static_cast<unsigned>(c) * 83492791u);
        return static_cast<float>((h * 2654435761u) >> 8 & 0xffff) / 65535.0f;
    };
    auto texture = [&](int x, int y, int c) {
        const int i = (x + 50) / 5, j = (y + 50) / 5;
        const float fx = static_cast<float>((x + 50) % 5) / 5.0f, fy = static_cast<float>((y + 50) % 5) / 5.0f;
        return (1 - fy) * ((1 - fx) * lattice(i, j, c) + fx * lattice(i + 1, j, c)) +
               fy * ((1 - fx) * lattice(i, j + 1, c) + fx * lattice(i + 1, j + 1, c));
    };
    for (const auto& [dx, dy] :
         {std::pair{0, 0}, std::pair{3, 0}, std::pair{0, -2}, std::pair{1, 1}, std::pair{-3, 3}}) {
        TPicturePair pair{width, height, [&, dx = dx, dy = dy](int y, float* before, float* after) {
                              for (int x = 0; x < width; ++x)
                                  for (int c = 0; c < 3; ++c) {
                                      before[3 * x + c] = texture(x, y, c);
                                      // AFTER graded (squared, inverted red) and moved by dx, dy.
                                      const float v = texture(x - dx, y - dy, c);
                                      after[3 * x + c] = c == 0 ? 1.0f - v : v * v;
                                  }
                          }};
        const TPairShift shift = MeasurePairShift(pair);
        EXPECT_EQ(shift.X, dx) << dx << "," << dy;
        EXPECT_EQ(shift.Y, dy) << dx << "," << dy;
    }
}

TEST(GradedPairTest, SmoothGradientsWithChangedColoursStayInPlace) {
    // Float gradients (no quantisation to give their edges texture), AFTER
    // through a smooth S-curve or a power: their edges change slowly across
    // the frame and agree about as well at any shift.
    auto sCurve = [](float v) { return v * v * (3.0f - 2.0f * v); };
    auto power = [](float v) { return std::pow(v, 0.6f); };
    auto diagonal = [](float u, float v, float* p) {
        const float t = (u + v) / 2;
        p[0] = t, p[1] = t * t, p[2] = 1 - t;
    };
    auto across = [](float u, float, float* p) { p[0] = u, p[1] = 0.5f * u + 0.2f, p[2] = 0.8f - 0.6f * u; };
    const std::function<float(float)> curves[] = {sCurve, power};
    const std::function<void(float, float, float*)> gradients[] = {diagonal, across};
    for (int width : {320, 1000})
        for (const auto& gradient : gradients)
            for (const auto& curve : curves) {
                const int height = width * 5 / 8;
                TPicturePair pair{width, height, [&](int y, float* before, float* after) {
                                      for (int x = 0; x < width; ++x) {
                                          gradient(static_cast<float>(x) / (width - 1),
                                                   static_cast<float>(y) / (height - 1), before + 3 * x);
                                          for (int c = 0; c < 3; ++c) after[3 * x + c] = curve(before[3 * x + c]);
                                      }
                                  }};
                const TPairShift shift = MeasurePairShift(pair);
                EXPECT_EQ(shift.X, 0) << width;
                EXPECT_EQ(shift.Y, 0) << width;
            }
}

TEST(GradedPairTest, BringsPairsOfOneShapeToOneSize) {
    TImage before(200, 100);
    TImage after(100, 50);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 600; ++x) before.Row(y)[x] = static_cast<std::uint8_t>((x + y) & 0xff);
    MatchPairSizes(before, after, "b.png", "a.png");
    EXPECT_EQ(before.Width(), 100);
    EXPECT_EQ(before.Height(), 50);
    EXPECT_EQ(after.Width(), 100);

    // The same for deep pictures, the larger one after: a flat grey stays
    // that grey through the reduction.
    TDeepImage deepBefore(64, 36, false);
    TDeepImage deepAfter(128, 72, false);
    for (int y = 0; y < 72; ++y) std::fill(deepAfter.Row(y), deepAfter.Row(y) + 128 * 3, 0.25f);
    MatchPairSizes(deepBefore, deepAfter, "b.exr", "a.exr");
    ASSERT_EQ(deepAfter.Width(), 64);
    ASSERT_EQ(deepAfter.Height(), 36);
    EXPECT_NEAR(deepAfter.Row(17)[3 * 31 + 1], 0.25f, 1e-3f);

    // Another shape is refused with both sizes named.
    TImage square(100, 100);
    TImage wide(160, 90);
    try {
        MatchPairSizes(square, wide, "b.png", "a.png");
        FAIL() << "a square and a wide picture were taken as one frame";
    } catch (const EError& error) {
        EXPECT_STREQ(error.what(),
                     "The pictures of a graded pair must show the same frame: \"b.png\" is 100 x 100 "
                     "pixels, \"a.png\" is 160 x 90 pixels.");
    }
    // A picture larger one way and smaller the other is no reduction either.
    TImage tall(90, 200);
    TImage wider(100, 100);
    EXPECT_THROW(MatchPairSizes(tall, wider, "b.png", "a.png"), EError);
}
