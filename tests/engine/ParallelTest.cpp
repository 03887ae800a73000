#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

#include "engine/base/Parallel.h"

TEST(ParallelTest, EveryItemOnceAndErrorsReachTheCaller) {
    for (int count : {0, 1, 2, 7, 1000}) {
        std::vector<std::atomic<int>> seen(static_cast<std::size_t>(count));
        ParallelFor(count, 1, [&](int begin, int end) {
            for (int i = begin; i < end; ++i) seen[i]++;
        });
        for (int i = 0; i < count; ++i) EXPECT_EQ(seen[i].load(), 1) << count << " " << i;
    }
    // A slice that throws: the error arrives after all slices have ended.
    std::atomic<int> done{0};
    std::atomic<int> lastBegin{-1};
    EXPECT_THROW(ParallelFor(100, 1,
                             [&](int begin, int end) {
                                 if (end == 100) {
                                     lastBegin = begin;
                                     throw std::runtime_error("last slice");
                                 }
                                 done += end - begin;
                             }),
                 std::runtime_error);
    EXPECT_EQ(done.load(), lastBegin.load());  // every other slice had finished
}

TEST(ParallelTest, LimitedToOneWorkerTheCallerTakesTheWholeRange) {
    const int before = LimitWorkers(1);
    std::vector<std::pair<int, int>> slices;
    ParallelFor(1000, 1, [&](int begin, int end) { slices.emplace_back(begin, end); });
    EXPECT_EQ(LimitWorkers(before), 1);
    ASSERT_EQ(slices.size(), 1u);
    EXPECT_EQ(slices[0], std::make_pair(0, 1000));
}
