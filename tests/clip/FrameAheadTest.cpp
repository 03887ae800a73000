#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "clip/ClipFile.h"
#include "clip/ClipPicture.h"
#include "clip/ClipPlayback.h"
#include "clip/FrameAhead.h"
#include "tests/support/ClipMaking.h"

// Frames decoded ahead for playing, and the frames of a clip read in order
// against the same frames reached by seeking.

namespace {

class FrameAheadTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            std::filesystem::temp_directory_path() / ("ombrane-ahead-" + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    std::filesystem::path dir_;
};

bool SameSamples(const TDeepImage& a, const TDeepImage& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height() || a.HasAlpha() != b.HasAlpha()) return false;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width() * 3; ++x)
            if (a.Row(y)[x] != b.Row(y)[x]) return false;
    return true;
}

// Each frame reached by a seek of a clip opened afresh.
std::vector<TDeepImage> SeekEach(const std::string& file, int frames) {
    std::vector<TDeepImage> result;
    for (int n = frames - 1; n >= 0; --n) {
        TClip clip(file);
        result.insert(result.begin(), clip.Frame(n));
    }
    return result;
}

TImage Preview(const TDeepImage& frame) { return ClipFramePreview(frame, 100, 50); }

// Stepping forward decodes on from where the decoder is; stepping back and
// jumping seek. Whichever way, every frame is the one a seek gives, in an
// intra-frame clip and in one whose frames depend on others.
TEST_F(FrameAheadTest, FramesInOrderEqualFramesSoughtOneByOne) {
    const std::string intra = Path("intra.mkv"), inter = Path("inter.mp4");
    ASSERT_TRUE(MakeClip(intra, 96, 64, 9, "-pix_fmt yuv422p10le -c:v ffv1"));
    ASSERT_TRUE(MakeClip(inter, 96, 64, 9, "-pix_fmt yuv420p -c:v libx264 -g 4 -bf 2 -crf 20"));
    for (const std::string& file : {intra, inter}) {
        SCOPED_TRACE(file);
        const std::vector<TDeepImage> sought = SeekEach(file, 9);
        TClip clip(file);
        for (int n : {0, 1, 2, 3, 4, 5, 6, 7, 8, 6, 5, 2, 7})
            EXPECT_TRUE(SameSamples(clip.Frame(n), sought[n])) << "frame " << n;
        clip.Seek(3);
        TDeepImage image;
        std::int64_t number = -1;
        for (int n = 3; n < 9; ++n) {
            ASSERT_TRUE(clip.Next(image, number));
            EXPECT_EQ(number, n);
            EXPECT_TRUE(SameSamples(image, sought[n])) << "frame " << n;
        }
        EXPECT_FALSE(clip.Next(image, number));

        // Decoded ahead forward, back and every other frame: the same pictures.
        for (const auto& [first, step] : std::vector<std::pair<int, int>>{{0, 1}, {8, -1}, {1, 2}, {7, -3}}) {
            TFrameAhead ahead(file, first, step, 9, 2, Preview);
            TAheadFrame frame;
            std::int64_t expected = first;
            while (ahead.Wait(frame)) {
                EXPECT_EQ(frame.Number, expected);
                EXPECT_TRUE(frame.Picture.SamePixels(Preview(sought[expected]))) << "frame " << expected;
                expected += step;
            }
            EXPECT_TRUE(expected < 0 || expected >= 9) << "ended early at " << expected;
            EXPECT_TRUE(ahead.Ended());
            EXPECT_EQ(ahead.Problem(), "");
        }
    }
}

// The thread decodes no more than the queue holds, stops when dropped
// half-way, and names the file when it cannot be read.
TEST_F(FrameAheadTest, QueueIsBoundedAndFailuresAreReported) {
    const std::string file = Path("shot.mkv");
    ASSERT_TRUE(MakeClip(file, 64, 48, 12, "-pix_fmt yuv444p -c:v ffv1"));
    {
        std::atomic<int> prepared{0};
        TFrameAhead ahead(file, 0, 1, 12, 3, [&](const TDeepImage& deep) {
            ++prepared;
            return Preview(deep);
        });
        TAheadFrame frame;
        ASSERT_TRUE(ahead.Wait(frame));
        EXPECT_EQ(frame.Number, 0);
        // Time enough for the thread to fill the queue and rest: the frame
        // given, three in the queue and at most one waiting for room.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_LE(prepared.load(), 5);
        for (std::int64_t number = 1; number <= 3; ++number) {
            ASSERT_TRUE(ahead.Take(frame)) << "frame " << number << " was not ready";
            EXPECT_EQ(frame.Number, number);
        }
        EXPECT_FALSE(ahead.Ended());
    }  // dropped while the thread waits: it ends
    {
        // A count too high: the frames end with the clip, without a problem.
        TFrameAhead ahead(file, 10, 1, 20, 3, Preview);
        TAheadFrame frame;
        std::vector<std::int64_t> numbers;
        while (ahead.Wait(frame)) numbers.push_back(frame.Number);
        EXPECT_EQ(numbers, (std::vector<std::int64_t>{10, 11}));
        EXPECT_EQ(ahead.Problem(), "");
    }
    const std::string text = Path("not-a-clip.mov");
    std::FILE* out = std::fopen(text.c_str(), "w");
    ASSERT_NE(out, nullptr);
    std::fputs("no frames here\n", out);
    std::fclose(out);
    TFrameAhead ahead(text, 0, 1, 10, 3, Preview);
    TAheadFrame frame;
    EXPECT_FALSE(ahead.Wait(frame));
    EXPECT_TRUE(ahead.Ended());
    EXPECT_NE(ahead.Problem().find(text), std::string::npos) << ahead.Problem();
}

// Playing: the frame due at each moment is the newest one ready; a frame
// passed over is counted as dropped; shuttling takes every n-th frame.
TEST_F(FrameAheadTest, PlaybackShowsTheFrameDueAndCountsTheOnesPassedOver) {
    const std::string file = Path("shot.mkv");
    ASSERT_TRUE(MakeClip(file, 64, 48, 12, "-pix_fmt yuv444p -c:v ffv1"));
    const std::vector<TDeepImage> sought = SeekEach(file, 12);
    TClipPlayback play(file, 2, 1, 1, 12, 25, Preview);
    EXPECT_NEAR(play.FrameTime(), 0.04, 1e-12);
    TAheadFrame frame;
    EXPECT_FALSE(play.FrameDue(0.039, frame, true));  // nothing due before one frame time
    ASSERT_TRUE(play.FrameDue(0.041, frame, true));
    EXPECT_EQ(frame.Number, 3);
    EXPECT_TRUE(frame.Picture.SamePixels(Preview(sought[3])));
    EXPECT_FALSE(play.FrameDue(0.079, frame, true));  // shown already, the next not due
    ASSERT_TRUE(play.FrameDue(0.081, frame, true));
    EXPECT_EQ(frame.Number, 4);
    EXPECT_EQ(play.Dropped(), 0);
    // Two frame times late: frames 5 and 6 are passed over for 7.
    ASSERT_TRUE(play.FrameDue(0.2, frame, true));
    EXPECT_EQ(frame.Number, 7);
    EXPECT_TRUE(frame.Picture.SamePixels(Preview(sought[7])));
    EXPECT_EQ(play.Dropped(), 2);
    EXPECT_EQ(play.Shown(), 3);
    // Far past the end: the last frame, the rest dropped, and the play ends.
    ASSERT_TRUE(play.FrameDue(10, frame, true));
    EXPECT_EQ(frame.Number, 11);
    EXPECT_EQ(play.Dropped(), 5);
    EXPECT_TRUE(play.Finished());
    EXPECT_EQ(play.Problem(), "");

    // Back at four times the speed from frame 11: 7, then 3, then the end.
    TClipPlayback back(file, 11, -1, 4, 12, 25, Preview);
    std::vector<std::int64_t> numbers;
    for (int tick = 1; !back.Finished() && tick < 10; ++tick)
        if (back.FrameDue(tick * 0.04 + 0.001, frame, true)) numbers.push_back(frame.Number);
    EXPECT_EQ(numbers, (std::vector<std::int64_t>{7, 3}));
    EXPECT_EQ(back.Dropped(), 0);
    EXPECT_TRUE(back.Finished());
}

// Primed, the playback has the first frames ready before play starts: each
// is shown in its time without waiting; near the end, the frames left are
// enough.
TEST_F(FrameAheadTest, APrimedPlaybackHasItsFirstFramesReady) {
    const std::string file = Path("primed.mkv");
    ASSERT_TRUE(MakeClip(file, 64, 48, 12, "-pix_fmt yuv444p -c:v ffv1"));
    const auto primed = [](const TClipPlayback& play) {
        for (int i = 0; i < 2000 && !play.Primed(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return play.Primed();
    };
    TClipPlayback play(file, 0, 1, 1, 12, 25, Preview, 3);
    ASSERT_TRUE(primed(play));
    TAheadFrame frame;
    for (int index = 0; index < 3; ++index) {
        ASSERT_TRUE(play.FrameDue((index + 1) * 0.04 + 0.001, frame)) << index;
        EXPECT_EQ(frame.Number, index + 1);
    }
    EXPECT_EQ(play.Dropped(), 0);

    TClipPlayback end(file, 10, 1, 1, 12, 25, Preview, 3);
    ASSERT_TRUE(primed(end));
    ASSERT_TRUE(end.FrameDue(0.041, frame));
    EXPECT_EQ(frame.Number, 11);
    EXPECT_TRUE(end.Finished());
}

}  // namespace
