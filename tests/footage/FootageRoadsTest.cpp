#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/base/Error.h"
#include "engine/footage/FootageLook.h"
#include "engine/look/LookShaper.h"
#include "engine/lut/LUT.h"
#include "engine/picture/DeepGrade.h"
#include "engine/picture/DeepImage.h"
#include "engine/picture/Image.h"
#include "footage/FootageCatalog.h"
#include "footage/OcioFootage.h"
#include "formats/FormatRegistry.h"
#include "formats/LookExport.h"
#include "formats/LutConvert.h"

namespace {

std::uint8_t ToByte(float v) {
    if (!(v >= 0.0f)) return 0;
    if (v >= 1.0f) return 255;
    return static_cast<std::uint8_t>(std::lround(v * 255.0f));
}

// Each pixel converted on its own, one Convert call a pixel.
TImage PixelByPixel(const TFootageConversion& footage, const TImage& picture) {
    TImage result = picture.Clone();
    for (int y = 0; y < result.Height(); ++y) {
        std::uint8_t* p = result.Row(y);
        for (int x = 0; x < result.Width(); ++x, p += 3) {
            float rgb[3] = {p[2] / 255.0f, p[1] / 255.0f, p[0] / 255.0f};
            footage.Convert(rgb, 1);
            p[2] = ToByte(rgb[0]);
            p[1] = ToByte(rgb[1]);
            p[0] = ToByte(rgb[2]);
        }
    }
    return result;
}

std::string Read(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

const TLutOutputProfile& Profile(const std::string& name) {
    const TLutOutputProfile* profile = FindOutputProfile(name);
    if (profile == nullptr) throw EError("no profile " + name);
    return *profile;
}

}  // namespace

// A large picture of few colours goes the colour-by-colour road; its result
// is the pixel-by-pixel conversion exactly, for a log and a linear space.
TEST(FootageRoadsTest, ColourByColourEqualsPixelByPixel) {
    TImage picture(1200, 900);  // over a million pixels
    for (int y = 0; y < picture.Height(); ++y) {
        std::uint8_t* p = picture.Row(y);
        for (int x = 0; x < picture.Width(); ++x, p += 3) {
            p[0] = static_cast<std::uint8_t>((x * 7 + y) % 256);
            p[1] = static_cast<std::uint8_t>((y * 3) % 256);
            p[2] = static_cast<std::uint8_t>((x / 5 + y / 7) % 256);
        }
    }
    for (const char* space : {"slog3-sgamut3cine", "acescg"}) {
        const auto footage = MakeFootageConversion(space, "");
        TImage converted = picture.Clone();
        ConvertFootageImage(*footage, converted);
        const TImage expected = PixelByPixel(*footage, picture);
        EXPECT_TRUE(converted.SamePixels(expected)) << space;
        EXPECT_FALSE(converted.SamePixels(picture)) << space;
        // Strips of a picture (as the JPEG road grades them), whose colours
        // were partly met before, from the conversion's memo.
        TImage strip(1200, 64);
        for (int y = 0; y < strip.Height(); ++y)
            for (int x = 0; x < strip.Width() * 3; ++x)
                strip.Row(y)[x] = static_cast<std::uint8_t>(picture.Row(y + 100)[x] ^ ((x * y) % 3 == 0 ? 1 : 0));
        TImage stripConverted = strip.Clone();
        ConvertFootageImage(*footage, stripConverted);
        EXPECT_TRUE(stripConverted.SamePixels(PixelByPixel(*footage, strip))) << space;
    }
    // Random colours (most pixels distinct) take the row road, same result.
    TImage noisy(1100, 1000);
    std::uint32_t state = 12345;
    for (int y = 0; y < noisy.Height(); ++y) {
        std::uint8_t* p = noisy.Row(y);
        for (int x = 0; x < noisy.Width() * 3; ++x) {
            state = state * 1664525u + 1013904223u;
            p[x] = static_cast<std::uint8_t>(state >> 24);
        }
    }
    const auto footage = MakeFootageConversion("arri-logc", "");
    TImage converted = noisy.Clone();
    ConvertFootageImage(*footage, converted);
    EXPECT_TRUE(converted.SamePixels(PixelByPixel(*footage, noisy)));
}

// A large deep picture goes colour by colour where its colours repeat (a
// frame made from 8-bit material, here in 16-bit codes) and pixel by pixel
// where they do not (noise rows); every pixel is bit for bit what the
// library's processor gives for it on a row of its own, and with a look
// graded in, what grading the converted picture gives.
TEST(FootageRoadsTest, DeepColourByColourEqualsRowByRow) {
    TDeepImage picture(1000, 400, false);
    std::uint32_t state = 7;
    for (int y = 0; y < picture.Height(); ++y) {
        float* p = picture.Row(y);
        for (int x = 0; x < picture.Width() * 3; ++x) {
            state = state * 1664525u + 1013904223u;
            const int code =
                y >= 300 ? static_cast<int>(state >> 16) : ((x / 3) / 4 * 37 + (y / 3) * 11 + x % 3 * 50) % 256 * 257;
            p[x] = static_cast<float>(code / 65535.0) * (y >= 200 && y < 250 ? 3.0f : 1.0f);
        }
    }
    // A look that bends and mixes the channels.
    TLUT look;
    look.Kind = lkCube;
    look.CubeSize = 9;
    for (int i = 0; i < 9; ++i)
        for (int j = 0; j < 9; ++j)
            for (int k = 0; k < 9; ++k)
                look.Cube[i][j][k] = {std::sqrt(i / 8.0), (j + k) / 16.0, (k / 8.0) * (k / 8.0)};
    for (const char* space : {"slog3-sgamut3cine", "acescg"}) {
        const auto footage = MakeFootageConversion(space, "");
        TDeepImage converted = picture;
        ConvertFootageDeep(*footage, converted);
        TDeepImage expected = picture;
        for (int y = 0; y < expected.Height(); ++y) footage->Convert(expected.Row(y), 1000);
        for (int y = 0; y < expected.Height(); ++y)
            ASSERT_EQ(std::memcmp(converted.Row(y), expected.Row(y), 1000 * 3 * sizeof(float)), 0) << space << " " << y;
        EXPECT_NE(std::memcmp(converted.Row(10), picture.Row(10), 1000 * 3 * sizeof(float)), 0) << space;
        // With the look graded in, as grading the converted picture gives it.
        TDeepImage graded = picture;
        ConvertFootageDeep(*footage, graded, &look);
        GradeDeepImage(look, expected);
        for (int y = 0; y < expected.Height(); ++y)
            ASSERT_EQ(std::memcmp(graded.Row(y), expected.Row(y), 1000 * 3 * sizeof(float)), 0) << space << " " << y;
        EXPECT_NE(std::memcmp(graded.Row(10), converted.Row(10), 1000 * 3 * sizeof(float)), 0) << space;
    }
}

// Deep pictures are converted in float without rounding, values beyond 1
// (linear footage) included; alpha is left alone.
TEST(FootageRoadsTest, DeepPicturesConvertInFloatAndLinearSpacesTakeValuesBeyondOne) {
    const auto acescg = MakeFootageConversion("ACEScg (linear AP1)", "");
    ASSERT_NE(acescg, nullptr);
    EXPECT_TRUE(acescg->SceneLinear());
    EXPECT_FALSE(MakeFootageConversion("slog3-sgamut3cine", "")->SceneLinear());
    TDeepImage picture(300, 2, true);
    for (int x = 0; x < 300; ++x) {
        const float v = 0.18f * std::exp2((x - 150) / 20.0f);  // -7.5 .. +7.5 stops
        for (int c = 0; c < 3; ++c) picture.Row(0)[3 * x + c] = picture.Row(1)[3 * x + c] = v * (1.0f - 0.2f * c);
        picture.AlphaRow(1)[x] = 0.5f;
    }
    TDeepImage converted = picture;
    ConvertFootageDeep(*acescg, converted);
    float previous = -1.0f;
    for (int x = 0; x < 300; ++x) {
        float one[3] = {picture.Row(0)[3 * x], picture.Row(0)[3 * x + 1], picture.Row(0)[3 * x + 2]};
        acescg->Convert(one, 1);
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(converted.Row(0)[3 * x + c], one[c]) << x;
            EXPECT_EQ(converted.Row(1)[3 * x + c], one[c]) << x;
        }
        EXPECT_GE(one[0], previous) << x;  // brighter footage, brighter display
        previous = one[0];
        EXPECT_EQ(converted.AlphaRow(1)[x], 0.5f);
    }
    EXPECT_GT(previous, 0.95f);  // +7.5 stops is near white, not clamped to the 1.0 of the input
    // Every linear space: grey stays grey, mid grey lands mid-display.
    for (const TLinearSpace& space : LinearSpaces()) {
        const auto footage = MakeFootageConversion(space.Key, "");
        float grey[3] = {0.18f, 0.18f, 0.18f};
        footage->Convert(grey, 1);
        EXPECT_NEAR(grey[0], 0.39f, 0.03f) << space.Key;
        EXPECT_NEAR(grey[0], grey[1], 2e-3f) << space.Key;
        EXPECT_NEAR(grey[1], grey[2], 2e-3f) << space.Key;
        EXPECT_EQ(footage->Label(), space.Label);
    }
}

// Shaped looks: the curve is the shaper over its stated range, each cube
// entry the look of the footage colour the shaper maps there; formats that
// hold no shaper are refused naming those that do.
TEST(FootageRoadsTest, LinearLooksCarryTheShaperOrAreRefused) {
    const TLookShaper& shaper = LinearFootageShaper();
    EXPECT_DOUBLE_EQ(shaper.ToShaper(0.18), 0.5);
    EXPECT_DOUBLE_EQ(shaper.ToShaper(shaper.Low() / 2), 0.0);
    EXPECT_DOUBLE_EQ(shaper.ToShaper(1e9), 1.0);
    EXPECT_DOUBLE_EQ(shaper.ToShaper(-1.0), 0.0);
    for (double code : {0.0, 0.3, 0.5, 0.77, 1.0}) EXPECT_NEAR(shaper.ToShaper(shaper.FromShaper(code)), code, 1e-12);

    const auto footage = MakeFootageConversion("acescg", "");
    TLookSettings settings;  // the neutral look
    TLUT lut;
    BuildShapedLookLut(settings, *footage, shaper, 9, lut);
    EXPECT_EQ(lut.Kind, lkCurveThenCube);
    EXPECT_EQ(lut.CurveSize, shaper.Entries);
    EXPECT_DOUBLE_EQ(lut.Curve[0].Red, 0.0);
    EXPECT_DOUBLE_EQ(lut.Curve[shaper.Entries - 1].Green, 1.0);
    const double step = (shaper.High() - shaper.Low()) / (shaper.Entries - 1);
    EXPECT_DOUBLE_EQ(lut.Curve[1000].Blue, shaper.ToShaper(shaper.Low() + 1000 * step));
    float colour[3] = {static_cast<float>(shaper.FromShaper(0.25)), static_cast<float>(shaper.FromShaper(0.5)),
                       static_cast<float>(shaper.FromShaper(1.0))};
    footage->Convert(colour, 1);
    const TRGBDouble want = LookColour(settings, settings.Factors, {colour[0], colour[1], colour[2]});
    EXPECT_NEAR(lut.Cube[2][4][8].Red, want.Red, 1e-6);
    EXPECT_NEAR(lut.Cube[2][4][8].Blue, want.Blue, 1e-6);
    ASSERT_EQ(lut.Comments.size(), 2u);
    EXPECT_EQ(lut.Comments[1], "shaper: log2, -7 to +7 stops around 0.18 (linear 0.00140625 to 23.04)");

    const std::string folder = std::filesystem::temp_directory_path() / "ombrane-shaped-XXXXXX";
    std::string made = folder;
    ASSERT_NE(mkdtemp(made.data()), nullptr);
    const std::string cube = made + "/look.cube";
    ExportLook(settings, Profile("Cube 3D Davinci"), 17, 0, cube, footage.get());
    const std::string text = Read(cube);
    EXPECT_NE(text.find("# input: ACEScg (linear AP1)\n# shaper: log2, -7 to +7 stops"), std::string::npos);
    EXPECT_NE(text.find("\nLUT_1D_SIZE 4096\nLUT_1D_INPUT_RANGE 0.00140625 23.04\nLUT_3D_SIZE 17\n"), std::string::npos)
        << text.substr(0, 400);
    const std::string spi3d = made + "/look.spi3d";
    ExportLook(settings, Profile("Sony Imageworks spi3d"), 17, 0, spi3d, footage.get());
    EXPECT_EQ(Read(made + "/look.spi1d").rfind("Version 1\nFrom 0.00140625 23.04\nLength 4096\n", 0), 0u);

    const std::string refused = made + "/look.3dl";
    bool tried = false;
    for (const auto& profile : LutOutputProfiles()) {
        if (profile->Name != "Cube 3D Davinci" && profile->Extension == "3dl") {
            try {
                tried = true;
                ExportLook(settings, *profile, 17, profile->DefaultBits, refused, footage.get());
                ADD_FAILURE() << profile->Name << " took a linear look";
            } catch (const EError& error) {
                const std::string message = error.what();
                EXPECT_NE(message.find("\"ACEScg (linear AP1)\" is scene-linear"), std::string::npos) << message;
                EXPECT_NE(message.find("\"Cube 3D Davinci\" (.cube)"), std::string::npos) << message;
                EXPECT_NE(message.find("\"Academy/ASC CLF\" (.clf)"), std::string::npos) << message;
            }
            EXPECT_FALSE(std::filesystem::exists(refused));
            break;
        }
    }
    EXPECT_TRUE(tried);
    std::filesystem::remove_all(made);
}
