#include <cstdio>
#include <filesystem>
#include <string>

#include "engine/DeepGrade.h"
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
