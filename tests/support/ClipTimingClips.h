#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/ClipMaking.h"

// Clips whose frames do not come at one steady rate, made by the ffmpeg
// program, and ffprobe's reading of them.

// A clip of ffmpeg's moving test picture, `frames` frames of width x height
// at 25 a second, with the encoder arguments `encoding` (and filters after
// the picture's, from a comma). True when ffmpeg succeeded.
inline bool MakeTestClip(const std::string& file, int width, int height, int frames, const std::string& encoding,
                         const std::string& filters = "") {
    const std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=" + std::to_string(width) + "x" +
                                std::to_string(height) + ":r=25 -vf \"null" + filters + "\" -frames:v " +
                                std::to_string(frames) + " " + encoding + " '" + file + "' 2>&1";
    int status = -1;
    RunCommand(command, &status);
    return status == 0;
}

// A clip of `frames` frames whose timestamps follow `seconds` (an
// expression of the frame number N for ffmpeg's setpts), each kept as it
// is (no frame dropped or repeated to make the rate even).
inline bool MakeTimedClip(const std::string& file, int frames, const std::string& seconds,
                          const std::string& encoding) {
    return MakeTestClip(file, 96, 64, frames, "-fps_mode passthrough " + encoding, ",setpts='(" + seconds + ")/TB'");
}

// 30 frames a second with one stall of 0.7 s after frame 40 (a phone clip).
inline bool MakeStallClip(const std::string& file, int frames = 90) {
    return MakeTimedClip(file, frames, "N/30+gte(N\\,40)*0.7", "-c:v libx264 -preset ultrafast -pix_fmt yuv420p");
}

// 50 frames at 50 a second, then 150 at 10 a second.
inline bool MakeTwoSpeedClip(const std::string& file) {
    return MakeTimedClip(file, 200, "if(lt(N\\,50)\\,N/50\\,1+(N-50)/10)",
                         "-c:v libx264 -preset ultrafast -pix_fmt yuv420p");
}

// The lines ffprobe prints for `entries` of the first video stream.
inline std::vector<std::string> ProbeLines(const std::string& file, const std::string& entries,
                                           const std::string& what = "-show_entries") {
    std::istringstream lines(RunCommand("ffprobe -v error -select_streams v:0 " + what + " " + entries +
                                        " -of csv=p=0 '" + file + "' 2>/dev/null"));
    std::vector<std::string> result;
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) result.push_back(line.substr(0, line.find(',')));
    return result;
}

// The time of each frame ffmpeg decodes, in seconds, in the order shown.
inline std::vector<double> FrameTimes(const std::string& file) {
    std::vector<double> times;
    for (const std::string& line : ProbeLines(file, "frame=best_effort_timestamp_time"))
        times.push_back(std::stod(line));
    return times;
}

// Overwrites `count` bytes of the file from `offset` with junk.
inline void Damage(const std::string& file, long offset, long count) {
    std::fstream bytes(file, std::ios::in | std::ios::out | std::ios::binary);
    bytes.seekp(offset);
    bytes.write(std::string(static_cast<std::size_t>(count), '\x5a').data(), count);
}

// A Matroska clip of 100 uncompressed frames whose parts holding frames
// 50 to 52 are overwritten, beginning a few bytes before frame 50's data:
// the demuxer skips what it cannot parse. Gives the number of the first
// frame ffprobe's reading of it lacks (frames are 40 ms apart), or -1.
inline int MakeDamagedMkv(const std::string& file) {
    if (!MakeTestClip(file, 64, 48, 100, "-c:v rawvideo -pix_fmt yuv420p")) return -1;
    const std::vector<std::string> positions = ProbeLines(file, "packet=pos", "-show_packets -show_entries");
    if (positions.size() != 100) return -1;
    Damage(file, std::stol(positions[50]) - 4, std::stol(positions[53]) - std::stol(positions[50]) + 4);
    const std::vector<std::string> times = ProbeLines(file, "packet=pts", "-show_packets -show_entries");
    for (std::size_t i = 0; i < times.size(); ++i)
        if (std::stol(times[i]) != static_cast<long>(i) * 40) return static_cast<int>(i);
    return -1;
}

// Expects the times of two clips' frames (in seconds) to be the same.
inline void ExpectSameTimes(const std::vector<double>& ours, const std::vector<double>& expected) {
    ASSERT_EQ(ours.size(), expected.size());
    for (std::size_t i = 0; i < ours.size(); ++i) EXPECT_NEAR(ours[i], expected[i], 1e-6) << "frame " << i;
}

// A test with a temporary folder of its own for its clips.
class ClipFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            std::filesystem::temp_directory_path() / ("ombrane-clips-" + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

private:
    std::filesystem::path dir_;
};
