#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>

#include "engine/picture/DeepGrade.h"
#include "formats/LutConvert.h"
#include "imageio/DeepImageFile.h"
#include "tests/cli/CliHarness.h"
#include "tests/cli/KnownLooks.h"

namespace {

class CliLearnTest : public CliTest {
protected:
    // BEFORE: a photograph fitted into 320 x 320; AFTER: it through the
    // S-curve with a hue twist. Both as PNG.
    void SetUp() override {
        CliTest::SetUp();
        before_ = LoadPhoto("Garden.jpg", 320);
        look_ = SCurveHueTwist();
        after_ = Graded(before_, *look_);
        SaveImageFile(Path("before.png"), before_);
        SaveImageFile(Path("after.png"), after_);
    }

    // The learned LUT file applied to BEFORE, measured against AFTER.
    TFitQuality Reproduction(const std::string& lutFile) const {
        const auto lut = ReadLutFile(lutFile);
        return MeasureFit(PairOf(before_, after_), *lut);
    }

    TImage before_;
    TImage after_;
    std::unique_ptr<TLUT> look_;
};

// The mean and 99th percentile of the report's first line.
bool ParseReport(const std::string& out, double& mean, double& p99) {
    return std::sscanf(out.c_str(), "fit: mean ΔE2000 %lf, 99th percentile %lf", &mean, &p99) == 2;
}

}  // namespace

TEST_F(CliLearnTest, LearnsTheLookAndWritesItThroughTheProfiles) {
    const TCliRun run =
        Cli({"learn", Path("before.png"), Path("after.png"), "-o", Path("look.cube"), "--profile", "Cube 3D Davinci"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    const auto lines = Lines(run.Out);
    ASSERT_EQ(lines.size(), 2u) << run.Out;
    double mean = 0, p99 = 0;
    ASSERT_TRUE(ParseReport(lines[0], mean, p99)) << lines[0];
    EXPECT_LT(mean, 0.5);
    EXPECT_LT(p99, 2.0);
    double covered = 0;
    ASSERT_EQ(std::sscanf(lines[1].c_str(), "covered: %lf %% of the grid's colour volume", &covered), 1) << lines[1];
    EXPECT_GT(covered, 0.5);
    EXPECT_LT(covered, 100.0);

    // The file holds the look: 33 points, and it grades BEFORE into AFTER.
    EXPECT_EQ(ReadLutFile(Path("look.cube"))->CubeSize, 33);
    const TFitQuality quality = Reproduction(Path("look.cube"));
    EXPECT_LT(quality.MeanDeltaE, 0.5);
    EXPECT_NEAR(quality.MeanDeltaE, mean, 0.02);

    // Another profile and size; a grid beyond the fit's is resampled from it.
    ASSERT_EQ(Cli({"learn", Path("before.png"), Path("after.png"), "-o", Path("look.spi3d"), "--size", "17"}).Status,
              0);
    EXPECT_EQ(ReadLutFile(Path("look.spi3d"))->CubeSize, 17);
    EXPECT_EQ(Cli({"learn", Path("before.png"), Path("after.png"), "-o", Path("look.3dl"), "--profile", "3DL Fusion",
                   "--size", "17"})
                  .Status,
              2);
    ASSERT_EQ(Cli({"learn", Path("before.png"), Path("after.png"), "-o", Path("look65.cube"), "--profile",
                   "Cube 3D Davinci", "--size", "65"})
                  .Status,
              0);
    EXPECT_EQ(ReadLutFile(Path("look65.cube"))->CubeSize, 65);
    EXPECT_LT(Reproduction(Path("look65.cube")).MeanDeltaE, 0.5);

    // A larger AFTER of the same shape is reduced to BEFORE's size first.
    TImage large;
    ResizeImage(640, 400, kLanczos3Filter, large, after_, 0.0f);
    ASSERT_EQ(before_.Height(), 200);
    SaveImageFile(Path("large.png"), large);
    const TCliRun larger = Cli({"learn", Path("before.png"), Path("large.png"), "-o", Path("large.cube")});
    ASSERT_EQ(larger.Status, 0) << larger.Err;
    EXPECT_LT(Reproduction(Path("large.cube")).MeanDeltaE, 1.0);
}

TEST_F(CliLearnTest, DeepPairsAreLearnedAtTheirPrecision) {
    TDeepImage deepBefore = DeepFromImage(before_, "tiff");
    TDeepImage deepAfter = DeepFromImage(before_, "tiff");
    GradeDeepImage(*look_, deepAfter);
    const TPictureDepth sixteen{"tiff", TSampleKind::Integer, 16, ""};
    SaveDeepImageFile(Path("before.tif"), deepBefore, sixteen);
    SaveDeepImageFile(Path("after.tif"), deepAfter, sixteen);
    const TCliRun run = Cli({"learn", Path("before.tif"), Path("after.tif"), "-o", Path("deep.cube")});
    ASSERT_EQ(run.Status, 0) << run.Err;
    double mean = 0, p99 = 0;
    ASSERT_TRUE(ParseReport(run.Out, mean, p99)) << run.Out;
    EXPECT_LT(mean, 0.5);
    EXPECT_LT(Reproduction(Path("deep.cube")).MeanDeltaE, 0.5);
}

TEST_F(CliLearnTest, RefusesPairsThatAreNotOneFrame) {
    // AFTER moved 3 pixels to the right.
    TImage shifted(after_.Width(), after_.Height());
    for (int y = 0; y < after_.Height(); ++y)
        for (int x = 0; x < after_.Width(); ++x)
            std::copy_n(after_.Row(y) + 3 * std::max(0, x - 3), 3, shifted.Row(y) + 3 * x);
    SaveImageFile(Path("shifted.png"), shifted);
    const TCliRun moved = Cli({"learn", Path("before.png"), Path("shifted.png"), "-o", Path("moved.cube")});
    EXPECT_EQ(moved.Status, 1);
    EXPECT_TRUE(IsOneErrorLine(moved.Err)) << moved.Err;
    EXPECT_NE(moved.Err.find("shifted against"), std::string::npos) << moved.Err;
    EXPECT_NE(moved.Err.find("by 3, 0 pixels"), std::string::npos) << moved.Err;
    EXPECT_FALSE(std::filesystem::exists(Path("moved.cube")));

    // Another shape.
    TImage square;
    ResizeImage(200, 200, kLanczos3Filter, square, after_, 0.0f);
    SaveImageFile(Path("square.png"), square);
    const TCliRun shape = Cli({"learn", Path("before.png"), Path("square.png"), "-o", Path("shape.cube")});
    EXPECT_EQ(shape.Status, 1);
    EXPECT_NE(shape.Err.find("is 320 x 200 pixels, \"" + Path("square.png") + "\" is 200 x 200 pixels"),
              std::string::npos)
        << shape.Err;

    // The output is never an input, by any name.
    const std::string original = ReadBytes(Path("after.png"));
    const TCliRun over = Cli({"learn", Path("before.png"), Path("after.png"), "-o", Dir().string() + "/./after.png"});
    EXPECT_EQ(over.Status, 2);
    EXPECT_NE(over.Err.find("is one of the inputs"), std::string::npos) << over.Err;
    EXPECT_EQ(ReadBytes(Path("after.png")), original);

    const TCliRun smooth =
        Cli({"learn", Path("before.png"), Path("after.png"), "-o", Path("s.cube"), "--smoothness", "-1"});
    EXPECT_EQ(smooth.Status, 2);
    EXPECT_TRUE(IsOneErrorLine(smooth.Err)) << smooth.Err;
}

TEST_F(CliLearnTest, WarnsWhenThePairIsNoGlobalColourChange) {
    // A strong vignette on AFTER: no LUT can make it.
    TImage vignetted = after_.Clone();
    const double cx = vignetted.Width() / 2.0, cy = vignetted.Height() / 2.0;
    for (int y = 0; y < vignetted.Height(); ++y)
        for (int x = 0; x < vignetted.Width(); ++x) {
            const double d = std::hypot((x - cx) / cx, (y - cy) / cy) / std::sqrt(2.0);
            for (int c = 0; c < 3; ++c) {
                std::uint8_t& v = vignetted.Row(y)[3 * x + c];
                v = static_cast<std::uint8_t>(std::lround(v * (1.0 - 0.7 * d * d)));
            }
        }
    SaveImageFile(Path("vignette.png"), vignetted);
    const TCliRun run = Cli({"learn", Path("before.png"), Path("vignette.png"), "-o", Path("v.cube")});
    ASSERT_EQ(run.Status, 0) << run.Err;
    double share = 0;
    ASSERT_EQ(
        std::sscanf(run.Err.c_str(), "ombrane-cli: warning: %lf %% of the pixels are off by more than ΔE 5", &share), 1)
        << run.Err;
    EXPECT_GT(share, 5.0);
    EXPECT_TRUE(std::filesystem::exists(Path("v.cube")));
}

// Float pictures may hold NaN and infinities: such a pair is refused with
// the file and the count of those values, not learned into a LUT whose fit
// reads "-nan" nor called shifted.
TEST_F(CliLearnTest, ValuesThatAreNotFiniteNumbersAreRefusedWithTheirCount) {
    const TPictureDepth floats{"openexr", TSampleKind::Float, 32, ""};
    TDeepImage deepAfter = DeepFromImage(before_, "openexr");
    GradeDeepImage(*look_, deepAfter);
    SaveDeepImageFile(Path("before.exr"), DeepFromImage(before_, "openexr"), floats);
    SaveDeepImageFile(Path("after.exr"), deepAfter, floats);
    ASSERT_EQ(Cli({"learn", Path("before.exr"), Path("after.exr"), "-o", Path("fine.cube")}).Status, 0);

    const float infinity = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct TCase {
        const char* Name;
        float Value;
        int Count;
        const char* Holds;
    };
    for (const TCase& bad : {TCase{"inf.exr", infinity, 12, "\" holds 12 values that are not finite numbers"},
                             TCase{"minf.exr", -infinity, 1, "\" holds 1 value that is not a finite number"},
                             TCase{"nan.exr", nan, 12, "\" holds 12 values that are not finite numbers"}}) {
        TDeepImage damaged = deepAfter;
        for (int i = 0; i < bad.Count; ++i) damaged.Row(40 + 7 * i)[3 * (30 + 11 * i) + i % 3] = bad.Value;
        SaveDeepImageFile(Path(bad.Name), damaged, floats);
        const TCliRun run = Cli({"learn", Path("before.exr"), Path(bad.Name), "-o", Path("bad.cube")});
        EXPECT_EQ(run.Status, 1) << bad.Name;
        EXPECT_TRUE(IsOneErrorLine(run.Err)) << run.Err;
        EXPECT_NE(run.Err.find("\"" + Path(bad.Name) + bad.Holds), std::string::npos) << run.Err;
        EXPECT_EQ(run.Out, "");
        EXPECT_FALSE(std::filesystem::exists(Path("bad.cube")));
    }
    // BEFORE is checked as well.
    const TCliRun run = Cli({"learn", Path("nan.exr"), Path("after.exr"), "-o", Path("bad.cube")});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("\"" + Path("nan.exr") + "\" holds 12 values"), std::string::npos) << run.Err;
}

// A smooth float gradient whose colours a curve changes keeps its place:
// it is learned, not refused as shifted.
TEST_F(CliLearnTest, AGradientWithChangedColoursIsNoShiftedPair) {
    TDeepImage gradient(320, 200, false);
    TDeepImage curved(320, 200, false);
    for (int y = 0; y < gradient.Height(); ++y)
        for (int x = 0; x < gradient.Width(); ++x) {
            float* p = gradient.Row(y) + 3 * x;
            const float t = (static_cast<float>(x) / 319 + static_cast<float>(y) / 199) / 2;
            p[0] = t, p[1] = t * t, p[2] = 1 - t;
            for (int c = 0; c < 3; ++c) curved.Row(y)[3 * x + c] = p[c] * p[c] * (3 - 2 * p[c]);
        }
    const TPictureDepth floats{"openexr", TSampleKind::Float, 32, ""};
    SaveDeepImageFile(Path("gradient.exr"), gradient, floats);
    SaveDeepImageFile(Path("curved.exr"), curved, floats);
    const TCliRun run = Cli({"learn", Path("gradient.exr"), Path("curved.exr"), "-o", Path("gradient.cube")});
    ASSERT_EQ(run.Status, 0) << run.Err;
    double mean = 0, p99 = 0;
    ASSERT_TRUE(ParseReport(run.Out, mean, p99)) << run.Out;
    EXPECT_LT(mean, 0.5);
}
