#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "engine/base/Error.h"
#include "engine/colour/ColorSpace.h"
#include "engine/look/LookControls.h"
#include "engine/look/LookTransfer.h"
#include "engine/lut/LUT.h"
#include "tests/engine/LookCubes.h"

namespace {

TRangeStats Range(double meanU, double devU, double meanV, double devV) {
    TRangeStats r;
    r.MeanU = meanU;
    r.DevU = devU;
    r.MeanV = meanV;
    r.DevV = devV;
    return r;
}

TLookSettings ThreeRangeSettings() {
    TLookSettings s;
    s.Stats.Ranges[0] = Range(0, 0.05, 0, 0.05);
    s.Stats.Ranges[1] = Range(0.02, 0.05, -0.03, 0.05);
    s.Stats.Ranges[2] = Range(0.04, 0.1, -0.06, 0.1);
    return s;
}

void ExpectColour(const TRGBDouble& c, double r, double g, double b, double tol = 1e-4) {
    EXPECT_NEAR(c.Red, r, tol);
    EXPECT_NEAR(c.Green, g, tol);
    EXPECT_NEAR(c.Blue, b, tol);
}

double SaturationOf(const TRGBDouble& c) {
    double h, s, l;
    RGBToHSL(c.Red, c.Green, c.Blue, h, s, l);
    return s;
}

}  // namespace

TEST(LookTransferTest, WorkedExamples) {
    TLookSettings same;
    for (auto& r : same.Stats.Ranges) r = Range(0.02, 0.05, -0.03, 0.05);
    ExpectColour(LookCubeOf(same, 3)->Cube[1][1][1], 0.4658, 0.5095, 0.5407);
    same.AdvancedAnalysis = false;
    ExpectColour(LookCubeOf(same, 3)->Cube[1][1][1], 0.4658, 0.5095, 0.5407);

    TLookSettings s = ThreeRangeSettings();  // (0.75, 0.5, 0.25) is [3][2][1] of a 5-point cube
    ExpectColour(LookCubeOf(s, 5)->Cube[3][2][1], 0.7315, 0.5061, 0.2670);
    s.CompressSaturation = true;
    ExpectColour(LookCubeOf(s, 5)->Cube[3][2][1], 0.6864, 0.5072, 0.3145);
    s.CompressSaturation = false;
    s.Factors.Overall = 1.5f;
    ExpectColour(LookCubeOf(s, 5)->Cube[3][2][1], 0.8476, 0.5096, 0.1509);
}

TEST(LookTransferTest, GainAndOverallSwitches) {
    TLookSettings s = ThreeRangeSettings();
    s.Gain = 0.0;  // transfer off: only the YUV round trip remains
    auto lut = LookCubeOf(s, 33);
    double worst = 0.0;
    for (int i = 0; i < 33; ++i)
        for (int j = 0; j < 33; ++j)
            for (int k = 0; k < 33; ++k) {
                const TRGBDouble& c = lut->Cube[i][j][k];
                worst = std::max(
                    {worst, std::fabs(c.Red - i / 32.0), std::fabs(c.Green - j / 32.0), std::fabs(c.Blue - k / 32.0)});
            }
    EXPECT_LT(worst, 1e-4);
    EXPECT_GT(worst, 0.0);

    s = ThreeRangeSettings();
    s.Factors.Overall = 0.0f;  // every entry grey
    lut = LookCubeOf(s, 9);
    for (int i = 0; i < 9; ++i)
        for (int j = 0; j < 9; ++j)
            for (int k = 0; k < 9; ++k) {
                const TRGBDouble& c = lut->Cube[i][j][k];
                EXPECT_EQ(c.Red, c.Green);
                EXPECT_EQ(c.Green, c.Blue);
            }

    // Gain 5 (Color Gain 1) pulls nearly everything onto the reference's mean chroma.
    s = ThreeRangeSettings();
    for (auto& r : s.Stats.Ranges) r = Range(0.02, 0.05, -0.03, 0.05);
    s.Gain = 5.0;
    lut = LookCubeOf(s, 5);
    const TRGBDouble& c = lut->Cube[4][0][0];  // pure red
    double y, u, v;
    RGBToYUV(c.Red, c.Green, c.Blue, y, u, v);
    EXPECT_NEAR(u, 0.02, 0.01);
    EXPECT_NEAR(v, -0.03, 0.01);
}

TEST(LookTransferTest, AnalysisModesAndRangeBlending) {
    // Equal ranges: the blend and the plain average agree up to rounding.
    TLookSettings s;
    for (auto& r : s.Stats.Ranges) r = Range(0.01, 0.08, 0.02, 0.03);
    auto a = LookCubeOf(s, 7);
    s.AdvancedAnalysis = false;
    auto b = LookCubeOf(s, 7);
    for (int i = 0; i < 7; ++i)
        for (int j = 0; j < 7; ++j)
            for (int k = 0; k < 7; ++k) {
                EXPECT_NEAR(a->Cube[i][j][k].Red, b->Cube[i][j][k].Red, 1e-12);
                EXPECT_NEAR(a->Cube[i][j][k].Blue, b->Cube[i][j][k].Blue, 1e-12);
            }

    // Black takes exactly the low range's statistics, white (Y = 1 up to
    // rounding) the high range's.
    const TRangeStats low = Range(0.1, 0.05, 0.12, 0.05), mid = Range(0, 0.02, 0, 0.02),
                      high = Range(-0.08, 0.1, -0.05, 0.1);
    TLookSettings blended;
    blended.Stats.Ranges[0] = low;
    blended.Stats.Ranges[1] = mid;
    blended.Stats.Ranges[2] = high;
    TLookSettings onlyLow, onlyHigh;
    for (auto& r : onlyLow.Stats.Ranges) r = low;
    for (auto& r : onlyHigh.Stats.Ranges) r = high;
    auto lb = LookCubeOf(blended, 3), ll = LookCubeOf(onlyLow, 3), lh = LookCubeOf(onlyHigh, 3);
    EXPECT_EQ(lb->Cube[0][0][0].Red, ll->Cube[0][0][0].Red);
    EXPECT_EQ(lb->Cube[0][0][0].Blue, ll->Cube[0][0][0].Blue);
    EXPECT_NE(ll->Cube[0][0][0].Blue, lh->Cube[0][0][0].Blue);
    ExpectColour(lb->Cube[2][2][2], lh->Cube[2][2][2].Red, lh->Cube[2][2][2].Green, lh->Cube[2][2][2].Blue, 1e-9);
    EXPECT_GT(std::fabs(ll->Cube[2][2][2].Blue - lh->Cube[2][2][2].Blue), 0.01);
}

TEST(LookTransferTest, SaturationFactors) {
    // Red at 2.0 scales saturation by 2 at hue 0, 1.5 at 15 and 330, 1 at 30 and 300.
    TSaturationFactors f;
    f.Red = 2.0f;
    const double hues[] = {0, 15, 30, 300, 330};
    const double expected[] = {2.0, 1.5, 1.0, 1.0, 1.5};
    for (int n = 0; n < 5; ++n) {
        double r, g, b;
        HSLToRGB(hues[n], 0.2, 0.5, r, g, b);
        AdjustSaturation(f, r, g, b);
        double h, s, l;
        RGBToHSL(r, g, b, h, s, l);
        EXPECT_NEAR(s, 0.2 * expected[n], 1e-9) << "hue " << hues[n];
        EXPECT_NEAR(l, 0.5, 1e-12);
    }

    // Tone factors: Low at lightness 0, Middle at 0.5, High at 1, linear between.
    TSaturationFactors t;
    t.Low = 0.0f;
    t.High = 2.0f;
    const double lights[] = {0.25, 0.5, 0.75};
    const double toneFactor[] = {0.5, 1.0, 1.5};
    for (int n = 0; n < 3; ++n) {
        double r, g, b;
        HSLToRGB(120, 0.2, lights[n], r, g, b);
        AdjustSaturation(t, r, g, b);
        double h, s, l;
        RGBToHSL(r, g, b, h, s, l);
        EXPECT_NEAR(s, 0.2 * toneFactor[n], 1e-9) << "lightness " << lights[n];
    }

    // Compression: saturation 1 leaves as 0.52, saturation 0.4 stays (Gain 0 isolates it).
    TLookSettings s;
    s.Gain = 0.0;
    s.CompressSaturation = true;
    auto lut = LookCubeOf(s, 11);
    EXPECT_NEAR(SaturationOf(lut->Cube[10][1][1]), 0.52, 1e-3);  // (1, 0.1, 0.1): S = 1
    EXPECT_NEAR(SaturationOf(lut->Cube[7][3][3]), 0.4, 1e-3);    // (0.7, 0.3, 0.3): S = 0.4
}

TEST(LookTransferTest, TableStaysInRangeAndTouchesNothingElse) {
    TLookSettings s = ThreeRangeSettings();
    s.Stats.Ranges[0] = Range(0.4, 3.0, -0.5, 2.0);
    s.Gain = 0.025;
    s.CompressSaturation = true;
    s.Factors = {2, 2, 0, 2, 0.5f, 2, 2, 0, 2, 2};
    auto lut = std::make_unique<TLUT>();
    lut->CubeSize = 17;
    lut->Kind = lkCurveThenCube;
    lut->CurveSize = 5;
    lut->Curve[3].Green = 0.7;
    lut->Comments = {"keep"};
    lut->Cube[17][0][0].Red = 42.0;  // beyond the cube in use
    BuildLookCube(s, s.Factors, *lut);
    for (int i = 0; i < 17; ++i)
        for (int j = 0; j < 17; ++j)
            for (int k = 0; k < 17; ++k)
                for (double c : {lut->Cube[i][j][k].Red, lut->Cube[i][j][k].Green, lut->Cube[i][j][k].Blue}) {
                    ASSERT_GE(c, 0.0);
                    ASSERT_LE(c, 1.0);
                }
    EXPECT_EQ(lut->Kind, lkCurveThenCube);
    EXPECT_EQ(lut->CurveSize, 5);
    EXPECT_EQ(lut->Curve[3].Green, 0.7);
    EXPECT_EQ(lut->Comments.size(), 1u);
    EXPECT_EQ(lut->Cube[17][0][0].Red, 42.0);

    for (int bad : {-1, 0, 1, 102}) {
        lut->CubeSize = bad;
        EXPECT_THROW(BuildLookCube(s, s.Factors, *lut), EError) << bad;
    }
    lut->CubeSize = 101;
    EXPECT_NO_THROW(BuildLookCube(s, s.Factors, *lut));
    lut->CubeSize = 2;
    EXPECT_NO_THROW(BuildLookCube(s, s.Factors, *lut));
}

TEST(LookControlsTest, PositionsBecomeSettings) {
    TColorStats stats;
    stats.Ranges[1].MeanU = 0.25;
    stats.PixelCounts[1] = 9;
    TLookPositions p;
    TLookSettings s = MakeLookSettings(stats, p);
    EXPECT_DOUBLE_EQ(s.Gain, 0.05);
    EXPECT_TRUE(s.AdvancedAnalysis);
    EXPECT_FALSE(s.CompressSaturation);
    EXPECT_EQ(s.Stats.Ranges[1].MeanU, 0.25);
    EXPECT_EQ(s.Stats.PixelCounts[1], 9);
    EXPECT_EQ(s.Factors.Overall, 1.0f);
    EXPECT_EQ(s.Factors.High, 1.0f);

    p.Gain = 0;
    p.Saturation = 150;
    p.Yellow = 1;
    p.Orange = 2;
    p.Red = 3;
    p.Violet = 4;
    p.Blue = 5;
    p.Green = 6;
    p.Low = 7;
    p.Middle = 8;
    p.High = 200;
    p.AdvancedAnalysis = false;
    p.CompressSaturation = true;
    s = MakeLookSettings(stats, p);
    EXPECT_EQ(s.Gain, 0.0);
    EXPECT_FALSE(s.AdvancedAnalysis);
    EXPECT_TRUE(s.CompressSaturation);
    EXPECT_EQ(s.Factors.Overall, 1.5f);
    EXPECT_EQ(s.Factors.Yellow, 0.01f);
    EXPECT_EQ(s.Factors.Orange, 0.02f);
    EXPECT_EQ(s.Factors.Red, 0.03f);
    EXPECT_EQ(s.Factors.Violet, 0.04f);
    EXPECT_EQ(s.Factors.Blue, 0.05f);
    EXPECT_EQ(s.Factors.Green, 0.06f);
    EXPECT_EQ(s.Factors.Low, 0.07f);
    EXPECT_EQ(s.Factors.Middle, 0.08f);
    EXPECT_EQ(s.Factors.High, 2.0f);
    p.Gain = 200;
    EXPECT_DOUBLE_EQ(MakeLookSettings(stats, p).Gain, 0.025);
    p.Gain = 1;
    EXPECT_DOUBLE_EQ(MakeLookSettings(stats, p).Gain, 5.0);

    TLookPositions bad;
    bad.Middle = 201;
    EXPECT_THROW(MakeLookSettings(stats, bad), EError);
    bad = TLookPositions();
    bad.Gain = -1;
    EXPECT_THROW(MakeLookSettings(stats, bad), EError);
}
