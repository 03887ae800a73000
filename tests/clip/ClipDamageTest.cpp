#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "clip/ClipFile.h"
#include "engine/base/Error.h"
#include "tests/support/ClipTimingClips.h"
#include "tests/support/ThrownMessage.h"

namespace {

using ClipDamageTest = ClipFolderTest;

// A Matroska clip whose middle the demuxer passes over: the frames before
// it are read, and reading on or seeking past it fails naming
// the file and the first frame ffprobe finds missing.
TEST_F(ClipDamageTest, PartsTheDemuxerSkipsFailNamingTheFirstMissingFrame) {
    const std::string file = Path("damaged.mkv");
    const int missing = MakeDamagedMkv(file);
    ASSERT_GT(missing, 0);
    const std::string expected = "\"" + file + "\": frame " + std::to_string(missing) + " is missing";
    TClip clip(file);
    TDeepImage frame;
    std::int64_t number = -1, read = 0;
    const std::string message = MessageOf([&] {
        while (clip.Next(frame, number)) ++read;
    });
    EXPECT_EQ(read, missing);
    EXPECT_NE(message.find(expected), std::string::npos) << message;
    EXPECT_NE(MessageOf([&] { TClip(file).Frame(missing + 10); }).find(expected), std::string::npos);
    EXPECT_NO_THROW(TClip(file).Frame(missing - 5));
}

// Valid clips stay whole: B-frames in MP4 and Matroska (in open groups of
// pictures, whose frames refer to the group before) and in AVI (where
// packets have no time to be shown), a clip without a
// declared count, one of variable rate; every frame ffmpeg decodes is read,
// and a frame sought is the frame read in order.
TEST_F(ClipDamageTest, ValidClipsReadWhole) {
    ASSERT_TRUE(MakeTestClip(Path("b.mp4"), 64, 48, 30, "-c:v libx264 -preset fast -bf 3 -g 12 -pix_fmt yuv420p"));
    ASSERT_TRUE(MakeTestClip(Path("b.mkv"), 64, 48, 30,
                             "-c:v libx264 -preset fast -bf 3 -g 12 -x264-params open-gop=1 -pix_fmt yuv420p"));
    ASSERT_TRUE(MakeTestClip(Path("b.avi"), 64, 48, 30, "-c:v mpeg4 -bf 2 -g 12"));
    ASSERT_TRUE(MakeStallClip(Path("stall.mkv"), 60));
    for (const std::string name : {"b.mp4", "b.mkv", "b.avi", "stall.mkv"}) {
        const std::string file = Path(name);
        const std::size_t frames = ProbeLines(file, "frame=key_frame").size();
        TClip clip(file);
        std::vector<TDeepImage> images;
        TDeepImage frame;
        std::int64_t number = -1;
        EXPECT_EQ(MessageOf([&] {
                      while (clip.Next(frame, number)) images.push_back(frame);
                  }),
                  "(no error)")
            << name;
        ASSERT_EQ(images.size(), frames) << name;
        for (std::int64_t sought : {19, 7, 13, 0}) {
            const TDeepImage image = clip.Frame(sought);
            EXPECT_EQ(std::memcmp(image.Row(0), images[sought].Row(0), sizeof(float) * 3 * 64 * 48), 0)
                << name << " frame " << sought;
        }
    }
}

}  // namespace
