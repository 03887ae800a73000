#include "grading/ShotMatching.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/base/Error.h"
#include "engine/base/Parallel.h"
#include "engine/colour/ColourDifference.h"
#include "engine/footage/FootageConversion.h"
#include "engine/lut/LUT.h"
#include "grading/ShotSelection.h"
#include "tests/cli/KnownLooks.h"

namespace {

// A second view of a photograph: FRAME's pixel (x, y) shows the photograph
// at (x, y) turned by `degrees`, scaled by `scale` and moved by (dx, dy),
// read bilinearly.
struct TView {
    double Degrees = 0.0;
    double Scale = 1.0;
    double Dx = 0.0;
    double Dy = 0.0;
};

double Channel(const TImage& image, double x, double y, int byte) {
    const int x0 = std::clamp(static_cast<int>(std::floor(x)), 0, image.Width() - 1);
    const int y0 = std::clamp(static_cast<int>(std::floor(y)), 0, image.Height() - 1);
    const int x1 = std::min(x0 + 1, image.Width() - 1), y1 = std::min(y0 + 1, image.Height() - 1);
    const double fx = std::clamp(x - x0, 0.0, 1.0), fy = std::clamp(y - y0, 0.0, 1.0);
    auto at = [&](int px, int py) { return double(image.Row(py)[3 * px + byte]); };
    return (1 - fy) * ((1 - fx) * at(x0, y0) + fx * at(x1, y0)) + fy * ((1 - fx) * at(x0, y1) + fx * at(x1, y1));
}

TImage ViewOf(const TImage& photo, const TView& view, int width, int height) {
    TImage out(width, height);
    const double a = view.Degrees * 3.14159265358979 / 180.0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double px = view.Scale * (std::cos(a) * x - std::sin(a) * y) + view.Dx;
            const double py = view.Scale * (std::sin(a) * x + std::cos(a) * y) + view.Dy;
            for (int byte = 0; byte < 3; ++byte)
                out.Row(y)[3 * x + byte] = static_cast<std::uint8_t>(std::lround(Channel(photo, px, py, byte)));
        }
    return out;
}

// Puts `other` over the columns [from, to) of the picture.
void Cover(TImage& picture, const TImage& other, int from, int to) {
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = from; x < to; ++x)
            for (int byte = 0; byte < 3; ++byte)
                picture.Row(y)[3 * x + byte] = other.Row(y % other.Height())[3 * (x % other.Width()) + byte];
}

bool HavePhotos(const std::vector<std::string>& names, std::string& missing) {
    for (const std::string& name : names)
        if (!std::filesystem::exists(kPhotoFolder + name)) {
            missing = kPhotoFolder + name;
            return false;
        }
    return true;
}

#define REQUIRE_PHOTOS(...)                                                                \
    do {                                                                                   \
        std::string missing;                                                               \
        if (!HavePhotos({__VA_ARGS__}, missing)) GTEST_SKIP() << missing << " is missing"; \
    } while (false)

// The mean and the largest CIEDE2000 between two LUTs over the colours of a
// picture.
struct TLutDistance {
    double Mean = 0.0;
    double P95 = 0.0;
};

TLutDistance Distance(const TLUT& first, const TLUT& second, const TImage& colours) {
    std::vector<double> all;
    std::vector<float> row(static_cast<std::size_t>(colours.Width()) * 3);
    for (int y = 0; y < colours.Height(); y += 2) {
        EightBitRow(colours, y, row.data());
        for (int x = 0; x < colours.Width(); x += 2) {
            const TRGBDouble in{row[3 * x], row[3 * x + 1], row[3 * x + 2]};
            TRGBDouble a, b;
            first.LookupNormalized(in, a);
            second.LookupNormalized(in, b);
            all.push_back(DeltaE2000(SrgbToLab(a.Red, a.Green, a.Blue), SrgbToLab(b.Red, b.Green, b.Blue)));
        }
    }
    std::sort(all.begin(), all.end());
    double sum = 0.0;
    for (double d : all) sum += d;
    return {sum / all.size(), all[all.size() * 95 / 100]};
}

// GRADED: Garden graded with the S-curve and hue twist; FRAME: another view
// of the same photograph, turned 4 degrees, 10 % closer, moved.
class ShotMatchingTest : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_PHOTOS("Garden.jpg", "LadyBird.jpg");
        photo_ = LoadPhoto("Garden.jpg", 900);
        look_ = SCurveHueTwist();
        graded_ = Graded(photo_, *look_);
        frame_ = ViewOf(photo_, {4.0, 0.9, 120.0, 30.0}, 640, 400);
    }

    TImage photo_;
    std::unique_ptr<TLUT> look_;
    TImage graded_;
    TImage frame_;
};

TEST_F(ShotMatchingTest, KnownLookComesBackThroughKnownHomography) {
    const TMatchedShot shot = MatchShot(graded_, frame_, {}, "graded.jpg", "frame.jpg");
    EXPECT_GT(shot.MatchedShare, 0.8);
    EXPECT_LE(shot.MatchedShare, 1.0);
    const TLutDistance d = Distance(*shot.Lut, *look_, frame_);
    EXPECT_LT(d.Mean, 1.0);
    EXPECT_LT(d.P95, 2.5);
    EXPECT_LT(shot.Quality.MeanDeltaE, 1.5);
    EXPECT_EQ(shot.MatchedRegion.Width(), frame_.Width());
    EXPECT_EQ(shot.MatchedRegion.Height(), frame_.Height());
}

TEST_F(ShotMatchingTest, AnotherSceneIsRefusedNamingTheShare) {
    const TImage other = LoadPhoto("LadyBird.jpg", 640);
    try {
        MatchShot(graded_, other, {}, "graded.jpg", "other.jpg");
        FAIL() << "a frame of another scene was matched";
    } catch (const EError& error) {
        const std::string message = error.what();
        EXPECT_EQ(message.rfind("only ", 0), 0u) << message;
        EXPECT_NE(message.find(" % of \"other.jpg\" shows the scene of \"graded.jpg\" (at least 20 % is needed); "
                               "--match matches colour statistics instead"),
                  std::string::npos)
            << message;
    }
}

TEST_F(ShotMatchingTest, TinyOrFlatFramesAreRefusedNotFailed) {
    TImage flat(300, 200);
    for (int y = 0; y < flat.Height(); ++y) std::fill(flat.Row(y), flat.Row(y) + 3 * flat.Width(), 128);
    const TImage tiny = FitImage(photo_, 6, 6);
    const TImage dot = FitImage(photo_, 1, 1);
    for (const TImage* frame : std::initializer_list<const TImage*>{&flat, &tiny, &dot}) {
        try {
            MatchShot(graded_, *frame, {}, "graded.jpg", "small.png");
            FAIL() << frame->Width() << " x " << frame->Height() << " was matched";
        } catch (const EError& error) {
            EXPECT_EQ(std::string(error.what()).rfind("only 0 % of \"small.png\"", 0), 0u) << error.what();
        }
    }
}

TEST_F(ShotMatchingTest, LeastShareIsSettable) {
    TShotMatching settings;
    settings.MinMatchedShare = 0.995;
    try {
        MatchShot(graded_, frame_, settings, "g.png", "f.png");
        FAIL() << "a frame matched below the least share was accepted";
    } catch (const EError& error) {
        EXPECT_NE(std::string(error.what()).find("(at least 99.5 % is needed)"), std::string::npos) << error.what();
    }
}

TEST_F(ShotMatchingTest, OccludedThirdBarelyChangesTheFit) {
    const TMatchedShot clear = MatchShot(graded_, frame_, {}, "graded.jpg", "frame.jpg");
    TImage occluded = frame_.Clone();
    Cover(occluded, LoadPhoto("LadyBird.jpg", 640), 0, occluded.Width() / 3);
    const TMatchedShot shot = MatchShot(graded_, occluded, {}, "graded.jpg", "occluded.jpg");
    // The covered third is not taken as the scene, the rest is.
    EXPECT_GT(shot.MatchedShare, 0.55);
    EXPECT_LT(shot.MatchedShare, 0.72);
    std::int64_t keptInCover = 0;
    for (int y = 0; y < occluded.Height(); ++y)
        for (int x = 0; x < occluded.Width() / 3; ++x) keptInCover += shot.MatchedRegion.Row(y)[3 * x] != 0;
    EXPECT_LT(keptInCover, occluded.Width() * occluded.Height() / 3 / 50);
    // Bound: on FRAME's own colours the two fits stay within a mean CIEDE2000 of 1.
    EXPECT_LT(Distance(*shot.Lut, *clear.Lut, frame_).Mean, 1.0);
    EXPECT_LT(Distance(*shot.Lut, *look_, frame_).Mean, 1.5);
}

// The share of the columns [from, to) that the matched region keeps.
double KeptShare(const TImage& region, int from, int to) {
    std::int64_t kept = 0;
    for (int y = 0; y < region.Height(); ++y)
        for (int x = from; x < to; ++x) kept += region.Row(y)[3 * x] != 0;
    return static_cast<double>(kept) / (static_cast<double>(region.Height()) * (to - from));
}

TEST_F(ShotMatchingTest, MisplacedContentBarelyChangesTheFit) {
    // The right third of FRAME shows the scene 15 pixels off, as parallax
    // or a moving part would: the same colours, in the wrong place. Where it
    // has clear structure the check drops it; flat and soft parts may stay.
    const int from = 2 * frame_.Width() / 3;
    TImage moved = frame_.Clone();
    Cover(moved, ViewOf(photo_, {4.0, 0.9, 135.0, 30.0}, 640, 400), from, moved.Width());
    const TMatchedShot clear = MatchShot(graded_, frame_, {}, "graded.jpg", "frame.jpg");
    const TMatchedShot shot = MatchShot(graded_, moved, {}, "graded.jpg", "moved.jpg");
    EXPECT_LT(KeptShare(shot.MatchedRegion, from + 10, moved.Width()),
              KeptShare(clear.MatchedRegion, from + 10, moved.Width()) - 0.08);
    // Bound: on FRAME's own colours the fit stays within a mean CIEDE2000 of
    // 1 of the true look.
    EXPECT_LT(Distance(*shot.Lut, *look_, frame_).Mean, 1.0);
}

bool SameCubeBits(const TLUT& a, const TLUT& b) {
    if (a.CubeSize != b.CubeSize) return false;
    for (int r = 0; r < a.CubeSize; ++r)
        for (int g = 0; g < a.CubeSize; ++g)
            if (std::memcmp(a.Cube[r][g], b.Cube[r][g], sizeof(TRGBDouble) * a.CubeSize) != 0) return false;
    return true;
}

double LargestDifference(const TLUT& a, const TLUT& b) {
    double most = 0.0;
    for (int r = 0; r < a.CubeSize; ++r)
        for (int g = 0; g < a.CubeSize; ++g)
            for (int bl = 0; bl < a.CubeSize; ++bl) {
                const TRGBDouble &p = a.Cube[r][g][bl], &q = b.Cube[r][g][bl];
                most =
                    std::max({most, std::abs(p.Red - q.Red), std::abs(p.Green - q.Green), std::abs(p.Blue - q.Blue)});
            }
    return most;
}

TEST_F(ShotMatchingTest, SameFramesGiveTheSameLook) {
    const TMatchedShot first = MatchShot(graded_, frame_, {}, "graded.jpg", "frame.jpg");
    const TMatchedShot second = MatchShot(graded_, frame_, {}, "graded.jpg", "frame.jpg");
    EXPECT_TRUE(SameCubeBits(*first.Lut, *second.Lut));
    EXPECT_EQ(first.MatchedShare, second.MatchedShare);
    EXPECT_TRUE(first.MatchedRegion.SamePixels(second.MatchedRegion));

    const int before = LimitWorkers(1);
    const TMatchedShot single = MatchShot(graded_, frame_, {}, "graded.jpg", "frame.jpg");
    LimitWorkers(before);
    EXPECT_EQ(single.MatchedShare, first.MatchedShare);
    EXPECT_TRUE(single.MatchedRegion.SamePixels(first.MatchedRegion));
    // The fitter's tolerance across numbers of cores.
    EXPECT_LT(LargestDifference(*single.Lut, *first.Lut), kFitCoreTolerance);
}

// The log footage of AsLogFootage back to display colours.
class TLogFootage : public TFootageConversion {
public:
    std::string Label() const override { return "test log"; }
    void Convert(float* rgb, std::size_t count) const override {
        for (std::size_t i = 0; i < 3 * count; ++i) rgb[i] = static_cast<float>(SrgbEncode(LogDecode(rgb[i])));
    }
};

TEST_F(ShotMatchingTest, FootageFrameGetsTheLookForItsFootage) {
    const TLogFootage footage;
    TShotMatching settings;
    settings.Footage = &footage;
    const TImage logFrame = AsLogFootage(frame_);
    const TMatchedShot shot = MatchShot(graded_, logFrame, settings, "graded.jpg", "log.png");
    EXPECT_GT(shot.MatchedShare, 0.8);
    EXPECT_EQ(shot.Lut->CubeSize, kMaxFitSize);
    // The look for the footage: the log colour converted, then graded.
    const auto wanted = CubeOf([&](double r, double g, double b, double* out) {
        float rgb[3] = {float(r), float(g), float(b)};
        footage.Convert(rgb, 1);
        TRGBDouble graded;
        look_->LookupNormalized({rgb[0], rgb[1], rgb[2]}, graded);
        out[0] = graded.Red, out[1] = graded.Green, out[2] = graded.Blue;
    });
    EXPECT_LT(Distance(*shot.Lut, *wanted, logFrame).Mean, 1.5);
}

TEST_F(ShotMatchingTest, SettingsOutOfRangeAreRefused) {
    TShotMatching settings;
    settings.Size = 1;
    EXPECT_THROW(MatchShot(graded_, frame_, settings, "g", "f"), EError);
    settings = {};
    settings.Smoothness = 0.0;
    EXPECT_THROW(MatchShot(graded_, frame_, settings, "g", "f"), EError);
    settings = {};
    settings.MinMatchedShare = 1.5;
    EXPECT_THROW(MatchShot(graded_, frame_, settings, "g", "f"), EError);
    EXPECT_THROW(MatchShot(TImage(), frame_, {}, "g", "f"), EError);
}

TEST(ShotSelection, ThinningKeepsEveryNthIndexWithinTheLimit) {
    std::vector<std::uint32_t> kept(1000);
    for (std::uint32_t i = 0; i < kept.size(); ++i) kept[i] = 3 * i;
    EXPECT_EQ(Thinned(kept, 1000), kept);
    EXPECT_EQ(Thinned(kept, 5000), kept);
    const std::vector<std::uint32_t> thinned = Thinned(kept, 300);
    ASSERT_EQ(thinned.size(), 250u);  // every 4th
    for (std::size_t i = 0; i < thinned.size(); ++i) EXPECT_EQ(thinned[i], 12 * i);
}

}  // namespace
