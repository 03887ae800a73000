#include <gtest/gtest.h>

#include <lcms2.h>
#include <zlib.h>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "engine/base/Error.h"
#include "engine/picture/DeepImage.h"
#include "fileio/FileRead.h"
#include "imageio/ColourProfile.h"
#include "imageio/DeepCodec.h"
#include "imageio/DeepImageFile.h"
#include "imageio/IccProfile.h"
#include "imageio/ImageFile.h"
#include "imageio/JpegCodec.h"
#include "imageio/JpegStripGrading.h"
#include "imageio/QtPictureFile.h"
#include "tests/imageio/GreyProfile.h"
#include "tests/imageio/PictureTestSupport.h"
#include "tests/support/ThrownMessage.h"

// The colour profile a picture carries, judged against its pixels and its
// container: profiles of other pixels, PNG files that describe sRGB without
// saying so, profiles beyond the size read, and the bytes of profiles the
// program builds.

namespace {

// A Lab profile: no picture's numbers are in its space here.
std::string LabProfile() {
    cmsHPROFILE profile = cmsCreateLab4Profile(nullptr);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::string bytes(size, '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

void WriteBytesAsserted(const std::string& file, const std::string& bytes) {
    std::FILE* out = std::fopen(file.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
}

// cHRM's eight numbers (white, red, green, blue as x, y) in PNG's units.
std::string Chromaticities(const std::vector<std::uint32_t>& units) {
    std::string data;
    for (std::uint32_t value : units) data += BigEndian32(value);
    return data;
}

const std::vector<std::uint32_t> kSrgbUnits = {31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000};

class PictureProfileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string Path(const char* name) const { return dir.filePath(name).toStdString(); }
    std::string Refusal(const std::string& file) const { return "\"" + file + "\": the colour profile is not usable"; }
};

// ---- profiles of other pixels than the picture's -------------------------

TEST_F(PictureProfileTest, AProfileOfOtherPixelsIsRefusedNamingTheFile) {
    const std::string grey = GreyIccProfile();
    const TImage picture = Colours(40, 24);
    WriteBytesAsserted(Path("grey-on-rgb.jpg"), EncodeJpegPicture(picture, grey));
    WriteBytesAsserted(Path("grey-on-rgb.png"), EncodePngPicture(picture, grey));
    WriteBytesAsserted(Path("lab-on-rgb.png"), EncodePngPicture(picture, LabProfile()));
    TDeepImage deep(40, 24, false);
    deep.Depth = {"tiff", TSampleKind::Integer, 16, std::string(), grey};
    WriteBytesAsserted(Path("grey-on-rgb.tif"), DeepCodec().Encode(deep, deep.Depth));
    TImage loaded = picture.Clone();
    for (const char* name : {"grey-on-rgb.jpg", "grey-on-rgb.png", "lab-on-rgb.png", "grey-on-rgb.tif"}) {
        EXPECT_EQ(MessageOf([&] { LoadImageFile(Path(name), loaded); }), Refusal(Path(name))) << name;
    }
    EXPECT_TRUE(loaded.SamePixels(picture));
    // The road that grades a JPEG file strip by strip refuses it alike.
    EXPECT_EQ(MessageOf([&] { GradeJpegFile(Path("grey-on-rgb.jpg"), Path("out.jpg"), [](TImage&) {}); }),
              Refusal(Path("grey-on-rgb.jpg")));
    // So is a CMYK profile on an RGB JPEG.
    std::string cmyk = grey;
    cmyk.replace(16, 4, "CMYK");
    WriteBytesAsserted(Path("cmyk-on-rgb.jpg"), EncodeJpegPicture(picture, cmyk));
    EXPECT_EQ(MessageOf([&] { LoadImageFile(Path("cmyk-on-rgb.jpg"), loaded); }), Refusal(Path("cmyk-on-rgb.jpg")));
}

// A grey picture with its grey profile (made by ImageMagick) is read through
// it; a graded picture is red, green and blue, so it is written in sRGB,
// without the grey profile, by either road, and --output-profile refuses one.
TEST_F(PictureProfileTest, AGreyPictureTakesItsGreyProfileAndOutputsDoNot) {
    const std::string grey = GreyIccProfile();
    WriteBytesAsserted(Path("grey.icc"), grey);
    ASSERT_EQ(std::system(("convert -size 32x8 gradient: -colorspace Gray -profile " + Path("grey.icc") + " " +
                           Path("grey.jpg") + " >/dev/null 2>&1")
                              .c_str()),
              0);
    TImage plain, loaded;
    DecodeJpeg(ReadFileBytes(Path("grey.jpg"), 1 << 24), plain);
    TColourProfile profile;
    LoadImageFile(Path("grey.jpg"), loaded, profile);
    ASSERT_FALSE(profile.IsSrgb());
    // LittleCMS's grey to sRGB, value by value.
    cmsHPROFILE from = cmsOpenProfileFromMem(grey.data(), static_cast<cmsUInt32Number>(grey.size()));
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHTRANSFORM toSrgb = cmsCreateTransform(from, TYPE_GRAY_8, srgb, TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC,
                                              cmsFLAGS_BLACKPOINTCOMPENSATION);
    int changed = 0;
    for (int y = 0; y < plain.Height(); ++y)
        for (int x = 0; x < plain.Width(); ++x) {
            std::uint8_t rgb[3];
            cmsDoTransform(toSrgb, plain.Row(y) + 3 * x, rgb, 1);
            const std::uint8_t* p = loaded.Row(y) + 3 * x;
            EXPECT_TRUE(p[0] == rgb[2] && p[1] == rgb[1] && p[2] == rgb[0]) << x << ", " << y;
            changed += p[0] != plain.Row(y)[3 * x];
        }
    cmsDeleteTransform(toSrgb);
    cmsCloseProfile(srgb);
    cmsCloseProfile(from);
    EXPECT_GT(changed, 0);
    SaveImageFile(Path("whole.jpg"), loaded, profile);
    EXPECT_EQ(ReadFileBytes(Path("whole.jpg"), 1 << 24), EncodeJpeg(loaded, 100));
    GradeJpegFile(Path("grey.jpg"), Path("strips.jpg"), [](TImage&) {});
    EXPECT_EQ(ReadFileBytes(Path("strips.jpg"), 1 << 24), ReadFileBytes(Path("whole.jpg"), 1 << 24));
    EXPECT_EQ(MessageOf([&] { TOutputProfileChoice::Parse(Path("grey.icc")); }),
              "\"" + Path("grey.icc") + "\": the colour profile is not an RGB profile");
    // The deep road drops it alike.
    TDeepImage deep(8, 4, false);
    deep.Depth = {"tiff", TSampleKind::Integer, 16, std::string(), grey};
    EXPECT_EQ(EncodeDeepImage(deep, deep.Depth),
              EncodeDeepImage(deep, {"tiff", TSampleKind::Integer, 16, std::string(), std::string()}));
}

// ---- PNG files that describe sRGB by gAMA and cHRM -------------------------

// libpng's tolerances: gAMA within 5 % of 45455, each chromaticity within
// 0.001 of sRGB's; beyond them the picture is converted as before.
TEST_F(PictureProfileTest, PngGammaAndPrimariesNearSrgbWithinLibpngsTolerance) {
    const TImage picture = Colours(48, 32);
    SaveImageFile(Path("plain.png"), picture);
    const std::string plain = ReadFileBytes(Path("plain.png"), 1 << 24);
    std::vector<std::uint32_t> offWhite = kSrgbUnits, nearWhite = kSrgbUnits;
    offWhite[0] += 101;
    nearWhite[0] += 100;
    const struct {
        const char* Name;
        std::uint32_t Gamma;                   // 0: no gAMA chunk
        std::vector<std::uint32_t> Primaries;  // empty: no cHRM chunk
        bool Srgb;
    } cases[] = {
        {"gamma only", 45455, {}, true},
        {"gamma 4 % above", 47273, kSrgbUnits, true},
        {"gamma 4 % below", 43637, kSrgbUnits, true},
        {"white 0.001 off", 45455, nearWhite, true},
        {"primaries only", 0, kSrgbUnits, true},
        {"gamma 6 % above", 48183, kSrgbUnits, false},
        {"gamma 1/1.8", 55556, kSrgbUnits, false},
        {"white 0.00101 off", 45455, offWhite, false},
        {"linear", 100000, {}, false},
    };
    for (const auto& c : cases) {
        std::string png = plain;
        if (!c.Primaries.empty()) png = WithPngChunk(png, "cHRM", Chromaticities(c.Primaries));
        if (c.Gamma != 0) png = WithPngChunk(png, "gAMA", BigEndian32(c.Gamma));
        WriteBytesAsserted(Path("case.png"), png);
        TImage loaded;
        TColourProfile profile;
        LoadImageFile(Path("case.png"), loaded, profile);
        EXPECT_EQ(profile.IsSrgb(), c.Srgb) << c.Name;
        EXPECT_EQ(loaded.SamePixels(picture), c.Srgb) << c.Name;
    }
}

// ---- the bytes of profiles the program builds --------------------------------

TEST_F(PictureProfileTest, ABuiltProfileCarriesAFixedDateAndWritesAlike) {
    const TImage picture = Colours(48, 32);
    SaveImageFile(Path("plain.png"), picture);
    const std::string gamma = WithPngChunk(ReadFileBytes(Path("plain.png"), 1 << 24), "gAMA", BigEndian32(55556));
    WriteBytesAsserted(Path("gamma.png"), gamma);
    TImage loaded;
    TColourProfile profile;
    LoadImageFile(Path("gamma.png"), loaded, profile);
    ASSERT_FALSE(profile.IsSrgb());
    // 2000-01-01 00:00:00 as six big-endian 16-bit numbers from byte 24.
    const std::string date("\x07\xD0\0\x01\0\x01\0\0\0\0\0\0", 12);
    EXPECT_EQ(profile.Icc().substr(24, 12), date);
    // LittleCMS reads the same date back.
    cmsHPROFILE read = cmsOpenProfileFromMem(profile.Icc().data(), static_cast<cmsUInt32Number>(profile.Icc().size()));
    ASSERT_NE(read, nullptr);
    struct tm created {};
    ASSERT_TRUE(cmsGetHeaderCreationDateTime(read, &created));
    cmsCloseProfile(read);
    EXPECT_EQ(created.tm_year + 1900, 2000);
    EXPECT_EQ(created.tm_mon, 0);
    EXPECT_EQ(created.tm_mday, 1);
    // Written twice, from two readings: the same bytes.
    TImage second;
    TColourProfile again;
    LoadImageFile(Path("gamma.png"), second, again);
    SaveImageFile(Path("one.jpg"), loaded, profile);
    SaveImageFile(Path("two.jpg"), second, again);
    EXPECT_EQ(ReadFileBytes(Path("one.jpg"), 1 << 24), ReadFileBytes(Path("two.jpg"), 1 << 24));
    EXPECT_EQ(again.Icc(), profile.Icc());
}

// The TIFF and OpenEXR writers would note the time of writing; the file
// says the fixed date instead, as the picture library reads it.
TEST_F(PictureProfileTest, DeepOutputsCarryAFixedDate) {
    TDeepImage deep(16, 8, false);
    for (const char* name : {"fixed.tif", "fixed.exr"}) {
        SaveDeepImageFile(Path(name), deep, OutputDepthFor(Path(name), deep.Depth));
        EXPECT_EQ(std::system(
                      ("oiiotool --info -v " + Path(name) + " | grep -q 'DateTime: \"2000:01:01 00:00:00\"'").c_str()),
                  0)
            << name;
    }
}

// ---- profiles beyond the size read ---------------------------------------------

TEST_F(PictureProfileTest, AProfileLargerThanReadIsSaidToBe) {
    const std::string tooLarge = "the colour profile is too large (more than 16 MiB)";
    EXPECT_EQ(MessageOf([] { TColourProfile::FromIcc(std::string(kMaxIccProfileBytes + 1, 'x')); }), tooLarge);
    // An iCCP chunk that inflates beyond the limit (zeros compress well).
    const std::string zeros(kMaxIccProfileBytes + 1000, '\0');
    uLongf size = compressBound(static_cast<uLong>(zeros.size()));
    std::string compressed(size, '\0');
    ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(compressed.data()), &size,
                        reinterpret_cast<const Bytef*>(zeros.data()), static_cast<uLong>(zeros.size()), 9),
              Z_OK);
    compressed.resize(size);
    SaveImageFile(Path("plain.png"), Colours(8, 8));
    WriteBytesAsserted(Path("large.png"), WithPngChunk(ReadFileBytes(Path("plain.png"), 1 << 24), "iCCP",
                                                       std::string("big\0\0", 5) + compressed));
    TImage loaded;
    EXPECT_EQ(MessageOf([&] { LoadImageFile(Path("large.png"), loaded); }),
              "\"" + Path("large.png") + "\": " + tooLarge);
}

}  // namespace
