#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "formats/CubeLines.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"
#include "formats/LutFormat.h"
#include "tests/formats/FormatTestSupport.h"

namespace {

// The fast 6-decimal path must give exactly the text of FormatFixed.
TEST(CubeLines, AppendFixed6MatchesFormatFixed) {
    std::vector<double> values = {0.0,
                                  -0.0,
                                  1.0,
                                  0.5,
                                  -0.5,
                                  1e-7,
                                  -1e-7,
                                  -4.9e-7,
                                  -5.1e-7,
                                  0.0000005,
                                  0.0000015,
                                  999999999.9999996,
                                  1e9,
                                  -1e9,
                                  1e15,
                                  123456789.123456789,
                                  std::numeric_limits<double>::infinity(),
                                  std::nan(""),
                                  std::numeric_limits<double>::denorm_min()};
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> unit(-2.0, 2.0);
    for (int i = 0; i < 50000; ++i) {
        double v = unit(random);
        if (i % 4 == 1) v = std::nearbyint(v * 2e6) / 2e6;  // halves of the last decimal
        if (i % 4 == 2) v = std::ldexp(v, static_cast<int>(random() % 80) - 40);
        values.push_back(v);
    }
    for (double v : values) {
        std::string fast;
        AppendFixed6(fast, v);
        ASSERT_EQ(fast, FormatFixed(6, v)) << v;
    }
}

TEST(CubeLines, GridOrdersAndSeparators) {
    auto lut = formattest::IdentityCube(2);
    lut->Cube[1][0][0] = TRGBDouble{0.25, 0.5, 0.75};
    TTextFile redFastest;
    AddFixedGridRedFastest(redFastest, *lut, false);
    ASSERT_EQ(redFastest.Count(), 8u);
    EXPECT_EQ(redFastest[1], "0.250000 0.500000 0.750000");
    TTextFile bgr;
    AddFixedGridRedFastest(bgr, *lut, true);
    EXPECT_EQ(bgr[1], "0.750000 0.500000 0.250000");
    EXPECT_EQ(bgr[2], "0.000000 1.000000 0.000000");

    TTextFile blueFastest;
    AddScaledGridBlueFastest(blueFastest, *lut, 8, '\t', true);
    ASSERT_EQ(blueFastest.Count(), 8u);
    EXPECT_EQ(blueFastest[0], "0\t0\t0\t0");
    EXPECT_EQ(blueFastest[1], "1\t0\t0\t255");
    EXPECT_EQ(blueFastest[4], "4\t64\t128\t191");  // [1][0][0]
    EXPECT_EQ(blueFastest[7], "7\t255\t255\t255");

    TTextFile refused;
    EXPECT_THROW(AddScaledGridBlueFastest(refused, *lut, 0), ELUTError);
    EXPECT_THROW(AddScaledGridBlueFastest(refused, *lut, 33), ELUTError);
    lut->CubeSize = 102;
    EXPECT_THROW(AddFixedGridRedFastest(refused, *lut, false), ELUTError);
}

}  // namespace
