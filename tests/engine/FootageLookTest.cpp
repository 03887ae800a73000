#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "engine/base/Error.h"
#include "engine/footage/FootageLook.h"
#include "engine/look/LookTransfer.h"
#include "engine/lut/LUT.h"
#include "tests/engine/TestImages.h"

namespace {

// A footage conversion of our own: each channel squared, then red and blue
// swapped, so a mistake in the order of channels or of grid points shows.
class TSquareSwap : public TFootageConversion {
public:
    std::string Label() const override { return "square swap"; }
    void Convert(float* rgb, std::size_t count) const override {
        for (std::size_t i = 0; i < count; ++i, rgb += 3) {
            const float r = rgb[0] * rgb[0], g = rgb[1] * rgb[1], b = rgb[2] * rgb[2];
            rgb[0] = b;
            rgb[1] = g;
            rgb[2] = r;
        }
    }
};

class TIdentity : public TFootageConversion {
public:
    std::string Label() const override { return "identity"; }
    void Convert(float*, std::size_t) const override {}
};

std::vector<TLookSettings> SomeLooks() {
    TLookSettings base;
    base.Stats.Ranges[0] = {0.01, 0.04, -0.02, 0.06};
    base.Stats.Ranges[1] = {0.03, 0.05, -0.01, 0.05};
    base.Stats.Ranges[2] = {-0.02, 0.09, 0.04, 0.1};
    std::vector<TLookSettings> looks(4, base);
    looks[1].Gain = 0.0;
    looks[2].AdvancedAnalysis = false;
    looks[2].Factors = {1.2f, 0.8f, 1.1f, 0.7f, 1.3f, 0.9f, 1.4f, 1.0f, 1.0f, 1.0f};
    looks[3].CompressSaturation = true;
    looks[3].Factors.Low = 1.3f;
    looks[3].Factors.High = 0.6f;
    return looks;
}

bool SameBits(const TRGBDouble& a, const TRGBDouble& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST(FootageLookTest, LookColourIsTheCubeEntryBitForBit) {
    for (const TLookSettings& look : SomeLooks())
        for (int n : {2, 9, 33}) {
            auto lut = std::make_unique<TLUT>();
            lut->CubeSize = n;
            BuildLookCube(look, look.Factors, *lut);
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j)
                    for (int k = 0; k < n; ++k) {
                        const double last = n - 1;
                        const TRGBDouble at = LookColour(look, look.Factors, {i / last, j / last, k / last});
                        ASSERT_TRUE(SameBits(at, lut->Cube[i][j][k])) << n << ": " << i << " " << j << " " << k;
                    }
        }
}

TEST(FootageLookTest, FootageCubeIsTheLookOfEachConvertedGridColour) {
    const TSquareSwap footage;
    for (const TLookSettings& look : SomeLooks()) {
        auto lut = std::make_unique<TLUT>();
        lut->CubeSize = 17;
        lut->Cube[17][0][0].Red = 42.0;  // beyond the cube in use
        BuildFootageLookCube(look, look.Factors, footage, *lut);
        for (int i = 0; i < 17; ++i)
            for (int j = 0; j < 17; ++j)
                for (int k = 0; k < 17; ++k) {
                    float rgb[3] = {i / 16.0f, j / 16.0f, k / 16.0f};
                    footage.Convert(rgb, 1);
                    const TRGBDouble want = LookColour(look, look.Factors, {rgb[0], rgb[1], rgb[2]});
                    ASSERT_TRUE(SameBits(want, lut->Cube[i][j][k])) << i << " " << j << " " << k;
                }
        EXPECT_EQ(lut->Cube[17][0][0].Red, 42.0);
    }
    // Grid colours whose float value is exact give the plain look table.
    const TLookSettings look = SomeLooks()[2];
    auto plain = std::make_unique<TLUT>(), through = std::make_unique<TLUT>();
    plain->CubeSize = through->CubeSize = 9;
    BuildLookCube(look, look.Factors, *plain);
    BuildFootageLookCube(look, look.Factors, TIdentity(), *through);
    for (int i = 0; i < 9; ++i)
        for (int j = 0; j < 9; ++j)
            for (int k = 0; k < 9; ++k) ASSERT_TRUE(SameBits(plain->Cube[i][j][k], through->Cube[i][j][k]));

    for (int bad : {0, 1, 102}) {
        through->CubeSize = bad;
        EXPECT_THROW(BuildFootageLookCube(look, look.Factors, footage, *through), EError) << bad;
    }
}

TEST(FootageLookTest, ConvertedPictureRoundsEachChannelAndKeepsItsPlace) {
    TImage image = RandomImage(300, 260, 5);  // enough rows to be shared among threads
    const TImage original = image.Clone();
    ConvertFootageImage(TSquareSwap(), image);
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x) {
            const std::uint8_t* was = original.Row(y) + 3 * x;  // blue, green, red
            const std::uint8_t* now = image.Row(y) + 3 * x;
            auto squared = [](int v) {
                const float f = v / 255.0f;
                return static_cast<int>(std::lround(f * f * 255.0f));
            };
            ASSERT_EQ(now[2], squared(was[0])) << x << " " << y;  // red from blue
            ASSERT_EQ(now[1], squared(was[1]));
            ASSERT_EQ(now[0], squared(was[2]));
        }
    TImage empty;
    EXPECT_NO_THROW(ConvertFootageImage(TSquareSwap(), empty));
}
