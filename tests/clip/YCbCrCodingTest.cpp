#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "clip/ClipFile.h"
#include "clip/ClipPicture.h"
#include "clip/YCbCrCoding.h"
#include "engine/base/Error.h"
#include "engine/picture/DeepGrade.h"

namespace {

// Every code triple the coding can give back is kept exactly through RGB
// and back, for every matrix, range and depth; the reference colours sit
// where the standards put them.
TEST(YCbCrCoding, DecodingIsTheExactInverseOfEncoding) {
    std::mt19937 random(29);
    for (int bits : {8, 10, 12})
        for (bool full : {false, true})
            for (const TYCbCrCoding& coding :
                 {Bt601Coding(bits, full), Bt709Coding(bits, full), Bt2020Coding(bits, full)}) {
                const int top = (1 << bits) - 1;
                std::uniform_int_distribution<int> luma(full ? 0 : 16 << (bits - 8), full ? top : 235 << (bits - 8));
                std::uniform_int_distribution<int> chroma(full ? 1 : 16 << (bits - 8), full ? top : 240 << (bits - 8));
                for (int i = 0; i < 20000; ++i) {
                    const int y = luma(random), cb = chroma(random), cr = chroma(random);
                    float rgb[3];
                    coding.ToRgb(y, cb, cr, rgb);
                    double y2, cb2, cr2;
                    coding.ToCodes(rgb, y2, cb2, cr2);
                    ASSERT_EQ(coding.Quantise(y2), y) << coding.Description() << " " << bits;
                    ASSERT_EQ(coding.Quantise(cb2), cb);
                    ASSERT_EQ(coding.Quantise(cr2), cr);
                }
                // Black and white; pure red has the matrix's own luma.
                float rgb[3];
                const double step = std::ldexp(1.0, bits - 8);
                coding.ToRgb(full ? top : 235 * step, full ? (top + 1) / 2 : 128 * step,
                             full ? (top + 1) / 2 : 128 * step, rgb);
                EXPECT_NEAR(rgb[0], 1.0, 1e-6);
                EXPECT_NEAR(rgb[1], 1.0, 1e-6);
                EXPECT_NEAR(rgb[2], 1.0, 1e-6);
                const float red[3] = {1, 0, 0};
                double y, cb, cr;
                coding.ToCodes(red, y, cb, cr);
                EXPECT_NEAR(y, full ? coding.Kr * top : step * (16 + 219 * coding.Kr), 1e-9);
                EXPECT_NEAR(cr, full ? top * 0.5 + (top + 1) / 2 : step * 240, 1e-9);
            }
    EXPECT_DOUBLE_EQ(Bt709Coding(10, false).Kr, 0.2126);
    EXPECT_DOUBLE_EQ(Bt601Coding(10, false).Kb, 0.114);
    EXPECT_DOUBLE_EQ(Bt2020Coding(10, false).Kb, 0.0593);
    EXPECT_EQ(Bt2020Coding(10, true).Description(), "BT.2020 full");
    EXPECT_EQ(Bt709Coding(8, false).Quantise(300.4), 255);
    EXPECT_EQ(Bt709Coding(8, false).Quantise(-3), 0);
}

TEST(FrameChoice, NumbersTimecodesAndSecondsAtTheClipsRate) {
    TClipInfo info;
    info.RateNumerator = 25;
    EXPECT_EQ(FrameNumberOf(ParseFrameChoice("120"), info), 120);
    EXPECT_EQ(FrameNumberOf(ParseFrameChoice("00:00:05:12"), info), 137);
    EXPECT_EQ(FrameNumberOf(ParseFrameChoice("01:02:03:04"), info), ((3600 + 120 + 3) * 25) + 4);
    EXPECT_EQ(FrameNumberOf(ParseFrameChoice("2.5s"), info), 63);  // round(62.5) away from zero
    EXPECT_EQ(FrameNumberOf(ParseFrameChoice("0.12s"), info), 3);
    info.RateNumerator = 24000;
    info.RateDenominator = 1001;
    EXPECT_EQ(FrameNumberOf(ParseFrameChoice("10s"), info), 240);  // 239.76 frames
    EXPECT_EQ(FrameNumberOf(ParseFrameChoice("00:00:01:23"), info), 47);
    EXPECT_THROW(FrameNumberOf(ParseFrameChoice("00:00:01:24"), info), EError);
    EXPECT_EQ(FrameTimecode(47, info), "00:00:01:23");
    info.RateNumerator = 25;
    info.RateDenominator = 1;
    EXPECT_EQ(FrameTimecode(25 * 3661 + 7, info), "01:01:01:07");
    for (const char* bad : {"", "-1", "1.5", "s", "2.5x", "1e3s", "00:60:00:00", "00:00:00", "0:0:0:0:0", "a:b:c:d",
                            "00:00:00:123", "nan s", "-2s"})
        EXPECT_THROW(ParseFrameChoice(bad), EError) << bad;
    EXPECT_TRUE(IsClipName("/a/b/Shot.MOV"));
    EXPECT_TRUE(IsClipName("x.mxf"));
    EXPECT_FALSE(IsClipName("x.mov/frame.tif"));
    EXPECT_FALSE(IsClipName("x.jpg"));
}

// The clip road's 24-bit picture is DeepToImage's, value for value: values
// outside 0..1, not-a-number, and the halves between two levels.
TEST(ClipPicture, EqualsTheDeepRoadsPicture) {
    TDeepImage frame(257, 40, false);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-0.2f, 1.2f);
    for (int y = 0; y < frame.Height(); ++y)
        for (int i = 0; i < 3 * frame.Width(); ++i)
            frame.Row(y)[i] = y < 20 ? value(random) : static_cast<float>((i % 256 + 0.5) / 255.0);
    frame.Row(0)[0] = std::nanf("");
    frame.Row(0)[1] = 1.0f;
    frame.Row(0)[2] = 0.0f;
    EXPECT_TRUE(ClipFrameToImage(frame).SamePixels(DeepToImage(frame)));
}

}  // namespace

namespace {

// The tables give every code triple the very floats of the formula, over
// the whole code range (outside the legal one too), for every matrix, range
// and depth.
TEST(YCbCrCoding, TablesGiveTheFormulasFloatsToTheBit) {
    std::mt19937 random(291);
    for (int bits : {8, 10, 12, 16})
        for (bool full : {false, true})
            for (const TYCbCrCoding& coding :
                 {Bt601Coding(bits, full), Bt709Coding(bits, full), Bt2020Coding(bits, full)}) {
                const TCodeTables tables(coding, bits);
                const int top = (1 << bits) - 1;
                std::uniform_int_distribution<int> code(0, top);
                int differing = 0;
                const auto check = [&](int y, int cb, int cr) {
                    float expected[3], got[3];
                    coding.ToRgb(y, cb, cr, expected);
                    tables.ToRgb(y, cb, cr, got);
                    for (int c = 0; c < 3; ++c) differing += std::memcmp(&expected[c], &got[c], sizeof(float)) != 0;
                };
                for (int y = 0; y <= top; y += bits > 12 ? 7 : 1) check(y, code(random), code(random));
                for (int c = 0; c <= top; c += bits > 12 ? 7 : 1) check(code(random), c, top - c);
                for (int i = 0; i < 20000; ++i) check(code(random), code(random), code(random));
                check(top, top, top);
                check(0, 0, 0);
                EXPECT_EQ(differing, 0) << coding.Description() << " " << bits << " bits";
            }
    // Tables wider than the coding's depth cover the wider codes.
    const TYCbCrCoding coding = Bt709Coding(8, false);
    const TCodeTables wide(coding, 10);
    float expected[3], got[3];
    coding.ToRgb(1000, 700, 300, expected);
    wide.ToRgb(1000, 700, 300, got);
    EXPECT_EQ(std::memcmp(expected, got, sizeof expected), 0);
}

}  // namespace
