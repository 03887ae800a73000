#include <gtest/gtest.h>

#include <cstdint>

#include "clip/FrameCache.h"

// The stepped frames kept in memory: never more bytes than the capacity,
// the frames nearest the one shown kept first.

namespace {

// A stepped frame whose picture alone takes width x height x 3 bytes,
// every byte its number (so frames are told apart).
TSteppedFrame Frame(std::int64_t number, int width = 10, int height = 10) {
    TSteppedFrame frame;
    frame.Number = number;
    frame.Picture = TImage(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width * 3; ++x) frame.Picture.Row(y)[x] = static_cast<std::uint8_t>(number);
    return frame;
}

constexpr std::uint64_t kFrameBytes = 10 * 10 * 3;

TEST(FrameCacheTest, HoldsNoMoreThanItsCapacityAndKeepsTheFramesNearestTheOneShown) {
    TFrameCache cache(3 * kFrameBytes + 1);
    cache.SetCentre(10);
    for (const std::int64_t number : {10, 9, 8, 11}) EXPECT_NE(cache.Put(Frame(number)), nullptr);
    // Frame 8 was farthest: it went to make room for 11.
    EXPECT_EQ(cache.Size(), 3u);
    EXPECT_EQ(cache.Bytes(), 3 * kFrameBytes);
    EXPECT_FALSE(cache.Has(8));
    for (const std::int64_t number : {9, 10, 11}) {
        const auto kept = cache.Find(number);
        ASSERT_NE(kept, nullptr);
        EXPECT_EQ(kept->Number, number);
        EXPECT_EQ(kept->Picture.Row(9)[29], number);
    }
    // Farther than every frame held: given back, not kept.
    const auto far = cache.Put(Frame(20));
    ASSERT_NE(far, nullptr);
    EXPECT_EQ(far->Number, 20);
    EXPECT_FALSE(cache.Kept(far));
    EXPECT_FALSE(cache.Has(20));
    EXPECT_TRUE(cache.Kept(cache.Find(10)));

    // The one shown moves back: the frames behind it are kept, those ahead go.
    cache.SetCentre(6);
    for (const std::int64_t number : {7, 6, 5}) cache.Put(Frame(number));
    EXPECT_EQ(cache.Size(), 3u);
    for (const std::int64_t number : {5, 6, 7}) EXPECT_TRUE(cache.Has(number));
    EXPECT_LE(cache.Bytes(), cache.Capacity());
}

TEST(FrameCacheTest, AFrameAgainReplacesItsOldPictureAndClearLetsAllGo) {
    TFrameCache cache(10 * kFrameBytes);
    cache.Put(Frame(3));
    TSteppedFrame again = Frame(3, 20, 10);
    again.Picture.Row(0)[0] = 200;
    cache.Put(std::move(again));
    EXPECT_EQ(cache.Size(), 1u);
    EXPECT_EQ(cache.Bytes(), 2 * kFrameBytes);
    EXPECT_EQ(cache.Find(3)->Picture.Row(0)[0], 200);
    // A frame larger than the whole capacity is never kept.
    EXPECT_FALSE(cache.Kept(cache.Put(Frame(4, 100, 100))));
    EXPECT_TRUE(cache.Has(3));
    cache.Clear();
    EXPECT_EQ(cache.Size(), 0u);
    EXPECT_EQ(cache.Bytes(), 0u);
    EXPECT_FALSE(cache.Has(3));
}

// A frame let go that nobody else holds is kept as the spare, to be made
// again; one still held elsewhere is left whole to its holder.
TEST(FrameCacheTest, AFrameLetGoThatNobodyHoldsIsTheSpare) {
    TFrameCache cache(3 * kFrameBytes);
    EXPECT_EQ(cache.TakeSpare().Number, -1);
    cache.SetCentre(10);
    for (const std::int64_t number : {9, 10, 11}) cache.Put(Frame(number));
    cache.SetCentre(12);
    cache.Put(Frame(12));  // frame 9 goes, the farthest
    TSteppedFrame spare = cache.TakeSpare();
    EXPECT_EQ(spare.Number, 9);
    ASSERT_EQ(spare.Picture.Width(), 10);
    EXPECT_EQ(spare.Picture.Row(9)[29], 9);
    EXPECT_EQ(cache.Bytes(), 3 * kFrameBytes);
    // Taken once only.
    EXPECT_EQ(cache.TakeSpare().Number, -1);

    // Frame 10 is still shown when it goes: it stays its holder's.
    const TFrameCache::TEntry shown = cache.Find(10);
    cache.SetCentre(14);
    cache.Put(Frame(13));
    EXPECT_FALSE(cache.Has(10));
    EXPECT_EQ(cache.TakeSpare().Number, -1);
    ASSERT_EQ(shown->Picture.Width(), 10);
    EXPECT_EQ(shown->Picture.Row(9)[29], 10);

    // A frame replaced by a new one of its number is a spare too, and
    // clearing the cache lets the spare go with the frames.
    TSteppedFrame again = Frame(13);
    again.Picture.Row(0)[0] = 200;
    cache.Put(std::move(again));
    EXPECT_EQ(cache.Size(), 3u);
    spare = cache.TakeSpare();
    EXPECT_EQ(spare.Number, 13);
    EXPECT_EQ(spare.Picture.Row(0)[0], 13);
    EXPECT_EQ(cache.Find(13)->Picture.Row(0)[0], 200);
    cache.Put(Frame(13));
    cache.Clear();
    EXPECT_EQ(cache.TakeSpare().Number, -1);
}

TEST(FrameCacheTest, CapacityIsAShareOfThePixelBudgetWithinBounds) {
    EXPECT_EQ(TFrameCache::CapacityFor(1000, 4000000), 1000000u);
    EXPECT_EQ(TFrameCache::CapacityFor(1000, std::uint64_t(64) << 30), TFrameCache::kMostBytes);
    // Room for two frames at the least, whatever the budget.
    EXPECT_EQ(TFrameCache::CapacityFor(1000, 100), 2000u);
}

}  // namespace
