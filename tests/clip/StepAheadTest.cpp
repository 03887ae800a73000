#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <random>
#include <vector>

#include "clip/ClipFile.h"
#include "clip/FrameCache.h"
#include "clip/StepAhead.h"
#include "tests/support/ClipMaking.h"

// Frames made ahead of the steps through a clip: each the same bytes as the
// frame decoded afresh, within the cache's bound, while steps are taken.

namespace {

constexpr int kFrames = 30;
const TSteppedSizes kSizes{40, 20, 48, 32};

class StepAheadTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            std::filesystem::temp_directory_path() / ("ombrane-step-" + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        // Key frames at 0, 12 and 24, with frames predicted from both sides.
        file_ = (dir_ / "gop.mp4").string();
        ASSERT_TRUE(MakeClip(file_, 96, 64, kFrames, "-pix_fmt yuv420p -c:v libx264 -g 12 -bf 2 -crf 20"));
        for (int n = 0; n < kFrames; ++n) {
            TClip fresh(file_);
            fresh_.push_back(MakeSteppedFrame(n, fresh.Frame(n), kSizes));
        }
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // The frame is the one decoded afresh, in each of its pictures.
    void ExpectFresh(const TFrameCache::TEntry& frame, std::int64_t number) const {
        ASSERT_NE(frame, nullptr);
        ASSERT_EQ(frame->Number, number);
        const TSteppedFrame& fresh = fresh_[number];
        EXPECT_TRUE(frame->Picture.SamePixels(fresh.Picture)) << "frame " << number;
        EXPECT_TRUE(frame->Preview.SamePixels(fresh.Preview)) << "frame " << number;
        EXPECT_TRUE(frame->Copy.SamePixels(fresh.Copy)) << "frame " << number;
    }
    // Every frame the cache holds is the one decoded afresh.
    void ExpectCacheFresh(const TFrameCache& cache) const {
        for (int n = 0; n < kFrames; ++n)
            if (const auto kept = cache.Find(n)) ExpectFresh(kept, n);
    }

    std::filesystem::path dir_;
    std::string file_;
    std::vector<TSteppedFrame> fresh_;
};

// A step as the frame bar takes it: the frame made ahead, or made here.
TFrameCache::TEntry Step(TStepAhead& ahead, TFrameCache& cache, TClip& clip, std::int64_t from, std::int64_t to) {
    cache.SetCentre(to);
    TFrameCache::TEntry frame = ahead.Wait(to);
    if (!frame) frame = cache.Put(MakeSteppedFrame(to, clip.Frame(to), kSizes));
    const std::int64_t step = to - from;
    ahead.Request(to, step == 1 || step == -1 ? static_cast<int>(step) : 0, kSizes);
    return frame;
}

TEST_F(StepAheadTest, FramesMadeAheadAcrossKeyFramesAreTheFramesDecodedAfresh) {
    TFrameCache cache(std::uint64_t(1) << 30);
    TStepAhead ahead(file_, kFrames, cache);
    TClip clip(file_);
    std::int64_t at = 8;
    ExpectFresh(Step(ahead, cache, clip, -1, at), at);
    // Forward over the key frame at 12, back over it to 6.
    for (const int step : {1, 1, 1, 1, 1, 1, 1, 1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}) {
        ExpectFresh(Step(ahead, cache, clip, at, at + step), at + step);
        at += step;
    }
    // After a step back, the frames before the one shown are all made.
    ahead.WaitUntilDone();
    for (int n = 0; n <= 7; ++n) EXPECT_TRUE(cache.Has(n)) << "frame " << n;
    ExpectCacheFresh(cache);
    // Back over the key frame at 0 from frames made ahead, then forward.
    for (const int step : {-1, -1, -1, -1, -1, -1, 1, 1, 1}) {
        ExpectFresh(Step(ahead, cache, clip, at, at + step), at + step);
        at += step;
    }
    ahead.WaitUntilDone();
    ExpectCacheFresh(cache);
}

// Steps taken at random, without waiting for the thread: whatever it has
// made or is making, each frame shown is the frame decoded afresh.
TEST_F(StepAheadTest, StepsWhileTheThreadDecodesShowTheFramesDecodedAfresh) {
    TFrameCache cache(std::uint64_t(1) << 30);
    TStepAhead ahead(file_, kFrames, cache);
    TClip clip(file_);
    std::mt19937 random(7);
    std::int64_t at = 20;
    ExpectFresh(Step(ahead, cache, clip, -1, at), at);
    for (int i = 0; i < 60; ++i) {
        const int choice = static_cast<int>(random() % 10);
        const std::int64_t to = choice < 4   ? at + 1
                                : choice < 8 ? at - 1
                                             : static_cast<std::int64_t>(random() % kFrames);
        const std::int64_t next = std::clamp<std::int64_t>(to, 0, kFrames - 1);
        ExpectFresh(Step(ahead, cache, clip, at, next), next);
        at = next;
    }
    ahead.Cancel();
    ahead.WaitUntilDone();
    ExpectCacheFresh(cache);
}

// After a step forward only the frames ahead are made: the frames behind
// are the ones just shown, and making them would hold up the next step.
TEST_F(StepAheadTest, AStepForwardMakesOnlyTheFramesAhead) {
    TFrameCache cache(std::uint64_t(1) << 30);
    TStepAhead ahead(file_, kFrames, cache);
    cache.SetCentre(16);
    ahead.Request(16, 1, kSizes);
    ahead.WaitUntilDone();
    for (std::int64_t n = 17; n <= 16 + TStepAhead::kAhead; ++n) {
        EXPECT_TRUE(cache.Has(n)) << "frame " << n;
        ExpectFresh(cache.Find(n), n);
    }
    EXPECT_EQ(cache.Size(), std::size_t(TStepAhead::kAhead));
    EXPECT_FALSE(cache.Has(15));
}

// A frame jumped to (or where play stopped): the frames before it are made
// at once, over the key frames before it, without waiting for a step back;
// then a step back and on back take frames made ahead, each the frame
// decoded afresh, and the frames on back keep coming while steps go back.
TEST_F(StepAheadTest, AJumpMakesTheFramesBeforeItWithoutAStepBack) {
    TFrameCache cache(std::uint64_t(1) << 30);
    TStepAhead ahead(file_, kFrames, cache);
    TClip clip(file_);
    Step(ahead, cache, clip, 3, 27);
    ahead.WaitUntilDone();
    for (int n = 0; n <= 29; ++n) EXPECT_TRUE(cache.Has(n) || n == 27) << "frame " << n;
    ExpectCacheFresh(cache);

    // A jump into a clip whose cache holds only the frames around the
    // jump: back from it, frame after frame, while the thread goes on back.
    cache.Clear();
    std::int64_t at = 22;
    ExpectFresh(Step(ahead, cache, clip, 5, at), at);
    for (; at > 2; --at) ExpectFresh(Step(ahead, cache, clip, at, at - 1), at - 1);
    ahead.WaitUntilDone();
    for (int n = 0; n < 2; ++n) EXPECT_TRUE(cache.Has(n)) << "frame " << n;
    ExpectCacheFresh(cache);
}

// A frame jumped to that the thread makes itself (the frame bar asks so in
// clips of dependent frames): it is made last in the run back, so the
// frames just before it, which its decode from the key frame passes anyway,
// are there at once for the steps back, and nothing else makes it twice.
TEST_F(StepAheadTest, AFrameAskedForWithItsCentreEndsTheRunBack) {
    TFrameCache cache(std::uint64_t(1) << 30);
    TStepAhead ahead(file_, kFrames, cache);
    for (const std::int64_t at : {22, 9}) {
        cache.SetCentre(at);
        ahead.Request(at, 0, kSizes, true);
        const TFrameCache::TEntry frame = ahead.Wait(at);
        ExpectFresh(frame, at);
        for (std::int64_t n = at - TStepAhead::kShortestRunBack + 1; n < at; ++n)
            EXPECT_TRUE(cache.Has(n)) << "frame " << n << " before " << at;
        ahead.Request(at, 0, kSizes);
        ahead.WaitUntilDone();
        ExpectCacheFresh(cache);
        cache.Clear();
    }
    // A thread that cannot open the clip leaves the frame to the caller.
    TFrameCache empty(std::uint64_t(1) << 20);
    TStepAhead lost((dir_ / "gone.mp4").string(), kFrames, empty);
    lost.Request(0, 0, kSizes);
    lost.WaitUntilDone();  // the thread has given up
    lost.Request(5, 0, kSizes, true);
    EXPECT_EQ(lost.Wait(5), nullptr);
    // A frame asked for that a newer request no longer wants is not waited for.
    ahead.Request(25, 0, kSizes, true);
    ahead.Request(3, 1, kSizes);
    if (const TFrameCache::TEntry frame = ahead.Wait(25)) ExpectFresh(frame, 25);
    ahead.WaitUntilDone();
    ExpectCacheFresh(cache);
}

// Whether a seek costs only the frame sought: so for frames coded on their
// own (ProRes, and the pictures of a sequence), not for H.264's frames
// predicted from others, whose seeks decode from the key frame before.
TEST_F(StepAheadTest, ClipsSayWhetherTheirFramesStandAlone) {
    EXPECT_FALSE(TClip(file_).Info().FramesStandAlone);
    const std::string prores = (dir_ / "intra.mov").string();
    ASSERT_TRUE(MakeClip(prores, 96, 64, 3, "-pix_fmt yuv422p10le -c:v prores_ks -profile:v 3"));
    EXPECT_TRUE(TClip(prores).Info().FramesStandAlone);
    const std::string pictures = (dir_ / "shot_%04d.png").string();
    ASSERT_TRUE(MakeClip(pictures, 96, 64, 3, ""));
    EXPECT_TRUE(TClip(pictures).Info().FramesStandAlone);
}

// A cache with room for a few frames: the frames made going back stop at
// its bound, the nearest ones kept; a newer request makes the older stale.
TEST_F(StepAheadTest, FramesMadeBackStayWithinTheCacheAndANewerRequestWins) {
    const std::uint64_t frameBytes = fresh_[0].Bytes();
    TFrameCache cache(8 * frameBytes);
    {
        TStepAhead ahead(file_, kFrames, cache);
        TClip clip(file_);
        Step(ahead, cache, clip, 26, 25);
        ahead.WaitUntilDone();
        EXPECT_LE(cache.Bytes(), cache.Capacity());
        EXPECT_LE(cache.Size(), 8u);
        EXPECT_GE(cache.Size(), 3u);
        EXPECT_TRUE(cache.Has(24));
        EXPECT_TRUE(cache.Has(26));
        EXPECT_FALSE(cache.Has(0));
        // Behind the one shown, the frames kept are the nearest ones.
        std::int64_t deepestKept = 25, nearestMissing = -1;
        for (std::int64_t n = 0; n <= 25; ++n)
            if (cache.Has(n))
                deepestKept = std::min(deepestKept, n);
            else
                nearestMissing = n;
        EXPECT_LT(nearestMissing, deepestKept);
        ExpectCacheFresh(cache);

        // Far back, then forward at once: the forward frames come.
        Step(ahead, cache, clip, 6, 5);
        Step(ahead, cache, clip, 5, 6);
        ahead.WaitUntilDone();
        EXPECT_TRUE(cache.Has(7));
        EXPECT_TRUE(cache.Has(8));
        EXPECT_LE(cache.Bytes(), cache.Capacity());
        ExpectCacheFresh(cache);
    }
}

}  // namespace
