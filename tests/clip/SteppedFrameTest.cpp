#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>

#include "clip/SteppedFrame.h"
#include "engine/picture/DeepGrade.h"
#include "engine/picture/ImageResize.h"

// A stepped frame made again in the memory of a frame let go is the frame
// made afresh, byte for byte, whatever that memory held before.

namespace {

// A frame of random values, some outside 0..1 (clamped on the way to 8 bits).
TDeepImage RandomFrame(int width, int height, unsigned seed) {
    TDeepImage frame(width, height, false);
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-0.1f, 1.1f);
    for (int y = 0; y < height; ++y)
        std::generate(frame.Row(y), frame.Row(y) + 3 * width, [&] { return value(random); });
    return frame;
}

// Every byte of the picture, padding too, set to `byte`.
void Scribble(TImage& picture, std::uint8_t byte) {
    for (int y = 0; y < picture.Height(); ++y) std::fill(picture.Row(y), picture.Row(y) + picture.Stride(), byte);
}

void ExpectPaddingZero(const TImage& picture) {
    for (int y = 0; y < picture.Height(); ++y)
        for (std::size_t b = std::size_t(picture.Width()) * 3; b < picture.Stride(); ++b)
            ASSERT_EQ(picture.Row(y)[b], 0) << "row " << y;
}

TEST(SteppedFrameTest, AFrameMadeInTheMemoryOfAnotherIsTheFrameMadeAfresh) {
    const TSteppedSizes sizes{45, 20, 37, 21};
    const TDeepImage frame = RandomFrame(83, 47, 3);
    // The plain road: the engine's 24-bit picture, its fit, its resample.
    const TImage picture = DeepToImage(frame);
    const TImage preview = FitImage(picture, sizes.BoxWidth, sizes.BoxHeight);
    TImage copy;
    ResizeImage(sizes.CopyWidth, sizes.CopyHeight, kLanczos3Filter, copy, picture, 0.0f);

    // Let go by the cache: a frame of the same sizes, and of others.
    for (const TSteppedSizes& held : {sizes, TSteppedSizes{200, 100, 150, 90}, TSteppedSizes{9, 5, 0, 0}}) {
        TSteppedFrame reused = MakeSteppedFrame(7, RandomFrame(held.BoxWidth < 100 ? 83 : 300, 47, 9), held);
        for (TImage* image : {&reused.Picture, &reused.Preview, &reused.Copy}) Scribble(*image, 0xC3);
        const std::uint8_t* heldPicture = reused.Picture.Row(0);
        RemakeSteppedFrame(reused, 12, frame, sizes);
        EXPECT_EQ(reused.Number, 12);
        EXPECT_TRUE(reused.Picture.SamePixels(picture));
        EXPECT_TRUE(reused.Preview.SamePixels(preview));
        EXPECT_TRUE(reused.Copy.SamePixels(copy));
        for (const TImage* image : {&reused.Picture, &reused.Preview, &reused.Copy}) ExpectPaddingZero(*image);
        // The picture of a frame of the same size is made where it was.
        if (held.BoxWidth == sizes.BoxWidth) EXPECT_EQ(reused.Picture.Row(0), heldPicture);
    }

    // No box and a copy at the frame's own size: those pictures are left
    // empty, whatever the frame let go held.
    TSteppedFrame reused = MakeSteppedFrame(1, frame, sizes);
    RemakeSteppedFrame(reused, 2, frame, {0, 0, frame.Width(), frame.Height()});
    EXPECT_TRUE(reused.Picture.SamePixels(picture));
    EXPECT_TRUE(reused.Preview.Empty());
    EXPECT_TRUE(reused.Copy.Empty());
}

}  // namespace
