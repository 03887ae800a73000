#include <algorithm>
#include <filesystem>

#include "imageio/ImageFile.h"
#include "tests/cli/CliHarness.h"
#include "tests/support/ClipTimingClips.h"

namespace {

class ClipTimingCliTest : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        SaveImageFile(Path("ref.jpg"), MakeTestPicture(200, 150, 5));
        const TCliRun look = Cli({"look", Path("ref.jpg"), "--profile", "8", "-o", Path("look.cube")});
        ASSERT_EQ(look.Status, 0) << look.Err;
    }
    std::string Look() const { return Path("look.cube"); }
};

// Rendering a clip of 50 frames at 50 a second and 150 at 10 a second, and
// a phone clip with a stall, keeps every frame at the time ffprobe reads
// in the source; --in and --out cut the range at their frames' times.
TEST_F(ClipTimingCliTest, RendersKeepEveryFrameOfVariableRateClips) {
    ASSERT_TRUE(MakeTwoSpeedClip(Path("speeds.mp4")));
    ASSERT_TRUE(MakeStallClip(Path("stall.mov")));
    for (const std::string name : {"speeds.mp4", "stall.mov"}) {
        TCliRun run = Cli({"apply", Look(), Path(name), "-o", Path("out-" + name)});
        ASSERT_EQ(run.Status, 0) << run.Err;
        ExpectSameTimes(FrameTimes(Path("out-" + name)), FrameTimes(Path(name)));
    }
    const std::vector<double> source = FrameTimes(Path("stall.mov"));
    TCliRun run = Cli({"apply", Look(), Path("stall.mov"), "--in", "38", "--out", "70", "-o", Path("tail.mov")});
    ASSERT_EQ(run.Status, 0) << run.Err;
    std::vector<double> shifted;
    for (std::size_t i = 38; i < 70; ++i) shifted.push_back(source[i] - source[38]);
    ExpectSameTimes(FrameTimes(Path("tail.mov")), shifted);
}

// --frame N counts the frames ffmpeg decodes; --frame T takes the last
// frame whose time is at most T.
TEST_F(ClipTimingCliTest, FrameChoicesCountDecodedFramesAndTakeTheFrameShownAtATime) {
    ASSERT_TRUE(MakeStallClip(Path("stall.mp4")));
    const std::vector<double> times = FrameTimes(Path("stall.mp4"));
    const auto shownAt = [&](double t) {
        return std::upper_bound(times.begin(), times.end(), times[0] + t + 1e-9) - times.begin() - 1;
    };
    const auto stats = [&](const std::string& frame) {
        const TCliRun run = Cli({"stats", Path("stall.mp4"), "--frame", frame, "--json"});
        EXPECT_EQ(run.Status, 0) << run.Err;
        return run.Out;
    };
    // Within the stall the frame before it stays shown.
    EXPECT_EQ(stats("1.8s"), stats(std::to_string(shownAt(1.8))));
    EXPECT_EQ(stats("1.31s"), stats(std::to_string(shownAt(1.31))));
    EXPECT_EQ(stats("2.5s"), stats(std::to_string(shownAt(2.5))));
    EXPECT_NE(stats("2.5s"), stats(std::to_string(shownAt(2.5) + 1)));
}

// A trimmed MP4 (an edit list) renders as the frames ffmpeg shows of it;
// a Matroska clip damaged in its middle fails the render and the frame
// commands past the damage, naming the file and the first missing frame.
TEST_F(ClipTimingCliTest, EditListsRenderAndDamageFails) {
    ASSERT_TRUE(MakeTestClip(Path("whole.mp4"), 64, 48, 100, "-c:v libx264 -preset ultrafast -pix_fmt yuv420p"));
    RunCommand("ffmpeg -nostdin -v error -y -ss 1.3 -i '" + Path("whole.mp4") + "' -c copy '" + Path("trim.mp4") + "'");
    TCliRun run = Cli({"apply", Look(), Path("trim.mp4"), "-o", Path("trim-out.mp4")});
    ASSERT_EQ(run.Status, 0) << run.Err;
    ExpectSameTimes(FrameTimes(Path("trim-out.mp4")), FrameTimes(Path("trim.mp4")));

    const std::string damaged = Path("damaged.mkv");
    const int missing = MakeDamagedMkv(damaged);
    ASSERT_GT(missing, 0);
    const std::string named = "\"" + damaged + "\": frame " + std::to_string(missing) + " is missing";
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"apply", Look(), damaged, "-o", Path("out.mkv")},
          {"stats", damaged, "--frame", std::to_string(missing + 3)},
          {"grade", Path("ref.jpg"), damaged, "--frame", std::to_string(missing + 1), "-o", Path("f.png")}}) {
        run = Cli(words);
        EXPECT_EQ(run.Status, 1) << words[0];
        EXPECT_TRUE(IsOneErrorLine(run.Err)) << run.Err;
        EXPECT_NE(run.Err.find(named), std::string::npos) << run.Err;
    }
    EXPECT_FALSE(std::filesystem::exists(Path("out.mkv")));
    EXPECT_EQ(Cli({"stats", damaged, "--frame", std::to_string(missing - 1)}).Status, 0);
}

}  // namespace
