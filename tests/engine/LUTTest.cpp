#include <gtest/gtest.h>

#include <memory>

#include "engine/lut/LUT.h"

TEST(LUTTest, FreshLutIsEmptyAndUsesTheWideStride) {
    auto lut = std::make_unique<TLUT>();
    EXPECT_EQ(lut->Kind, lkCurve);
    EXPECT_EQ(lut->CubeSize, 0);
    EXPECT_EQ(lut->CurveSize, 0);
    EXPECT_TRUE(lut->Comments.empty());
    EXPECT_EQ(lut->Cube[100][100][100].Blue, 0.0);
    EXPECT_EQ(lut->Curve[kMaxCurveSize - 1].Red, 0.0);
    // Entry [r][g][b] sits at (r * 101 + g) * 101 + b whatever CubeSize is.
    const TRGBDouble* base = &lut->Cube[0][0][0];
    EXPECT_EQ(&lut->Cube[1][2][3] - base, (1 * 101 + 2) * 101 + 3);
}
