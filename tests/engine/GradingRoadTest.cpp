#include <gtest/gtest.h>

#include <memory>

#include "engine/base/Error.h"
#include "engine/look/GradingRoad.h"
#include "engine/lut/LUT.h"
#include "tests/engine/TestImages.h"

namespace {

// A reference cell in the tones of a warm sunset: reds and oranges.
TImage WarmCell() {
    TImage cell(40, 40);
    for (int y = 0; y < cell.Height(); ++y)
        for (int x = 0; x < cell.Width(); ++x) SetPixel(cell, x, y, 150 + 2 * x, 60 + y, 30 + x / 2);
    return cell;
}

// Mean of channel c over the picture.
double MeanChannel(const TImage& image, int c) {
    double sum = 0;
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x) sum += Channel(image, x, y, c);
    return sum / (static_cast<double>(image.Width()) * image.Height());
}

}  // namespace

TEST(GradingRoad, TheReferenceMovesThePictureTowardItsColoursAndNeutralControlsKeepIt) {
    const TImage cell = WarmCell();
    const TImage picture = RandomImage(64, 48, 7);

    // The reference's warmth reaches the picture through the whole road.
    TLookSettings settings = LookFromReference(cell, TLookPositions{});
    std::unique_ptr<TLUT> look = MakeLookLut(settings);
    EXPECT_EQ(look->Kind, lkCube);
    EXPECT_EQ(look->CubeSize, kLookCubeSize);
    TImage graded = picture.Clone();
    GradePicture(*look, graded);
    EXPECT_GT(MeanChannel(graded, 2) - MeanChannel(graded, 0), MeanChannel(picture, 2) - MeanChannel(picture, 0) + 20);

    // Color Gain at 0 switches the transfer off; with the saturation
    // controls at 100 the road gives the picture back unchanged.
    TLookPositions off;
    off.Gain = 0;
    settings = LookFromReference(cell, off);
    look = MakeLookLut(settings);
    graded = picture.Clone();
    GradePicture(*look, graded);
    EXPECT_TRUE(graded.SamePixels(picture));
}

TEST(GradingRoad, BuildsIntoAGivenLutAtAnySizeAndRefusesBadInput) {
    const TLookSettings settings = LookFromReference(WarmCell(), TLookPositions{});
    auto lut = std::make_unique<TLUT>();
    lut->CurveSize = 2;
    lut->Curve[1] = {0.5, 0.5, 0.5};
    BuildLookLut(settings, *lut, 5);
    EXPECT_EQ(lut->Kind, lkCube);
    EXPECT_EQ(lut->CubeSize, 5);
    EXPECT_EQ(lut->CurveSize, 2);
    EXPECT_EQ(lut->Curve[1].Red, 0.5);
    // The corners of a 5-point cube are the corners of the 33-point one.
    const std::unique_ptr<TLUT> window = MakeLookLut(settings);
    EXPECT_EQ(lut->Cube[4][0][4].Red, window->Cube[32][0][32].Red);
    EXPECT_EQ(lut->Cube[0][4][0].Green, window->Cube[0][32][0].Green);

    EXPECT_THROW(BuildLookLut(settings, *lut, 1), EError);
    EXPECT_THROW(MakeLookLut(settings, kMaxCubeSize + 1), EError);
    EXPECT_THROW(LookFromReference(TImage(), TLookPositions{}), EError);
    TLookPositions beyond;
    beyond.Red = 201;
    EXPECT_THROW(LookFromReference(WarmCell(), beyond), EError);
}
