#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <set>

#include "engine/look/LookControls.h"
#include "engine/lut/LUT.h"
#include "engine/picture/DeepGrade.h"
#include "tests/engine/TestImages.h"

namespace {

// The 33-point look of a random reference, as the window builds it.
std::unique_ptr<TLUT> Look() {
    TColorStats stats{};
    ComputeColorStats(RandomImage(40, 30, 7), stats);
    TLookPositions positions;
    positions.Saturation = 140;
    const TLookSettings settings = MakeLookSettings(stats, positions);
    auto lut = std::make_unique<TLUT>();
    lut->Kind = lkCube;
    lut->CubeSize = 33;
    BuildLookCube(settings, settings.Factors, *lut);
    return lut;
}

TDeepImage Gradient(int width, int height) {
    TDeepImage image(width, height, true);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            float* p = image.Row(y) + 3 * x;
            const float t = static_cast<float>(x) / static_cast<float>(width - 1);
            p[0] = t;
            p[1] = 1.0f - t;
            p[2] = 0.25f + 0.5f * t * static_cast<float>(y + 1) / static_cast<float>(height);
            image.AlphaRow(y)[x] = static_cast<float>((x + y) % 7) / 6.0f;
        }
    return image;
}

}  // namespace

TEST(DeepGradeTest, SmoothGradientKeepsThousandsOfLevels) {
    const auto lut = Look();
    TDeepImage image = Gradient(65536, 1);
    GradeDeepImage(*lut, image);
    std::set<int> levels[3];
    for (int x = 0; x < image.Width(); ++x)
        for (int c = 0; c < 3; ++c) levels[c].insert(static_cast<int>(std::lround(image.Row(0)[3 * x + c] * 65535.0)));
    for (int c = 0; c < 3; ++c) EXPECT_GT(levels[c].size(), 4000u) << "channel " << c;
}

TEST(DeepGradeTest, ThreadedGradeEqualsTheDirectLookupAndKeepsAlpha) {
    const auto lut = Look();
    const TDeepImage source = Gradient(301, 97);
    TDeepImage graded = Gradient(301, 97);
    GradeDeepImage(*lut, graded);
    for (int y = 0; y < source.Height(); ++y)
        for (int x = 0; x < source.Width(); ++x) {
            const float* in = source.Row(y) + 3 * x;
            TRGBDouble expected;
            lut->LookupNormalized({in[0], in[1], in[2]}, expected);
            const float* out = graded.Row(y) + 3 * x;
            ASSERT_EQ(out[0], static_cast<float>(expected.Red)) << x << "," << y;
            ASSERT_EQ(out[1], static_cast<float>(expected.Green));
            ASSERT_EQ(out[2], static_cast<float>(expected.Blue));
            ASSERT_EQ(graded.AlphaRow(y)[x], source.AlphaRow(y)[x]);
        }
}

TEST(DeepGradeTest, ValuesOutsideTheDomainAreClamped) {
    auto lut = std::make_unique<TLUT>();
    lut->Kind = lkIdentity;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    float rgb[3] = {-0.5f, 7.25f, nan};
    GradeDeepPixel(*lut, rgb);
    EXPECT_EQ(rgb[0], 0.0f);
    EXPECT_EQ(rgb[1], 1.0f);
    EXPECT_EQ(rgb[2], 0.0f);

    const auto look = Look();
    float over[3] = {3.0f, 1.5f, -2.0f}, edge[3] = {1.0f, 1.0f, 0.0f};
    GradeDeepPixel(*look, over);
    GradeDeepPixel(*look, edge);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(over[c], edge[c]);
}

TEST(DeepGradeTest, EightBitConversionsRoundAndLayAlphaOnWhite) {
    TDeepImage image(4, 1, true);
    const float values[4][4] = {{0.5f / 255, 254.49f / 255, -1.0f, 1.0f},
                                {0.502f, 2.0f, 0.0f, 1.0f},
                                {0.0f, 0.0f, 0.0f, 0.0f},
                                {0.0f, 1.0f, 0.2f, 0.5f}};
    for (int x = 0; x < 4; ++x) {
        for (int c = 0; c < 3; ++c) image.Row(0)[3 * x + c] = values[x][c];
        image.AlphaRow(0)[x] = values[x][3];
    }
    const TImage bytes = DeepToImage(image);
    const int expected[4][3] = {{1, 254, 0}, {128, 255, 0}, {255, 255, 255}, {128, 255, 153}};
    for (int x = 0; x < 4; ++x)
        for (int c = 0; c < 3; ++c) EXPECT_EQ(Channel(bytes, x, 0, 2 - c), expected[x][c]) << x << "," << c;

    const TImage random = RandomImage(17, 5, 3);
    const TDeepImage deep = DeepFromImage(random, "png");
    EXPECT_EQ(deep.Depth, (TPictureDepth{"png", TSampleKind::Integer, 8, ""}));
    EXPECT_TRUE(DeepToImage(deep).SamePixels(random));
}
