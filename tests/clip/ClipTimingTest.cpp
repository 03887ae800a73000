#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "clip/ClipFile.h"
#include "clip/ClipRender.h"
#include "engine/base/Error.h"
#include "tests/support/ClipTimingClips.h"

namespace {

using ClipTimingTest = ClipFolderTest;

bool Same(const TDeepImage& a, const TDeepImage& b) {
    return a.Width() == b.Width() && a.Height() == b.Height() &&
           std::memcmp(a.Row(0), b.Row(0), sizeof(float) * 3 * a.Width() * a.Height()) == 0;
}

// Every frame of the clip read in order, with the time the reader gives it
// in seconds (the stream's time base read from ffprobe).
std::vector<TDeepImage> DecodeWithTimes(const std::string& file, std::vector<double>& times) {
    const std::vector<std::string> base = ProbeLines(file, "stream=time_base");
    const auto slash = base.at(0).find('/');
    const double tick = std::stod(base[0].substr(0, slash)) / std::stod(base[0].substr(slash + 1));
    TClip clip(file);
    std::vector<TDeepImage> frames;
    TDeepImage frame;
    std::int64_t number = -1;
    while (clip.Next(frame, number)) {
        EXPECT_EQ(number, static_cast<std::int64_t>(frames.size()));
        frames.push_back(frame);
        times.push_back(clip.Timestamp() * tick);
    }
    return frames;
}

// A phone clip with a stall and a clip that changes its rate: every frame
// ffmpeg decodes is read, at ffmpeg's time, numbered in the order shown; a
// frame reached by a seek is the frame reached by reading on to it; a time
// chooses the last frame shown by then.
TEST_F(ClipTimingTest, VariableRateClipsKeepEveryFrameAtItsTime) {
    ASSERT_TRUE(MakeStallClip(Path("stall.mp4")));
    ASSERT_TRUE(MakeTwoSpeedClip(Path("speeds.mov")));
    for (const std::string name : {"stall.mp4", "speeds.mov"}) {
        const std::string file = Path(name);
        const std::vector<double> expected = FrameTimes(file);
        std::vector<double> times;
        const std::vector<TDeepImage> frames = DecodeWithTimes(file, times);
        ExpectSameTimes(times, expected);
        TClip clip(file);
        for (std::size_t number : {expected.size() - 1, std::size_t{45}, std::size_t{3}, std::size_t{60}})
            EXPECT_TRUE(Same(clip.Frame(static_cast<std::int64_t>(number)), frames[number])) << name << number;
        const double chosen = expected[44] + (expected[45] - expected[44]) / 2;
        const std::int64_t at = clip.NumberOf(ParseFrameChoice(std::to_string(chosen - expected[0]) + "s"));
        EXPECT_EQ(at, 44) << name;
        EXPECT_EQ(clip.NumberOf(ParseFrameChoice(std::to_string(expected[45] - expected[0]) + "s")), 45) << name;
    }
}

// An MP4 trimmed by an edit list without re-encoding reads as the frames
// the edit list shows, as ffmpeg decodes them (lossless 4:4:4, so the
// frames written again losslessly have ffmpeg's checksums).
TEST_F(ClipTimingTest, EditListsShowTheFramesTheyKeep) {
    const std::string whole = Path("whole.mp4"), trimmed = Path("trimmed.mp4");
    ASSERT_TRUE(MakeTestClip(whole, 64, 48, 100, "-c:v libx264 -qp 0 -preset ultrafast -pix_fmt yuv444p"));
    RunCommand("ffmpeg -nostdin -v error -y -ss 1.3 -i '" + whole + "' -c copy '" + trimmed + "'");
    const std::string checksums = " -f framemd5 - | grep -v '^#' | awk -F, '{print $NF}'";
    const std::string reference = RunCommand("ffmpeg -nostdin -v error -i '" + trimmed + "'" + checksums);
    ASSERT_EQ(std::count(reference.begin(), reference.end(), '\n'), 67);
    TClip clip(trimmed);
    EXPECT_EQ(clip.Info().Frames, 67);
    std::vector<double> times;
    const std::vector<TDeepImage> frames = DecodeWithTimes(trimmed, times);
    ASSERT_EQ(frames.size(), 67u);
    for (std::int64_t number : {5, 0, 40, 66}) EXPECT_TRUE(Same(clip.Frame(number), frames[number])) << number;
    TClipRenderSettings settings{Path("again.mkv")};
    settings.Codec = "ffv1";
    RenderClip(trimmed, settings, [](TDeepImage&, std::int64_t) {});
    EXPECT_EQ(RunCommand("ffmpeg -nostdin -v error -i '" + settings.OutputName + "' -pix_fmt yuv444p" + checksums),
              reference);
}

}  // namespace
