#include <gtest/gtest.h>

#include <cmath>

#include "engine/fit/ShotCorrespondence.h"
#include "engine/fit/StructureAgreement.h"
#include "engine/picture/Image.h"
#include "tests/engine/TestImages.h"

namespace {

// A smooth texture of waves of several directions, grey codes 30..225.
TImage Waves(int width, int height, double phase) {
    TImage image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double v = 127.5 + 45 * std::sin(0.31 * x + phase) + 30 * std::sin(0.23 * y + 0.17 * x) +
                             20 * std::cos(0.41 * y - phase);
            SetPixel(image, x, y, static_cast<int>(v), static_cast<int>(v * 0.8), static_cast<int>(255 - v));
        }
    return image;
}

TEST(ShotCorrespondence, ShiftReadsBetweenPixelsAndMarksTheOverlap) {
    TImage graded(8, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) SetPixel(graded, x, y, 20 * x, 10 * y, 100);
    const TImage frame = RandomImage(8, 4, 7);
    // FRAME's (x, y) shows GRADED's (x + 2.5, y + 1).
    const double shift[9] = {1, 0, 2.5, 0, 1, 1, 0, 0, 1};
    const TShotCorrespondence pair = MapGradedOntoFrame(graded, frame, shift);
    ASSERT_EQ(pair.Width, 8);
    ASSERT_EQ(pair.Height, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * 8 + x;
            const bool inside = x + 2.5 <= 7 && y + 1 <= 3;
            EXPECT_EQ(pair.Overlap[i], inside ? 1 : 0) << x << ", " << y;
            EXPECT_FLOAT_EQ(pair.Frame[3 * i], Channel(frame, x, y, 2) / 255.0f);
            EXPECT_FLOAT_EQ(pair.Frame[3 * i + 2], Channel(frame, x, y, 0) / 255.0f);
            if (!inside) continue;
            EXPECT_NEAR(pair.Graded[3 * i], 20 * (x + 2.5) / 255.0, 1e-6);
            EXPECT_NEAR(pair.Graded[3 * i + 1], 10 * (y + 1) / 255.0, 1e-6);
            EXPECT_NEAR(pair.Graded[3 * i + 2], 100 / 255.0, 1e-6);
        }
}

TEST(ShotCorrespondence, PlacesBehindTheCameraAreOutside) {
    const TImage graded = RandomImage(6, 6, 1);
    const TImage frame = RandomImage(6, 6, 2);
    // w = 1 - x: FRAME's columns from 1 on map behind the camera.
    const double h[9] = {1, 0, 0, 0, 1, 0, -1, 0, 1};
    const TShotCorrespondence pair = MapGradedOntoFrame(graded, frame, h);
    for (int y = 0; y < 6; ++y)
        for (int x = 1; x < 6; ++x) EXPECT_EQ(pair.Overlap[y * 6 + x], 0) << x << ", " << y;
}

// A correspondence of two pictures of one size in place.
TShotCorrespondence InPlace(const TImage& graded, const TImage& frame) {
    const double identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    return MapGradedOntoFrame(graded, frame, identity);
}

TEST(StructureAgreement, ToneChangeAgreesOtherContentDiffersFlatIsUndecided) {
    const TImage frame = Waves(60, 40, 0.0);
    TImage graded(60, 40);
    // The left half: the same waves through a strong tone curve and a cast;
    // the right half: waves of another phase; the bottom rows flat in both.
    const TImage other = Waves(60, 40, 2.0);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x) {
            const std::uint8_t* p = (x < 30 ? frame : other).Row(y) + 3 * x;
            const double t = std::pow(p[1] / 255.0, 0.6);
            SetPixel(graded, x, y, static_cast<int>(250 * t), static_cast<int>(200 * t),
                     static_cast<int>(120 * t + 40));
        }
    TImage flatFrame = frame.Clone(), flatGraded = graded.Clone();
    for (int y = 30; y < 40; ++y)
        for (int x = 0; x < 60; ++x) {
            SetPixel(flatFrame, x, y, 90, 90, 90);
            SetPixel(flatGraded, x, y, 140, 120, 60);
        }
    const TShotCorrespondence pair = InPlace(flatGraded, flatFrame);
    const std::vector<std::uint8_t> agreement = StructureAgreement(pair);
    EXPECT_EQ(agreement[10 * 60 + 10], agAgrees);
    EXPECT_EQ(agreement[15 * 60 + 20], agAgrees);
    EXPECT_EQ(agreement[10 * 60 + 45], agDiffers);
    EXPECT_EQ(agreement[15 * 60 + 50], agDiffers);
    EXPECT_EQ(agreement[37 * 60 + 10], agFlat);
    EXPECT_EQ(agreement[37 * 60 + 50], agFlat);
}

TEST(StructureAgreement, PixelsOutsideGradedAreOutside) {
    const TImage frame = Waves(20, 20, 0.0);
    const double shift[9] = {1, 0, 10, 0, 1, 0, 0, 0, 1};
    const TShotCorrespondence pair = MapGradedOntoFrame(frame, frame, shift);
    const std::vector<std::uint8_t> agreement = StructureAgreement(pair);
    EXPECT_EQ(agreement[5 * 20 + 15], agOutside);
    EXPECT_NE(agreement[5 * 20 + 5], agOutside);
}

}  // namespace
