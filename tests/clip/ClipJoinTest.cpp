#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "clip/ClipJoin.h"
#include "clip/ClipModule.h"
#include "clip/ClipRender.h"
#include "engine/base/Error.h"
#include "tests/support/ClipMaking.h"

namespace {

// A grade every frame gets the same way wherever it is rendered: the
// channels crossed and darkened, so a frame left ungraded shows.
void CrossChannels(TDeepImage& frame, std::int64_t) {
    for (int y = 0; y < frame.Height(); ++y) {
        float* row = frame.Row(y);
        for (int x = 0; x < frame.Width(); ++x) {
            const float red = row[3 * x];
            row[3 * x] = 0.8f * row[3 * x + 2];
            row[3 * x + 2] = 0.9f * red;
        }
    }
}

std::string Probe(const std::string& file, const std::string& entries) {
    return RunCommand("ffprobe -v error -show_entries " + entries + " -of default=noprint_wrappers=1 '" + file + "'");
}

// Every decoded video frame with its time stamp, as ffmpeg's framemd5 lists them.
std::string DecodedFrames(const std::string& file) {
    return RunCommand("ffmpeg -nostdin -v error -i '" + file + "' -map 0:v -f framemd5 - | grep -v '^#'");
}

std::string AudioHash(const std::string& file) {
    return RunCommand("ffmpeg -nostdin -v error -i '" + file + "' -map 0:a -c copy -f md5 -");
}

std::string FileBytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class ClipJoinTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            std::filesystem::temp_directory_path() / ("ombrane-join-" + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    // A ProRes 422 HQ clip with PCM audio and a start timecode.
    std::string MakeSource(int frames) {
        const std::string source = Path("source.mov");
        EXPECT_TRUE(MakeClip(source, 128, 72, frames,
                             "-map 0:v -map 1:a -pix_fmt yuv422p10le -c:v prores_ks -profile:v 3 -c:a pcm_s16le "
                             "-timecode 01:00:00:00",
                             "-f lavfi -i sine=frequency=440:sample_rate=48000"));
        return source;
    }
    // The source rendered over [in, out) (out -1: to its end), graded.
    std::string RenderPart(const std::string& source, std::int64_t in, std::int64_t out, const std::string& name,
                           const std::string& codec = "") {
        TClipRenderSettings settings;
        settings.OutputName = Path(name);
        settings.In = in;
        settings.Out = out;
        settings.Codec = codec;
        RenderClip(source, settings, CrossChannels);
        return settings.OutputName;
    }

    std::filesystem::path dir_;
};

// 240 frames rendered as four ranges on their own and joined (given out of
// order) decode to the frames of one render with the same time stamps, the
// audio is the source's bit for bit, and the timecode runs on.
TEST_F(ClipJoinTest, FourRangesJoinedEqualOneRender) {
    const std::string source = MakeSource(240);
    TClipRenderSettings whole;
    whole.OutputName = Path("whole.mov");
    RenderClip(source, whole, CrossChannels);
    const std::vector<std::string> parts = {RenderPart(source, 120, 180, "c.mov"), RenderPart(source, 0, 60, "a.mov"),
                                            RenderPart(source, 180, -1, "d.mov"), RenderPart(source, 60, 120, "b.mov")};
    // Each part's timecode is the source's moved on by its first frame (25 a second).
    EXPECT_EQ(Probe(parts[0], "stream_tags=timecode").find("TAG:timecode=01:00:04:20"), 0u);
    EXPECT_EQ(Probe(parts[3], "stream_tags=timecode").find("TAG:timecode=01:00:02:10"), 0u);
    JoinClipParts(parts, source, Path("joined.mov"));

    const std::string frames = DecodedFrames(Path("joined.mov"));
    EXPECT_EQ(std::count(frames.begin(), frames.end(), '\n'), 240);
    EXPECT_EQ(frames, DecodedFrames(whole.OutputName));
    EXPECT_NE(frames, DecodedFrames(source));  // the grade is in the parts
    const std::string audio = AudioHash(Path("joined.mov"));
    EXPECT_EQ(audio.rfind("MD5=", 0), 0u) << audio;
    EXPECT_EQ(audio, AudioHash(source));
    EXPECT_EQ(audio, AudioHash(whole.OutputName));
    const std::string timecode = Probe(Path("joined.mov"), "stream_tags=timecode");
    EXPECT_EQ(timecode.find("TAG:timecode=01:00:00:00"), 0u) << timecode;
    EXPECT_EQ(Probe(Path("joined.mov"), "stream=codec_type"), Probe(whole.OutputName, "stream=codec_type"));
}

// FFV1 carries its coder's state from frame to frame but is lossless: parts
// (here two, the second to the source's end) join to the frames of one render.
TEST_F(ClipJoinTest, LosslessPartsJoin) {
    const std::string source = MakeSource(30);
    TClipRenderSettings whole;
    whole.OutputName = Path("whole.mkv");
    whole.Codec = "ffv1";
    RenderClip(source, whole, CrossChannels);
    const std::string first = RenderPart(source, 0, 17, "a.mkv", "ffv1");
    const std::string second = RenderPart(source, 17, -1, "b.mkv", "ffv1");
    JoinClipParts({first, second}, source, Path("joined.mkv"));
    EXPECT_EQ(DecodedFrames(Path("joined.mkv")), DecodedFrames(whole.OutputName));
    EXPECT_EQ(AudioHash(Path("joined.mkv")), AudioHash(source));
}

// Parts that would not give one render are refused naming the part, before
// anything is written: the old output stays.
TEST_F(ClipJoinTest, PartsThatDoNotMakeOneRenderAreRefused) {
    const std::string source = MakeSource(30);
    const std::string a = RenderPart(source, 0, 10, "a.mov");
    const std::string b = RenderPart(source, 10, 20, "b.mov");
    const std::string c = RenderPart(source, 20, -1, "c.mov");
    const std::string overlapping = RenderPart(source, 15, 20, "overlapping.mov");
    const std::string h264 = RenderPart(source, 10, 20, "h264.mov", "libx264");
    const std::string ffv1 = RenderPart(source, 10, 20, "ffv1.mkv", "ffv1");
    const std::string wholeRender = RenderPart(source, 0, -1, "whole.mov");
    // A part that lost frames: half of b, its record kept.
    RunCommand("ffmpeg -nostdin -v error -i '" + b + "' -map 0 -c copy -frames:v 5 -map_metadata 0 -movflags " +
               "use_metadata_tags '" + Path("short.mov") + "'");
    std::filesystem::copy_file(source, Path("other.mov"));
    std::ofstream(Path("other.mov"), std::ios::app) << "x";
    std::ofstream(Path("out.mov")) << "the old file";

    const auto refusal = [&](const std::vector<std::string>& parts, const std::string& from) -> std::string {
        try {
            JoinClipParts(parts, from, Path("out.mov"));
        } catch (const EError& error) {
            return error.what();
        }
        return "joined";
    };
    EXPECT_EQ(refusal({a, c}, source), "\"" + c + "\": its frames 20- do not follow on from \"" + a + "\"'s 0-10");
    EXPECT_EQ(refusal({a, overlapping, b}, source).find("\"" + overlapping + "\": its frames 15-20 do not follow"), 0u);
    EXPECT_EQ(refusal({a, b}, Path("other.mov")), "\"" + a + "\" was rendered from another file than \"" +
                                                      Path("other.mov") + "\" (their sizes or contents differ)");
    EXPECT_EQ(refusal({a, h264}, source).find("\"" + h264 + "\": its codec h264 codes frames from other frames"), 0u);
    EXPECT_EQ(refusal({a, ffv1}, source), "\"" + ffv1 + "\": its codec differs from \"" + a +
                                              "\"'s; joined parts must have one codec and the same parameters");
    EXPECT_EQ(refusal({a, Path("short.mov"), c}, source),
              "\"" + Path("short.mov") + "\" holds 5 frames where its range 10-20 has 10");
    EXPECT_EQ(refusal({wholeRender}, source).find("\"" + wholeRender + "\" records no range of a source"), 0u);
    EXPECT_EQ(FileBytes(Path("out.mov")), "the old file");

    // The output is never one of the inputs.
    try {
        JoinClipParts({a, b, c}, source, b);
        ADD_FAILURE() << "a part was overwritten";
    } catch (const EError& error) {
        EXPECT_STREQ(error.what(), ("the output \"" + b + "\" would overwrite the input \"" + b + "\"").c_str());
    }
    EXPECT_EQ(RecordedClipSource(a), source);
    EXPECT_EQ(RecordedClipSource(wholeRender), "");
}

}  // namespace
