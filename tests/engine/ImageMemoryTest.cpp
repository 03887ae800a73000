#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "engine/picture/Image.h"
#include "tests/engine/TestImages.h"

// The memory of a picture's pixels: small and large blocks (laid out in
// pages of 2 MB) alike hold their pixels through clones, moves and new
// sizes, and go back to where they came from.

namespace {

constexpr std::uintptr_t kLargePage = std::uintptr_t(2) << 20;

bool SamePixelsAs(const TImage& image, std::uint32_t seed) {
    return image.SamePixels(RandomImage(image.Width(), image.Height(), seed));
}

TEST(ImageMemoryTest, PicturesBelowAndAboveTheLargeBlockSizeKeepTheirPixels) {
    // 2 MB lies between the second and the third size.
    for (const auto& [width, height] :
         {std::pair{16, 9}, std::pair{700, 990}, std::pair{1024, 700}, std::pair{1920, 1080}}) {
        const std::uint32_t seed = static_cast<std::uint32_t>(width);
        TImage image = RandomImage(width, height, seed);
        if (image.Stride() * height >= kLargePage)
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(image.Row(0)) % kLargePage, 0u) << width;
        const TImage clone = image.Clone();
        TImage moved = std::move(image);
        EXPECT_TRUE(SamePixelsAs(clone, seed)) << width;
        EXPECT_TRUE(SamePixelsAs(moved, seed)) << width;
        // To a size across the bound and back: every block let go where it came from.
        moved.SetSizeToFill(height, width / 2 + 1);
        moved.SetSize(3, 2);
        moved.SetSizeToFill(width, height);
        EXPECT_EQ(moved.Width(), width);
    }
}

}  // namespace
