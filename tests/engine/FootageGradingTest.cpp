#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "engine/footage/FootageGrading.h"
#include "engine/footage/FootageLook.h"
#include "engine/look/GradingRoad.h"
#include "engine/look/LookTransfer.h"
#include "engine/lut/LUT.h"
#include "engine/picture/Image.h"
#include "tests/engine/TestImages.h"

namespace {

// A footage conversion that counts the colours it is given: each channel's
// cube root, then green and blue swapped, so the order of channels shows.
class TCountingRoot : public TFootageConversion {
public:
    std::string Label() const override { return "counting root"; }
    void Convert(float* rgb, std::size_t count) const override {
        Colours += count;
        for (std::size_t i = 0; i < count; ++i, rgb += 3) {
            const float r = std::cbrt(rgb[0]), g = std::cbrt(rgb[1]), b = std::cbrt(rgb[2]);
            rgb[0] = r;
            rgb[1] = b;
            rgb[2] = g;
        }
    }
    mutable std::atomic<std::size_t> Colours{0};
};

// Rows [0, noiseRows) of random colours (nearly all distinct), the rest a
// few hundred colours repeated.
TImage MixedPicture(int width, int height, int noiseRows) {
    TImage picture = RandomImage(width, height, 77);
    for (int y = noiseRows; y < height; ++y) {
        std::uint8_t* p = picture.Row(y);
        for (int x = 0; x < width; ++x, p += 3) {
            p[0] = static_cast<std::uint8_t>(40 * ((x / 9) % 7));
            p[1] = static_cast<std::uint8_t>(30 * ((y / 5) % 8));
            p[2] = static_cast<std::uint8_t>(17 * ((x + y) % 15));
        }
    }
    return picture;
}

// Each pixel converted alone and rounded, then the look on the picture.
TImage PixelByPixel(const TFootageConversion& footage, const TLUT* look, const TImage& picture) {
    TImage result = picture.Clone();
    for (int y = 0; y < result.Height(); ++y) {
        std::uint8_t* p = result.Row(y);
        for (int x = 0; x < result.Width(); ++x, p += 3) {
            float rgb[3] = {p[2] / 255.0f, p[1] / 255.0f, p[0] / 255.0f};
            footage.Convert(rgb, 1);
            p[2] = FootageCode(rgb[0]);
            p[1] = FootageCode(rgb[1]);
            p[0] = FootageCode(rgb[2]);
        }
    }
    if (look) look->ApplyToImage(result);
    return result;
}

std::size_t DistinctColours(const TImage& picture) {
    std::vector<bool> seen(1 << 24);
    std::size_t count = 0;
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) {
            const std::uint8_t* p = picture.Row(y) + 3 * x;
            const std::size_t key = (std::size_t(p[2]) << 16) | (std::size_t(p[1]) << 8) | p[0];
            if (!seen[key]) ++count;
            seen[key] = true;
        }
    return count;
}

TImage Rows(const TImage& picture, int y0, int y1) {
    TImage strip(picture.Width(), y1 - y0);
    for (int y = y0; y < y1; ++y) std::memcpy(strip.Row(y - y0), picture.Row(y), 3 * std::size_t(picture.Width()));
    return strip;
}

std::unique_ptr<TLUT> SomeLook(double shift) {
    TLookSettings settings;
    settings.Stats.Ranges[0] = {0.01 + shift, 0.04, -0.02, 0.06};
    settings.Stats.Ranges[1] = {0.03, 0.05 - shift, -0.01, 0.05};
    settings.Stats.Ranges[2] = {-0.02, 0.09, 0.04 + shift, 0.1};
    return MakeLookLut(settings);
}

}  // namespace

// Colour by colour, whole or in strips graded from two threads at once, the
// graded picture is the pixel-by-pixel conversion then the look, exactly;
// each distinct colour is converted once; another look takes the plain road.
TEST(FootageGradingTest, GradesAsConvertingEachPixelThenTheLook) {
    const TImage picture = MixedPicture(700, 800, 250);
    const auto look = SomeLook(0.0), other = SomeLook(0.05);
    TCountingRoot footage;
    const TImage expected = PixelByPixel(footage, look.get(), picture);
    ASSERT_FALSE(expected.SamePixels(picture));

    const TFootageGrading grading(&footage);
    TImage whole = picture.Clone();
    footage.Colours = 0;
    grading.Apply(*look, whole);
    EXPECT_TRUE(whole.SamePixels(expected));
    EXPECT_EQ(footage.Colours, DistinctColours(picture));
    // Again: every colour is known now, nothing is converted.
    TImage again = picture.Clone();
    grading.Apply(*look, again);
    EXPECT_TRUE(again.SamePixels(expected));
    EXPECT_EQ(footage.Colours, DistinctColours(picture));
    TImage second = picture.Clone();
    grading.Apply(*other, second);
    EXPECT_TRUE(second.SamePixels(PixelByPixel(footage, other.get(), picture)));

    // Strips of 100 rows (large enough for the memo), even ones from one
    // thread and odd ones from another, sharing one fresh grading.
    const TFootageGrading shared(&footage);
    std::vector<TImage> strips;
    for (int y = 0; y < picture.Height(); y += 100) strips.push_back(Rows(picture, y, y + 100));
    auto grade = [&](std::size_t first) {
        for (std::size_t i = first; i < strips.size(); i += 2) shared.Apply(*look, strips[i]);
    };
    std::thread odd(grade, 1);
    grade(0);
    odd.join();
    for (std::size_t i = 0; i < strips.size(); ++i)
        EXPECT_TRUE(strips[i].SamePixels(Rows(expected, 100 * int(i), 100 * int(i) + 100))) << i;

    // Narrow strips, each too small for the memo alone: the first ones go
    // the plain road, the later ones the memo once they add up.
    const TFootageGrading narrow(&footage);
    footage.Colours = 0;
    for (int y = 0; y < picture.Height(); y += 40) {
        TImage strip = Rows(picture, y, y + 40);
        narrow.Apply(*look, strip);
        ASSERT_TRUE(strip.SamePixels(Rows(expected, y, y + 40))) << y;
    }
    EXPECT_LT(footage.Colours, std::size_t(picture.Width()) * picture.Height() / 2);

    // Without footage only the look.
    TImage plain = picture.Clone();
    TFootageGrading(nullptr).Apply(*look, plain);
    TImage looked = picture.Clone();
    look->ApplyToImage(looked);
    EXPECT_TRUE(plain.SamePixels(looked));
}

// The conversion's memo over a picture whose first band is mostly new
// colours (each pixel converted on its own) and whose later bands repeat
// colours (kept): the same pixels as converting each pixel.
TEST(FootageGradingTest, MemoBandsOfNewAndKnownColoursConvertAsEachPixel) {
    const TImage picture = MixedPicture(600, 1000, 350);
    TCountingRoot footage;
    TImage converted = picture.Clone();
    ConvertFootageImage(footage, converted);
    EXPECT_TRUE(converted.SamePixels(PixelByPixel(footage, nullptr, picture)));
    // A second picture with the same colours is served from the memo.
    footage.Colours = 0;
    TImage repeat = Rows(picture, 400, 1000);
    ConvertFootageImage(footage, repeat);
    EXPECT_EQ(footage.Colours, 0u);
    EXPECT_TRUE(repeat.SamePixels(Rows(converted, 400, 1000)));
}
