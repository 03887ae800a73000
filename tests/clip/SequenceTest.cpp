#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <sstream>
#include <vector>

#include "clip/ClipFile.h"
#include "clip/ClipRender.h"
#include "clip/ImageSequence.h"
#include "engine/base/Error.h"
#include "imageio/DeepImageFile.h"
#include "imageio/GradedPictureFile.h"
#include "tests/support/ClipMaking.h"

namespace {

class SequenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            std::filesystem::temp_directory_path() / ("ombrane-sequence-" + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        SetSequenceRate(TSequenceRate());
        OpenRunOfFile(std::string());
    }
    void TearDown() override {
        std::filesystem::remove_all(dir_);
        SetSequenceRate(TSequenceRate());
        OpenRunOfFile(std::string());
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    // A picture of one colour, written by the program's own picture writer
    // as `format` ("dpx", "openexr", "png") at `kind` and `bits`.
    void Constant(const std::string& name, double r, double g, double b, const std::string& format,
                  TSampleKind kind = TSampleKind::Integer, int bits = 16, int size = 8) {
        TDeepImage image(size, size, false);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                image.Row(y)[3 * x] = static_cast<float>(r);
                image.Row(y)[3 * x + 1] = static_cast<float>(g);
                image.Row(y)[3 * x + 2] = static_cast<float>(b);
            }
        SaveDeepImageFile(Path(name), image, TPictureDepth{format, kind, bits});
    }
    std::string ErrorOf(const std::function<void()>& action) {
        try {
            action();
        } catch (const EError& error) {
            return error.what();
        }
        return "no error";
    }

    std::filesystem::path dir_;
};

// The red, green and blue of pixel (5, 3) of each file as ImageMagick
// reads them, 0..1, three a file.
std::vector<double> MagickPixels(const std::vector<std::string>& files) {
    std::string command = "convert";
    for (const std::string& file : files) command += " '" + file + "'";
    const std::string text = RunCommand(command + " -format '%[fx:p{5,3}.r] %[fx:p{5,3}.g] %[fx:p{5,3}.b]\\n' info:");
    std::vector<double> values;
    std::istringstream lines(text);
    for (double value; lines >> value;) values.push_back(value);
    return values;
}

TEST(SequencePatternTest, PlaceholdersGiveTheFilesOfANumber) {
    EXPECT_EQ(TSequencePattern::Parse("a/plate.%04d.exr")->FileName(7), "a/plate.0007.exr");
    EXPECT_EQ(TSequencePattern::Parse("a/plate.%04d.exr")->FileName(123456), "a/plate.123456.exr");
    EXPECT_EQ(TSequencePattern::Parse("shot_#####.dpx")->FileName(86400), "shot_86400.dpx");
    EXPECT_EQ(TSequencePattern::Parse("shot_#####.dpx")->FileName(3), "shot_00003.dpx");
    EXPECT_EQ(TSequencePattern::Parse("f%d.png")->FileName(12), "f12.png");
    EXPECT_EQ(TSequencePattern::Parse("100%%_take#2_%03d.png")->FileName(7), "100%_take#2_007.png");
    EXPECT_EQ(TSequencePattern::OfNumberedFile("in/shot_0001.dpx")->FileName(42), "in/shot_0042.dpx");
    EXPECT_EQ(TSequencePattern::OfNumberedFile("in/v2/a%b_0001.dpx")->PrintfText(), "in/v2/a%%b_%04d.dpx");
}

TEST(SequencePatternTest, OtherUsesOfPercentAndHashAreNoPattern) {
    for (const char* name : {"50%.png", "a%s.png", "%4d.png", "a%d_%d.png", "a#_#.png", "plain.png", "f%0d.png",
                             "x%-4d.png", "f%016d.png"})
        EXPECT_FALSE(TSequencePattern::Parse(name).has_value()) << name;
    EXPECT_FALSE(TSequencePattern::Parse("folder%04d/x.png").has_value());
    EXPECT_FALSE(TSequencePattern::OfNumberedFile("take.png").has_value());
    EXPECT_FALSE(SequenceOfName("plate.%04d.cube").has_value());  // not a picture type
}

TEST(SequencePatternTest, NumbersAreReadAsTheyAreWritten) {
    const TSequencePattern pattern = *TSequencePattern::Parse("plate.%04d.exr");
    EXPECT_EQ(pattern.NumberOf("plate.0007.exr"), 7);
    EXPECT_EQ(pattern.NumberOf("plate.10000.exr"), 10000);
    for (const char* other : {"plate.007.exr", "plate.01000.exr", "plate.00a7.exr", "plate.0007.dpx", "plate..exr"})
        EXPECT_FALSE(pattern.NumberOf(other).has_value()) << other;
    const TSequencePattern bare = *TSequencePattern::Parse("f%d.png");
    EXPECT_EQ(bare.NumberOf("f0.png"), 0);
    EXPECT_FALSE(bare.NumberOf("f07.png").has_value());
}

TEST(SequencePatternTest, RatesAreWholeDecimalOrFractions) {
    const auto rate = [](const std::string& text) {
        const TSequenceRate parsed = ParseSequenceRate(text);
        return std::to_string(parsed.Numerator) + "/" + std::to_string(parsed.Denominator);
    };
    EXPECT_EQ(rate("24"), "24/1");
    EXPECT_EQ(rate("25.0"), "25/1");
    EXPECT_EQ(rate("23.976"), "24000/1001");
    EXPECT_EQ(rate("29.97"), "30000/1001");
    EXPECT_EQ(rate("12.5"), "25/2");
    EXPECT_EQ(rate("48000/2002"), "24000/1001");
    for (const char* bad : {"0", "-24", "24fps", "1/0", "0/5", ".5", "2000", "1.2.3", "", "24/"})
        EXPECT_THROW(ParseSequenceRate(bad), EError) << bad;
}

TEST_F(SequenceTest, TheRunIsFoundAndAGapNamesTheMissingFile) {
    for (int number : {86400, 86401, 86402, 86404})
        Constant("s_" + std::to_string(number) + ".dpx", 0.5, 0.5, 0.5, "dpx", TSampleKind::Integer, 10, 2);
    const TSequencePattern pattern = *TSequencePattern::Parse(Path("s_#####.dpx"));
    EXPECT_EQ(ErrorOf([&] { FindSequenceRun(pattern); }),
              "the sequence \"" + Path("s_#####.dpx") + "\" misses the file \"" + Path("s_86403.dpx") +
                  "\" (it runs from \"" + Path("s_86400.dpx") + "\" to \"" + Path("s_86404.dpx") + "\")");
    std::filesystem::remove(Path("s_86404.dpx"));
    const TSequenceRun run = FindSequenceRun(pattern);
    EXPECT_EQ(run.First, 86400);
    EXPECT_EQ(run.Count, 3);
    EXPECT_EQ(ErrorOf([&] { FindSequenceRun(*TSequencePattern::Parse(Path("t_%04d.png"))); }),
              "no file matches the sequence \"" + Path("t_%04d.png") + "\"");
}

// 10-bit DPX frames numbered from 86400 come as clip frames 0, 1, 2 at their
// own depth, each with the values OpenImageIO wrote.
TEST_F(SequenceTest, DpxFramesAreReadAtTheirDepthCountedFromTheFirstFile) {
    const double colours[3][3] = {
        {0.25, 0.5, 0.75}, {0.1, 0.2, 0.3}, {0.9, 0.6, 0.05}};  // frames apart by far more than 1e-4
    for (int i = 0; i < 3; ++i)
        Constant("scan." + std::to_string(86400 + i) + ".dpx", colours[i][0], colours[i][1], colours[i][2], "dpx",
                 TSampleKind::Integer, 10);
    SetSequenceRate({25, 1});
    const std::string name = Path("scan.%05d.dpx");
    ASSERT_TRUE(IsClipName(name));
    TClip clip(name);
    EXPECT_EQ(clip.Info().Frames, 3);
    EXPECT_EQ(clip.Info().Bits, 10);
    EXPECT_EQ(clip.Info().Width, 8);
    EXPECT_EQ(clip.Info().RateNumerator, 25);
    EXPECT_EQ(clip.Info().Codec, "dpx");
    const std::vector<double> peer =
        MagickPixels({Path("scan.86400.dpx"), Path("scan.86401.dpx"), Path("scan.86402.dpx")});
    ASSERT_EQ(peer.size(), 9u);
    for (int frame : {2, 0, 1}) {
        const TDeepImage image = clip.Frame(frame);
        EXPECT_EQ(image.Depth.Bits, 10);
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(image.Row(3)[3 * 5 + c], peer[3 * frame + c], 1e-4) << frame;
    }
    EXPECT_NE(ErrorOf([&] { clip.Frame(3); }).find("has no frame 3"), std::string::npos);
}

TEST_F(SequenceTest, HalfExrFramesKeepTheirValues) {
    Constant("plate.0001.exr", 0.25, 1.5, 0.0625, "openexr", TSampleKind::Half, 16);
    Constant("plate.0002.exr", 2.0, 0.5, 0.125, "openexr", TSampleKind::Half, 16);
    TClip clip(Path("plate.####.exr"));
    const TDeepImage second = clip.Frame(1);
    EXPECT_EQ(second.Depth.Kind, TSampleKind::Half);
    EXPECT_FLOAT_EQ(second.Row(0)[0], 2.0f);
    EXPECT_FLOAT_EQ(second.Row(7)[7 * 3 + 2], 0.125f);
    EXPECT_FLOAT_EQ(clip.Frame(0).Row(0)[1], 1.5f);
}

TEST_F(SequenceTest, AFrameOfAnotherSizeIsRefusedNamingItsFile) {
    Constant("f_01.png", 0.5, 0.5, 0.5, "png");
    Constant("f_02.png", 0.5, 0.5, 0.5, "png", TSampleKind::Integer, 16, 6);
    TClip clip(Path("f_%02d.png"));
    EXPECT_EQ(
        ErrorOf([&] { clip.Frame(1); }),
        "\"" + Path("f_02.png") + "\" is 6 x 6, not 8 x 8 as the sequence's first frame \"" + Path("f_01.png") + "\"");
}

// A numbered file is one picture unless it is asked for as its run; a
// pattern that names an existing file is that file.
TEST_F(SequenceTest, ANumberedFileOpensAsItsRunOnlyWhenAsked) {
    for (int i = 1; i <= 3; ++i)
        Constant("take_00" + std::to_string(i) + ".png", 0.1 * i, 0.2, 0.3, "png", TSampleKind::Integer, 8, 2);
    const std::string second = Path("take_002.png");
    EXPECT_FALSE(IsClipName(second));
    OpenRunOfFile(second);
    ASSERT_TRUE(IsClipName(second));
    TClip clip(second);
    EXPECT_EQ(clip.Info().Frames, 3);
    EXPECT_NEAR(clip.Frame(0).Row(0)[0], 0.1, 1.0 / 255);
    EXPECT_NEAR(clip.Frame(2).Row(0)[0], 0.3, 1.0 / 255);
    OpenRunOfFile(std::string());
    EXPECT_FALSE(IsClipName(second));
    std::filesystem::copy_file(second, Path("odd_%d.png"));
    EXPECT_FALSE(IsClipName(Path("odd_%d.png")));
}

// A clip rendered to a sequence: one file a frame, numbered as the clip's
// frames, each the graded frame at the extension's depth.
TEST_F(SequenceTest, AClipRendersToASequenceOverItsRange) {
    const std::string clipFile = Path("shot.mkv");
    ASSERT_TRUE(MakeClip(clipFile, 32, 24, 5, "-pix_fmt yuv444p10le -c:v ffv1"));
    TClipRenderSettings settings;
    settings.OutputName = Path("out.%04d.tif");
    settings.In = 1;
    settings.Out = 4;
    const auto halve = [](TDeepImage& frame, std::int64_t) {
        for (int y = 0; y < frame.Height(); ++y)
            for (int x = 0; x < frame.Width() * 3; ++x) frame.Row(y)[x] *= 0.5f;
    };
    RenderClip(clipFile, settings, halve);
    EXPECT_FALSE(std::filesystem::exists(Path("out.0000.tif")));
    EXPECT_FALSE(std::filesystem::exists(Path("out.0004.tif")));
    TClip clip(clipFile);
    for (int number = 1; number < 4; ++number) {
        const TDeepImage written = LoadNamedDeepPicture(Path("out.000" + std::to_string(number) + ".tif"));
        const TDeepImage source = clip.Frame(number);
        EXPECT_EQ(written.Depth.Bits, 16);
        ASSERT_EQ(written.Width(), 32);
        double worst = 0;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 32 * 3; ++x)
                worst = std::max(worst, std::fabs(written.Row(y)[x] - std::clamp(0.5 * source.Row(y)[x], 0.0, 1.0)));
        EXPECT_LT(worst, 1.0 / 65535) << number;
    }
}

// A sequence has no clip file whose streams a clip writer could copy.
TEST_F(SequenceTest, ASequenceIsNotRenderedToAClipFile) {
    Constant("p.0001.exr", 0.25, 0.5, 0.75, "openexr", TSampleKind::Half, 16);
    TClipRenderSettings settings;
    settings.OutputName = Path("p.mov");
    EXPECT_EQ(ErrorOf([&] { RenderClip(Path("p.%04d.exr"), settings, [](TDeepImage&, std::int64_t) {}); }),
              "\"" + Path("p.%04d.exr") + "\" is an image sequence; it is rendered to an image sequence, not to \"" +
                  Path("p.mov") + "\"");
    EXPECT_FALSE(std::filesystem::exists(Path("p.mov")));
}

}  // namespace
