#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>

#include "engine/base/Error.h"
#include "engine/colour/ColorSpace.h"
#include "engine/look/LookControls.h"
#include "engine/look/LookStrength.h"
#include "engine/look/LookTransfer.h"
#include "engine/look/SourceMatch.h"
#include "engine/lut/LUT.h"
#include "engine/picture/Image.h"
#include "tests/engine/LookCubes.h"
#include "tests/engine/TestImages.h"

namespace {

TLookSettings StormyLook() {
    TLookSettings s;
    s.Stats.Ranges[0] = {0.03, 0.04, -0.05, 0.03};
    s.Stats.Ranges[1] = {0.05, 0.06, -0.04, 0.05};
    s.Stats.Ranges[2] = {0.02, 0.03, -0.01, 0.02};
    s.Factors.Overall = 1.3f;
    return s;
}

bool SameCube(const TLUT& a, const TLUT& b) {
    for (int i = 0; i < a.CubeSize; ++i)
        if (std::memcmp(a.Cube[i], b.Cube[i], sizeof(TLUT::TCubePlane)) != 0) return false;
    return a.CubeSize == b.CubeSize;
}

// Largest channel difference between the cube and its own grid colours.
double FarthestFromIdentity(const TLUT& lut) {
    const int n = lut.CubeSize;
    double far = 0.0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k) {
                const TRGBDouble& c = lut.Cube[i][j][k];
                far = std::max({far, std::fabs(c.Red - i / (n - 1.0)), std::fabs(c.Green - j / (n - 1.0)),
                                std::fabs(c.Blue - k / (n - 1.0))});
            }
    return far;
}

// Mean U and V of a picture.
void MeanChroma(const TImage& image, double& u, double& v) {
    u = v = 0.0;
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x) {
            double Y, U, V;
            RGBToYUV(Channel(image, x, y, 2) / 255.0, Channel(image, x, y, 1) / 255.0, Channel(image, x, y, 0) / 255.0,
                     Y, U, V);
            u += U;
            v += V;
        }
    const double n = static_cast<double>(image.Width()) * image.Height();
    u /= n;
    v /= n;
}

// A frame with a strong red cast over all tones.
TImage RedFrame() {
    TImage image(120, 80);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> grey(0, 200), noise(0, 30);
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x) {
            const int g = grey(rng);
            SetPixel(image, x, y, std::min(255, g + 55), g / 2 + noise(rng), g / 2 + noise(rng));
        }
    return image;
}

}  // namespace

TEST(LookStrengthTest, FullStrengthIsTheLookZeroTheIdentityHalfTheMidpoint) {
    TLookSettings s = StormyLook();
    const auto full = LookCubeOf(s, 17);
    s.Strength = 1.0;
    EXPECT_TRUE(SameCube(*LookCubeOf(s, 17), *full));
    ASSERT_GT(FarthestFromIdentity(*full), 0.05);  // a look that visibly changes colours

    s.Strength = 0.0;
    EXPECT_EQ(FarthestFromIdentity(*LookCubeOf(s, 17)), 0.0);

    s.Strength = 0.5;
    const auto half = LookCubeOf(s, 17);
    for (int i = 0; i < 17; ++i)
        for (int j = 0; j < 17; j += 4)
            for (int k = 0; k < 17; k += 3) {
                const TRGBDouble& h = half->Cube[i][j][k];
                const TRGBDouble& f = full->Cube[i][j][k];
                EXPECT_NEAR(h.Red, (f.Red + i / 16.0) / 2, 1e-15);
                EXPECT_NEAR(h.Green, (f.Green + j / 16.0) / 2, 1e-15);
                EXPECT_NEAR(h.Blue, (f.Blue + k / 16.0) / 2, 1e-15);
                EXPECT_TRUE(h.Red >= 0 && h.Red <= 1 && h.Blue >= 0 && h.Blue <= 1);
            }

    auto lut = LookCubeOf(StormyLook(), 5);
    EXPECT_THROW(ApplyLookStrength(1.01, *lut), EError);
    EXPECT_THROW(ApplyLookStrength(-0.01, *lut), EError);
    EXPECT_THROW(ApplyLookStrength(std::nan(""), *lut), EError);
}

TEST(LookStrengthTest, PositionsGiveTheShareAndRefuseValuesOutside) {
    TLookPositions p;
    EXPECT_EQ(MakeLookSettings(TColorStats(), p).Strength, 1.0);
    p.Strength = 37;
    EXPECT_EQ(MakeLookSettings(TColorStats(), p).Strength, 0.37);
    p.Strength = 101;
    EXPECT_THROW(MakeLookSettings(TColorStats(), p), EError);
    p.Strength = -1;
    EXPECT_THROW(MakeLookSettings(TColorStats(), p), EError);
}

TEST(SourceMatchTest, AFrameLikeTheReferenceIsLeftAlmostAsItIs) {
    for (bool advanced : {true, false}) {
        TLookSettings s = StormyLook();
        s.Factors.Overall = 1.0f;
        s.AdvancedAnalysis = advanced;
        s.MatchSource = true;
        s.SourceStats = s.Stats;
        // Only the YUV round trip and the saturation stage's HSL round trip remain.
        EXPECT_LT(FarthestFromIdentity(*LookCubeOf(s, 33)), 1e-4) << advanced;
        s.MatchSource = false;
        EXPECT_GT(FarthestFromIdentity(*LookCubeOf(s, 33)), 0.05) << advanced;
    }
}

TEST(SourceMatchTest, FallsBackOnTheNeutralSourceWhereItCannotDivide) {
    TLookSettings plain = StormyLook();
    TLookSettings matched = plain;
    matched.MatchSource = true;
    matched.SourceStats = plain.Stats;
    for (TRangeStats& r : matched.SourceStats.Ranges) r.DevV = 5e-7;  // a frame without red-green spread
    EXPECT_TRUE(SameCube(*LookCubeOf(matched, 9), *LookCubeOf(plain, 9)));
    // Gain 0 switches the chroma transfer off in both modes.
    plain.Gain = matched.Gain = 0.0;
    matched.SourceStats = StormyLook().Stats;
    EXPECT_TRUE(SameCube(*LookCubeOf(matched, 9), *LookCubeOf(plain, 9)));

    // The chroma step itself: below the limit in U alone, the colour takes the neutral form.
    const TChromaTarget target{0.02, 0.05, -0.03, 0.04};
    const TChromaTarget source{0.1, 1e-7, 0.1, 0.2};
    double u = 0.2, v = -0.1, u0 = u, v0 = v;
    TransferChroma(target, &source, 0.05, u, v);
    TransferChroma(target, nullptr, 0.05, u0, v0);
    EXPECT_EQ(u, u0);
    EXPECT_EQ(v, v0);
    // Color Gain 50 halves the matched spread: p / 100 = 0.05 / Gain.
    const TChromaTarget spread{0.02, 0.05, -0.03, 0.04};
    const TChromaTarget frame{0.1, 0.1, -0.2, 0.08};
    u = 0.3, v = 0.0;
    TransferChroma(spread, &frame, 0.1, u, v);
    EXPECT_NEAR(u, 0.5 * 0.5 * (0.3 - 0.1) + 0.02, 1e-15);
    EXPECT_NEAR(v, 0.5 * 0.5 * (0.0 + 0.2) - 0.03, 1e-15);
}

TEST(SourceMatchTest, MatchingTakesTheFramesCastOutBeforeTheReferencesGoesIn) {
    const TImage frame = RedFrame();
    TLookSettings s = StormyLook();
    s.Factors.Overall = 1.0f;
    double targetU = 0, targetV = 0;
    for (const TRangeStats& r : s.Stats.Ranges) targetU += r.MeanU / 3, targetV += r.MeanV / 3;

    double errors[2];
    for (bool match : {false, true}) {
        s.MatchSource = match;
        s.SourceStats = FrameStatistics(frame);
        TImage graded = frame.Clone();
        LookCubeOf(s, 33)->ApplyToImage(graded);
        double u, v;
        MeanChroma(graded, u, v);
        errors[match] = std::fabs(u - targetU) + std::fabs(v - targetV);
    }
    // The neutral-source transfer keeps much of the red; matching lands near the reference.
    EXPECT_GT(errors[0], 0.05);
    EXPECT_LT(errors[1], errors[0] / 3) << errors[0] << " " << errors[1];

    EXPECT_THROW(FrameStatistics(TImage()), EError);
    // Frames above the preview box are measured as the preview shows them.
    const TImage wide = RandomImage(2400, 300, 3);
    TColorStats fitted;
    ComputeColorStats(PrepareFrame(wide), fitted);
    EXPECT_EQ(PrepareFrame(wide).Width(), 1000);
    const TColorStats measured = FrameStatistics(wide);
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(measured.PixelCounts[r], fitted.PixelCounts[r]);
        EXPECT_EQ(measured.Ranges[r].DevV, fitted.Ranges[r].DevV);
    }
    EXPECT_EQ(measured.PixelCounts[0] + measured.PixelCounts[1] + measured.PixelCounts[2], 1000 * 125);
}
