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

// The tables are pages of their own: a LUT made where another was filled and
// dropped starts empty again, and nothing lies right after the last entry of
// either table, so a write past it faults at once instead of changing
// another object.
TEST(LUTTest, TablesStartZeroAfterOthersAndEndAtAPageNothingMayTouch) {
    for (int round = 0; round < 3; ++round) {
        auto lut = std::make_unique<TLUT>();
        EXPECT_EQ(lut->Cube[100][100][100].Red, 0.0) << round;
        EXPECT_EQ(lut->Cube[0][0][0].Green, 0.0) << round;
        EXPECT_EQ(lut->Curve[0].Blue, 0.0) << round;
        EXPECT_EQ(lut->Curve[kMaxCurveSize - 1].Blue, 0.0) << round;
        lut->Cube[0][0][0] = lut->Cube[100][100][100] = TRGBDouble{1, 2, 3};
        lut->Curve[0] = lut->Curve[kMaxCurveSize - 1] = TRGBDouble{4, 5, 6};
    }
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            TLUT lut;
            volatile double* past = &lut.Curve[kMaxCurveSize - 1].Blue + 1;
            *past = 1.0;
        },
        "");
    EXPECT_DEATH(
        {
            TLUT lut;
            volatile double* past = &lut.Cube[100][100][100].Blue + 1;
            *past = 1.0;
        },
        "");
}
