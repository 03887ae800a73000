#include <gtest/gtest.h>

#include <cmath>

#include "engine/base/Error.h"
#include "engine/colour/ColorSpace.h"
#include "tests/engine/TestImages.h"

namespace {

struct THsl {
    double H, S, L;
};

THsl Hsl(double r, double g, double b) {
    THsl c;
    RGBToHSL(r, g, b, c.H, c.S, c.L);
    return c;
}

void ExpectRgb(double h, double s, double l, double r, double g, double b) {
    double R, G, B;
    HSLToRGB(h, s, l, R, G, B);
    EXPECT_NEAR(R, r, 1e-12) << "H " << h << " S " << s << " L " << l;
    EXPECT_NEAR(G, g, 1e-12) << "H " << h << " S " << s << " L " << l;
    EXPECT_NEAR(B, b, 1e-12) << "H " << h << " S " << s << " L " << l;
}

}  // namespace

TEST(ColorSpaceTest, HueSaturationLightnessOfKnownColours) {
    const THsl grey = Hsl(0.3, 0.3, 0.3);
    EXPECT_EQ(grey.H, 0.0);
    EXPECT_EQ(grey.S, 0.0);
    EXPECT_DOUBLE_EQ(grey.L, 0.3);
    ExpectRgb(grey.H, grey.S, grey.L, 0.3, 0.3, 0.3);

    EXPECT_EQ(Hsl(0, 0, 0).L, 0.0);
    EXPECT_EQ(Hsl(0, 0, 0).S, 0.0);
    EXPECT_EQ(Hsl(1, 1, 1).L, 1.0);
    EXPECT_EQ(Hsl(1, 1, 1).S, 0.0);

    const THsl red = Hsl(1, 0, 0);
    EXPECT_EQ(red.H, 0.0);
    EXPECT_EQ(red.S, 1.0);
    EXPECT_EQ(red.L, 0.5);
    EXPECT_DOUBLE_EQ(Hsl(0, 0, 1).H, 240.0);
    EXPECT_DOUBLE_EQ(Hsl(1, 0, 1).H, 300.0);
    EXPECT_DOUBLE_EQ(Hsl(1, 1, 0).H, 60.0);
    EXPECT_DOUBLE_EQ(Hsl(1, 0, 0.5).H, 330.0);  // G - B negative: plus 6 sectors
    EXPECT_DOUBLE_EQ(Hsl(0, 1, 0).H, 120.0);
    // Saturation above and below half lightness.
    EXPECT_DOUBLE_EQ(Hsl(0.9, 0.5, 0.5).S, 0.4 / (2.0 - 2.0 * 0.7));
    EXPECT_DOUBLE_EQ(Hsl(0.3, 0.1, 0.1).S, 0.2 / (2.0 * 0.2));
}

TEST(ColorSpaceTest, HslToRgbClampsItsInputs) {
    ExpectRgb(361, 1, 0.5, 1, 0, 0);  // hue 360 or more counts as 0
    ExpectRgb(360, 1, 0.5, 1, 0, 0);
    ExpectRgb(120, 1.7, 1.2, 1, 1, 1);  // S and L above 1 are cut to 1
    ExpectRgb(-30, 1, 0.5, 1, 0, 0);    // negative hue becomes 0
    ExpectRgb(NAN, NAN, 0.5, 0.5, 0.5, 0.5);
    ExpectRgb(200, 0.5, NAN, 0, 0, 0);
    // One colour per hue sector, each back to where it came from.
    const double colours[][3] = {{0.8, 0.4, 0.2}, {0.5, 0.8, 0.2}, {0.2, 0.8, 0.5},
                                 {0.2, 0.5, 0.8}, {0.5, 0.2, 0.8}, {0.8, 0.2, 0.5}};
    for (const auto& c : colours) {
        const THsl h = Hsl(c[0], c[1], c[2]);
        ExpectRgb(h.H, h.S, h.L, c[0], c[1], c[2]);
    }
}

TEST(ColorSpaceTest, YuvAndFloatMod) {
    double Y, U, V;
    RGBToYUV(1, 1, 1, Y, U, V);
    EXPECT_NEAR(Y, 1.0, 1e-12);
    EXPECT_NEAR(U, 0.00001, 1e-12);  // white carries a trace of U
    EXPECT_NEAR(V, 0.0, 1e-12);
    double R, G, B;
    RGBToYUV(0.75, 0.5, 0.25, Y, U, V);
    EXPECT_NEAR(Y, 0.299 * 0.75 + 0.587 * 0.5 + 0.114 * 0.25, 1e-15);
    YUVToRGB(Y, U, V, R, G, B);
    EXPECT_NEAR(R, 0.75, 1e-4);
    EXPECT_NEAR(G, 0.5, 1e-4);
    EXPECT_NEAR(B, 0.25, 1e-4);
    EXPECT_NE(R, 0.75);  // the two coefficient sets are not exact inverses

    EXPECT_DOUBLE_EQ(FloatMod(5.5, 2), 1.5);
    EXPECT_DOUBLE_EQ(FloatMod(-5.5, 2), 1.5);  // the sign is dropped
    EXPECT_DOUBLE_EQ(FloatMod(1.25, 2), 1.25);
    EXPECT_EQ(FloatMod(-1e300, 2), 0.0);  // quotients beyond 64-bit integers
    EXPECT_EQ(FloatMod(4503599627370497.0, 2), 1.0);
    EXPECT_TRUE(std::isnan(FloatMod(NAN, 2)));
    EXPECT_THROW(FloatMod(1, 0), EError);
}

TEST(ColorSpaceTest, StatisticsOfFourPixels) {
    TImage image(2, 2);
    SetPixel(image, 0, 0, 255, 0, 0);
    SetPixel(image, 1, 0, 0, 0, 255);
    SetPixel(image, 0, 1, 128, 128, 128);
    SetPixel(image, 1, 1, 255, 255, 255);
    TColorStats s;
    ComputeColorStats(image, s);
    EXPECT_EQ(s.PixelCounts[0], 2);
    EXPECT_EQ(s.PixelCounts[1], 1);
    EXPECT_EQ(s.PixelCounts[2], 1);
    EXPECT_NEAR(s.Ranges[0].MeanU, 0.144435, 1e-6);
    EXPECT_NEAR(s.Ranges[0].DevU, 0.291565, 1e-6);
    EXPECT_NEAR(s.Ranges[0].MeanV, 0.257495, 1e-6);
    EXPECT_NEAR(s.Ranges[0].DevV, 0.357505, 1e-6);
    EXPECT_NEAR(s.Ranges[1].MeanU, 0.000005, 1e-7);
    EXPECT_NEAR(s.Ranges[1].MeanV, 0.0, 1e-12);
    EXPECT_EQ(s.Ranges[1].DevU, 0.0);
    EXPECT_EQ(s.Ranges[1].DevV, 0.0);
    EXPECT_NEAR(s.Ranges[2].MeanU, 0.00001, 1e-9);
    EXPECT_NEAR(s.Ranges[2].DevU, 0.0, 1e-12);
}

TEST(ColorSpaceTest, LumaThresholdsBelongToTheUpperRange) {
    // Grey g has Y = g / 255 (the luma weights sum to 1): 84 / 255 < 0.33 <= 85 / 255,
    // 168 / 255 < 0.66 <= 169 / 255.
    TImage image(4, 1);
    SetPixel(image, 0, 0, 84, 84, 84);
    SetPixel(image, 1, 0, 85, 85, 85);
    SetPixel(image, 2, 0, 168, 168, 168);
    SetPixel(image, 3, 0, 169, 169, 169);
    TColorStats s;
    ComputeColorStats(image, s);
    EXPECT_EQ(s.PixelCounts[0], 1);
    EXPECT_EQ(s.PixelCounts[1], 2);
    EXPECT_EQ(s.PixelCounts[2], 1);
}

TEST(ColorSpaceTest, EmptyRangesTakeTheWholeImage) {
    // Uniform grey: everything in the middle range, low and high empty.
    TImage grey(5, 4);
    Fill(grey, 128, 128, 128);
    TColorStats s;
    ComputeColorStats(grey, s);
    EXPECT_EQ(s.PixelCounts[0], 0);
    EXPECT_EQ(s.PixelCounts[1], 20);
    EXPECT_EQ(s.PixelCounts[2], 0);
    for (const TRangeStats& r : s.Ranges) {
        EXPECT_TRUE(std::isfinite(r.MeanU) && std::isfinite(r.DevU));
        EXPECT_DOUBLE_EQ(r.MeanU, s.Ranges[1].MeanU);
        EXPECT_EQ(r.DevV, 0.0);
    }

    // Black and pure red pixels, all low: the others take mean and spread of all.
    TImage mixed(4, 1);
    SetPixel(mixed, 1, 0, 255, 0, 0);
    SetPixel(mixed, 3, 0, 255, 0, 0);
    ComputeColorStats(mixed, s);
    EXPECT_EQ(s.PixelCounts[0], 4);
    EXPECT_EQ(s.PixelCounts[1], 0);
    EXPECT_EQ(s.PixelCounts[2], 0);
    const double meanU = -0.14713 / 2, meanV = 0.615 / 2;
    for (int r = 1; r < 3; ++r) {
        EXPECT_NEAR(s.Ranges[r].MeanU, meanU, 1e-12);
        EXPECT_NEAR(s.Ranges[r].DevU, 0.14713 / 2, 1e-12);
        EXPECT_NEAR(s.Ranges[r].MeanV, meanV, 1e-12);
        EXPECT_NEAR(s.Ranges[r].DevV, 0.615 / 2, 1e-12);
    }

    TImage empty;
    try {
        ComputeColorStats(empty, s);
        FAIL() << "an empty image must be refused";
    } catch (const EError& e) {
        EXPECT_STREQ(e.what(), "The reference image is empty.");
    }
}
