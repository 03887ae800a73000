#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>

#include "engine/footage/DeepColourMemo.h"
#include "engine/footage/FootageConversion.h"
#include "engine/picture/DeepImage.h"

namespace {

// A conversion whose every channel depends on all three, counting the
// colours it is given.
class TMixing : public TFootageConversion {
public:
    std::string Label() const override { return "mixing"; }
    void Convert(float* rgb, std::size_t count) const override {
        colours += count;
        for (std::size_t i = 0; i < count; ++i, rgb += 3) {
            const float r = rgb[0], g = rgb[1], b = rgb[2];
            rgb[0] = r * r * 0.5f + g * 0.25f + b * 0.125f;
            rgb[1] = std::sqrt(std::fabs(g - b)) + r;
            rgb[2] = b * 0.9f - r * g;
        }
    }
    mutable std::atomic<std::size_t> colours{0};
};

// 512 pixels wide, of at most 504 colours (16-bit codes) and of values a
// file may hold beyond 0..1, with the rows from `noiseFrom` on noise (bands
// of mostly new colours).
TDeepImage FewColoursAndNoise(int noiseFrom, int height = 300) {
    TDeepImage picture(512, height, false);
    std::uint32_t state = 99;
    for (int y = 0; y < picture.Height(); ++y) {
        float* p = picture.Row(y);
        for (int x = 0; x < picture.Width(); ++x, p += 3) {
            const bool noise = y >= noiseFrom;
            for (int c = 0; c < 3; ++c) {
                state = state * 1664525u + 1013904223u;
                p[c] = noise ? (state >> 8) / 16777216.0f : ((x / 9 + y / 13 * (c + 1)) % (7 + c)) * 257 / 65535.0f;
            }
        }
    }
    const float odd[] = {std::numeric_limits<float>::quiet_NaN(), -0.0f, 0.0f, 2.5f, -1.0f, 1e30f};
    for (int i = 0; i < 6; ++i) picture.Row(7 + i)[3 * (5 + i) + i % 3] = odd[i];
    return picture;
}

TDeepImage PixelByPixel(const TFootageConversion& footage, TDeepImage picture) {
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) footage.Convert(picture.Row(y) + 3 * x, 1);
    return picture;
}

TDeepResults ResultsOf(const TFootageConversion& footage) {
    return [&footage](float* rgb, std::size_t count) { footage.Convert(rgb, count); };
}

bool SameBits(const TDeepImage& a, const TDeepImage& b) {
    for (int y = 0; y < a.Height(); ++y)
        if (std::memcmp(a.Row(y), b.Row(y), sizeof(float) * 3 * a.Width()) != 0) return false;
    return true;
}

}  // namespace

// Colour by colour gives every pixel exactly the conversion of its own
// colour, with the colours kept, with few kept, and for noise; repeated
// colours are converted once, noise pixel by pixel.
TEST(DeepColourMemo, GivesEachPixelItsOwnConversion) {
    const TMixing footage;
    const std::size_t pixels = 512 * 300;
    const TDeepImage few = FewColoursAndNoise(300);
    const TDeepImage fewExpected = PixelByPixel(footage, few);
    TDeepImage converted = few;
    footage.colours = 0;
    TDeepColourMemo memo(ResultsOf(footage), 1 << 20);
    memo.Convert(converted, 0, 300, 0.5);
    EXPECT_TRUE(SameBits(converted, fewExpected));
    // Each colour once.
    EXPECT_EQ(memo.Converted(), footage.colours.load());
    EXPECT_LE(memo.Converted(), 504u + 6u);

    // Noise: every pixel a colour of its own, looked up for a few bands and
    // then converted row by row.
    const TDeepImage noisy = FewColoursAndNoise(0, 1200);
    TDeepImage noise = noisy;
    footage.colours = 0;
    TDeepColourMemo fresh(ResultsOf(footage), 1 << 20);
    fresh.Convert(noise, 0, 1200, 0.5);
    EXPECT_EQ(fresh.Converted(), 4 * pixels);
    EXPECT_EQ(footage.colours.load(), 4 * pixels);
    EXPECT_TRUE(SameBits(noise, PixelByPixel(footage, noisy)));

    const TDeepImage picture = FewColoursAndNoise(150);
    const TDeepImage expected = PixelByPixel(footage, picture);
    // A bound below the colours of one band: nothing kept, every pixel alone.
    TDeepImage unkept = picture;
    TDeepColourMemo small(ResultsOf(footage), 1000);
    small.Convert(unkept, 0, 300, 0.5);
    EXPECT_TRUE(SameBits(unkept, expected));
    EXPECT_EQ(small.Converted(), pixels);

    // Parts of the picture in turn, as a worker takes its rows.
    TDeepImage parts = picture;
    TDeepColourMemo shared(ResultsOf(footage), 1 << 20);
    shared.Convert(parts, 0, 111, 0.5);
    shared.Convert(parts, 111, 300, 0.5);
    EXPECT_TRUE(SameBits(parts, expected));
    EXPECT_FALSE(SameBits(parts, picture));
}
