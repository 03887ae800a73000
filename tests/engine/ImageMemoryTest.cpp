#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include <algorithm>

#include "engine/picture/Image.h"
#include "engine/picture/PixelBlocks.h"
#include "tests/engine/TestImages.h"

// Pictures of a frame's size lie on the system's large pages where it gives
// them (a fresh picture is then faulted in 2 MB at a time); smaller ones
// are allocated as any other memory. Either way a picture is what it was.

namespace {

constexpr std::uintptr_t kLargePage = std::uintptr_t(2) << 20;

// Whether the system may give large pages to memory that asks for them.
bool LargePagesOn() {
    std::ifstream mode("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string text;
    std::getline(mode, text);
    return !text.empty() && text.find("[never]") == std::string::npos;
}

// The THPeligible line of the mapping that holds the address: "1" when
// large pages may back it, empty when the system does not say.
std::string LargePageEligible(const void* address) {
    std::ifstream maps("/proc/self/smaps");
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    bool inside = false;
    for (std::string line; std::getline(maps, line);) {
        std::uintptr_t from = 0, to = 0;
        char dash = 0;
        std::istringstream range(line);
        if (range >> std::hex >> from >> dash >> to && dash == '-' && line.find(' ') > line.find('-')) {
            inside = from <= at && at < to;
            continue;
        }
        if (inside && line.rfind("THPeligible:", 0) == 0) return line.substr(line.find_last_of(" \t") + 1);
    }
    return "";
}

}  // namespace

TEST(ImageMemoryTest, FramePicturesLieOnLargePagesAndKeepTheirPixels) {
    TImage frame(1920, 1080);
    for (int y = 0; y < frame.Height(); y += 97) EXPECT_EQ(frame.Row(y)[0], 0) << "starts black";
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(frame.Row(0)) % kLargePage, 0u);
    if (LargePagesOn()) {
        const std::string eligible = LargePageEligible(frame.Row(0));
        if (!eligible.empty()) {
            EXPECT_EQ(eligible, "1");
        }
    }

    // Written whole, cloned, refilled at other sizes: the same pixels as a
    // small picture's road gives.
    const TImage source = RandomImage(1301, 977, 9);
    TImage filled;
    filled.SetSizeToFill(source.Width(), source.Height());
    for (int y = 0; y < source.Height(); ++y) std::copy(source.Row(y), source.Row(y) + source.Stride(), filled.Row(y));
    EXPECT_TRUE(filled.SamePixels(source));
    const TImage copy = filled.Clone();
    EXPECT_TRUE(copy.SamePixels(source));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(copy.Row(0)) % kLargePage, 0u);
    filled.SetSizeToFill(31, 17);
    filled.SetSizeToFill(2500, 1500);
    EXPECT_EQ(filled.Width(), 2500);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(filled.Row(0)) % kLargePage, 0u);

    const TImage small = RandomImage(40, 30, 3);
    EXPECT_TRUE(small.Clone().SamePixels(small));
}

// A large picture let go lends its memory to the next of about its size,
// which starts as a fresh one does; what waits for reuse stays bounded.
TEST(ImageMemoryTest, LargePicturesLetGoAreReusedWithinABound) {
    const std::uint8_t* held = nullptr;
    {
        TImage scribbled(1310, 737);
        for (int y = 0; y < scribbled.Height(); ++y) std::fill(scribbled.Row(y), scribbled.Row(y) + scribbled.Stride(), 0xA5);
        held = scribbled.Row(0);
    }
    EXPECT_GE(pixelblocks::Kept(), std::size_t(2) * kLargePage);
    // 1310 x 737 and 1300 x 740 both round to two large pages.
    const TImage black(1300, 740);
    EXPECT_EQ(black.Row(0), held);
    for (int y = 0; y < black.Height(); ++y)
        for (std::size_t x = 0; x < black.Stride(); ++x) ASSERT_EQ(black.Row(y)[x], 0) << x << ", " << y;
    const TImage source = RandomImage(1310, 737, 5);
    EXPECT_TRUE(source.Clone().SamePixels(source));

    {
        std::vector<TImage> many;
        for (int i = 0; i < 40; ++i) many.emplace_back(1920, 1080);
    }
    EXPECT_LE(pixelblocks::Kept(), pixelblocks::kMostKept);
    EXPECT_GT(pixelblocks::Kept(), pixelblocks::kMostKept - std::size_t(3) * kLargePage);
}
