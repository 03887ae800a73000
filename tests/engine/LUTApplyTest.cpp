#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>

#include "engine/lut/LUT.h"
#include "engine/lut/LUTReference.h"
#include "tests/engine/TestImages.h"

namespace {

std::unique_ptr<TLUT> IdentityCube(int n) {
    auto lut = std::make_unique<TLUT>();
    lut->Kind = lkCube;
    lut->CubeSize = n;
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b) lut->Cube[r][g][b] = {r / double(n - 1), g / double(n - 1), b / double(n - 1)};
    return lut;
}

// Random tables, with values somewhat outside [0, 1] so the clamps are exercised.
std::unique_ptr<TLUT> RandomLut(int cubeSize, int curveSize, TLutKind kind, std::uint32_t seed) {
    auto lut = std::make_unique<TLUT>();
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> value(-0.1, 1.1);
    lut->Kind = kind;
    lut->CubeSize = cubeSize;
    lut->CurveSize = curveSize;
    for (int r = 0; r < cubeSize; ++r)
        for (int g = 0; g < cubeSize; ++g)
            for (int b = 0; b < cubeSize; ++b) lut->Cube[r][g][b] = {value(rng), value(rng), value(rng)};
    for (int i = 0; i < curveSize; ++i) lut->Curve[i] = {value(rng), value(rng), value(rng)};
    return lut;
}

// Every combination of the 8-bit values that land exactly on a grid point.
TImage GridHittingImage(int cubeSize) {
    std::vector<int> values;
    for (int v = 0; v < 256; ++v)
        if ((v * (cubeSize - 1)) % 255 == 0) values.push_back(v);
    const int n = static_cast<int>(values.size());
    TImage image(n * n, n);
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b) SetPixel(image, r * n + g, b, values[r], values[g], values[b]);
    return image;
}

void ExpectSameAsPlainLookup(const TLUT& lut, const TImage& image) {
    TImage fast = image.Clone(), plain = image.Clone();
    lut.ApplyToImage(fast);
    lutreference::ApplyToImage(lut, plain);
    ASSERT_TRUE(fast.SamePixels(plain)) << "kind " << int(lut.Kind) << " cube " << lut.CubeSize << " curve "
                                        << lut.CurveSize << " image " << image.Width() << " x " << image.Height();
    // Graded from the picture into another: the same pixels.
    TImage into(1, 1);
    lut.ApplyToImage(image, into);
    ASSERT_TRUE(into.SamePixels(plain)) << "into, kind " << int(lut.Kind);
}

}  // namespace

TEST(LUTApplyTest, IdentityCubeAndIdentityKindKeepEveryValue) {
    TImage image(256, 3);
    for (int x = 0; x < 256; ++x) {
        SetPixel(image, x, 0, x, 255 - x, (x * 7) % 256);
        SetPixel(image, x, 1, (x * 13) % 256, x, 255 - x);
        SetPixel(image, x, 2, 255 - x, (x * 31) % 256, x);
    }
    for (int n : {2, 17, 33, 101}) {
        auto lut = IdentityCube(n);
        TImage graded = image.Clone();
        lut->ApplyToImage(graded);
        EXPECT_TRUE(graded.SamePixels(image)) << n;
        graded = image.Clone();
        lutreference::ApplyToImage(*lut, graded);
        EXPECT_TRUE(graded.SamePixels(image)) << n;
    }
    auto junk = RandomLut(9, 9, lkIdentity, 3);
    TImage graded = image.Clone();
    junk->ApplyToImage(graded);
    EXPECT_TRUE(graded.SamePixels(image));
    graded = image.Clone();
    lutreference::ApplyToImage(*junk, graded);
    EXPECT_TRUE(graded.SamePixels(image));
}

TEST(LUTApplyTest, LookupsAtTheEdgesRoundAndClamp) {
    auto lut = std::make_unique<TLUT>();
    lut->Kind = lkCube;
    lut->CubeSize = 33;
    for (int r = 0; r < 33; ++r)
        for (int g = 0; g < 33; ++g)
            for (int b = 0; b < 33; ++b) lut->Cube[r][g][b] = {0.5, 0.498, 0.25};
    lut->Cube[32][0][0] = {0.9, -0.5, 1.7};  // pure red input
    lut->Cube[0][0][0] = {0.1, 0.2, 0.3};
    lut->Cube[33][0][0] = {7, 7, 7};  // beyond the cube in use: never read

    TRGBDouble out;
    lut->LookupNormalized({1, 0, 0}, out);
    EXPECT_EQ(out.Red, 0.9);
    EXPECT_EQ(out.Green, -0.5);
    lut->LookupNormalized({0, 0, 0}, out);
    EXPECT_EQ(out.Blue, 0.3);

    TLutPixel in, px;
    in.Red = 128;
    in.Green = 64;
    in.Blue = 9;
    lut->LookupPixel(in, px);
    EXPECT_EQ(px.Red, 128);    // 255 * 0.5 = 127.5 goes to the even neighbour
    EXPECT_EQ(px.Green, 127);  // 255 * 0.498 = 126.99
    EXPECT_EQ(px.Blue, 64);    // 63.75
    in = {255, 0, 0, 8};
    lut->LookupPixel(in, px);
    EXPECT_EQ(px.Red, 230);   // round(229.5) = 230
    EXPECT_EQ(px.Green, 0);   // clamped from -0.5
    EXPECT_EQ(px.Blue, 255);  // clamped from 1.7
    in = {255, 0, 0, 8};
    px.Depth = 16;
    lut->LookupPixel(in, px);
    EXPECT_EQ(px.Red, std::lround(65535 * 0.9));
    EXPECT_EQ(px.Blue, 65535);

    // Coordinates outside [0, 1] or not a number stay inside the table.
    lut->InterpolateCube({-3, NAN, -0.0}, out);
    EXPECT_EQ(out.Red, 0.1);
    lut->InterpolateCube({7, 0, -1e300}, out);
    EXPECT_EQ(out.Red, 0.9);
    lut->CurveSize = 3;
    lut->Curve[0] = {0.0, 0.1, 0.2};
    lut->Curve[1] = {0.5, 0.6, 0.7};
    lut->Curve[2] = {1.0, 1.1, 1.2};
    lut->Curve[3] = {9, 9, 9};
    lut->InterpolateCurve({1.0, 0.25, 5.0}, out);
    EXPECT_EQ(out.Red, 1.0);
    EXPECT_DOUBLE_EQ(out.Green, 0.35);
    EXPECT_EQ(out.Blue, 1.2);
    lut->InterpolateCurve({NAN, -2.0, 0.5}, out);
    EXPECT_EQ(out.Red, 0.0);
    EXPECT_EQ(out.Green, 0.1);
    EXPECT_EQ(out.Blue, 0.7);
}

TEST(LUTApplyTest, SmallerCubeSizeReadsTheFirstEntries) {
    auto lut = IdentityCube(33);
    lut->CubeSize = 17;  // the old data at the 101-wide stride, points 0..16 only
    TRGBDouble out;
    lut->LookupNormalized({1, 1, 0.5}, out);
    EXPECT_EQ(out.Red, 0.5);
    EXPECT_EQ(out.Green, 0.5);
    EXPECT_EQ(out.Blue, 0.25);
}

TEST(LUTApplyTest, CurveThenCube) {
    auto lut = RandomLut(5, 4, lkCurveThenCube, 11);
    for (int i = 0; i < 4; ++i) lut->Curve[i] = {0, 0, 0};  // everything to black
    lut->Cube[0][0][0] = {0.2, 0.4, 0.6};
    TImage image = RandomImage(7, 5, 1);
    lut->ApplyToImage(image);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
            EXPECT_EQ(Channel(image, x, y, 2), 51);
            EXPECT_EQ(Channel(image, x, y, 1), 102);
            EXPECT_EQ(Channel(image, x, y, 0), 153);
        }
    // A curve far outside [0, 1] (as a damaged file may hold) reads the cube's corners.
    for (int i = 0; i < 4; ++i) lut->Curve[i] = {50.0, -50.0, NAN};
    lut->Cube[4][0][0] = {1.0, 0.0, 0.0};
    image = RandomImage(3, 2, 2);
    lut->ApplyToImage(image);
    EXPECT_EQ(Channel(image, 1, 1, 2), 255);
    EXPECT_EQ(Channel(image, 1, 1, 1), 0);
}

TEST(LUTApplyTest, FastPathMatchesThePlainLookup) {
    const TImage small = RandomImage(61, 37, 5);
    const TImage large = RandomImage(700, 400, 6);  // big enough to be split across threads
    std::uint32_t seed = 100;
    for (int n : {2, 3, 17, 33, 64, 101}) {
        auto lut = RandomLut(n, 1 + n * 3, lkCube, ++seed);
        ExpectSameAsPlainLookup(*lut, small);
        ExpectSameAsPlainLookup(*lut, large);
        ExpectSameAsPlainLookup(*lut, GridHittingImage(n));
        ExpectSameAsPlainLookup(*IdentityCube(n), large);
        for (TLutKind kind : {lkCurve, lkCurveThenCube, lkIdentity}) {
            lut->Kind = kind;
            ExpectSameAsPlainLookup(*lut, small);
        }
    }
    // Sizes where many 8-bit values fall exactly on grid points (n - 1 divides 255).
    for (int n : {4, 6, 16, 18, 52, 86}) {
        auto lut = RandomLut(n, 256, lkCube, ++seed);
        ExpectSameAsPlainLookup(*lut, GridHittingImage(n));
        lut->Kind = lkCurveThenCube;
        ExpectSameAsPlainLookup(*lut, GridHittingImage(n));
    }
    // A curve of 256 entries puts every 8-bit value exactly on an entry.
    auto lut = RandomLut(33, 256, lkCurve, ++seed);
    ExpectSameAsPlainLookup(*lut, large);
    // Non-finite cube entries are clamped alike.
    lut->Kind = lkCube;
    lut->Cube[3][4][5] = {NAN, INFINITY, -INFINITY};
    lut->Cube[32][32][32] = {NAN, NAN, INFINITY};
    ExpectSameAsPlainLookup(*lut, large);
}
