#include <gtest/gtest.h>

#include <lcms2.h>
#include <zlib.h>
#include <QTemporaryDir>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/base/Error.h"
#include "fileio/FileRead.h"
#include "imageio/ColourProfile.h"
#include "imageio/IccProfile.h"
#include "imageio/ImageFile.h"
#include "imageio/JpegStripGrading.h"
#include "tests/imageio/PictureTestSupport.h"
#include "tests/support/ThrownMessage.h"

// Colour profiles read from pictures' containers, converted through
// LittleCMS and written back; the display transform.

namespace {

std::string Payload(int number, int count, const std::string& data) {
    return std::string("ICC_PROFILE\0", 12) + static_cast<char>(number) + static_cast<char>(count) + data;
}

int LargestDifference(const TImage& a, const TImage& b) {
    int largest = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int i = 0; i < 3 * a.Width(); ++i)
            largest = std::max(largest, std::abs(int(a.Row(y)[i]) - int(b.Row(y)[i])));
    return largest;
}

// A wide-gamut profile with a long copyright text: well over the 65,519
// bytes one APP2 segment holds.
std::string LargeProfile() {
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 2.2);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsMLU* text = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(text, "en", "US", std::string(150000, 'c').c_str());
    cmsWriteTag(profile, cmsSigCopyrightTag, text);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::string bytes(size, '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsMLUfree(text);
    cmsCloseProfile(profile);
    cmsFreeToneCurve(curve);
    return bytes;
}

TEST(ColourProfileTest, JpegSegmentsJoinInAnyOrderAndDamageIsRefused) {
    EXPECT_EQ(JoinJpegIccSegments({Payload(2, 3, "BB"), "Exif-other", Payload(1, 3, "A"), Payload(3, 3, "C")}), "ABBC");
    EXPECT_EQ(JoinJpegIccSegments({"not a profile"}), "");
    const std::vector<std::vector<std::string>> damaged = {
        {Payload(1, 2, "A")},                      // a segment missing
        {Payload(1, 2, "A"), Payload(1, 2, "A")},  // one twice
        {Payload(1, 2, "A"), Payload(3, 2, "C")},  // numbered beyond the count
        {Payload(1, 1, "A"), Payload(2, 2, "B")},  // counts that disagree
        {Payload(0, 0, "")},
        {std::string("ICC_PROFILE\0\1", 13)},  // cut short
    };
    for (const auto& payloads : damaged) {
        const std::vector<std::string_view> views(payloads.begin(), payloads.end());
        EXPECT_EQ(MessageOf([&] { JoinJpegIccSegments(views); }), "the colour profile is damaged");
    }
    EXPECT_EQ(MessageOf([] { TColourProfile::FromIcc(std::string(200, 'x')); }), "the colour profile is damaged");
    // A data colour space no picture has (a fuzz finding: read as LittleCMS's
    // enumeration it was undefined behaviour), and a CMYK one, are not usable.
    if (std::filesystem::exists(kProfiles + "sRGB.icc")) {
        std::string icc = ReadFileBytes(kProfiles + "sRGB.icc", 1 << 24);
        for (const char* space : {"\xFF\xFF\xFF\xFF", "CMYK"}) {
            icc.replace(16, 4, space, 4);
            const std::string message = MessageOf([&] { TColourProfile::FromIcc(icc); });
            EXPECT_TRUE(message == "the colour profile is not usable" || message == "the colour profile is damaged")
                << message;
        }
    }
}

TEST(ColourProfileTest, AProfileOverSeveralSegmentsIsWrittenAndReadWhole) {
    QTemporaryDir dir;
    const std::string file = dir.filePath("large.jpg").toStdString();
    const std::string icc = LargeProfile();
    ASSERT_GT(icc.size(), 2u * 65519);
    const TColourProfile profile = TColourProfile::FromIcc(icc);
    ASSERT_FALSE(profile.IsSrgb());
    TImage picture(64, 48);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            std::uint8_t* p = picture.Row(y) + 3 * x;
            p[0] = 120;
            p[1] = static_cast<std::uint8_t>(40 + 3 * y);
            p[2] = static_cast<std::uint8_t>(30 + 3 * x);
        }
    SaveImageFile(file, picture, profile);
    const std::string bytes = ReadFileBytes(file, 1 << 24);
    int segments = 0;
    for (std::size_t at = bytes.find("ICC_PROFILE"); at != std::string::npos; at = bytes.find("ICC_PROFILE", at + 1))
        ++segments;
    EXPECT_GE(segments, 3);
    TImage loaded;
    TColourProfile read;
    LoadImageFile(file, loaded, read);
    EXPECT_EQ(read.Icc(), icc);
    // The picture put into the profile's space, coded, and brought back to sRGB.
    TImage expected = picture.Clone();
    profile.FromSrgb(expected);
    DecodeJpeg(EncodeJpeg(expected, 100), expected);
    profile.ToSrgb(expected);
    EXPECT_TRUE(loaded.SamePixels(expected));
    EXPECT_LE(LargestDifference(loaded, picture), 10);  // JPEG's chroma subsampling
    // A picture in sRGB is written as before: no profile.
    SaveImageFile(file, picture, TColourProfile());
    EXPECT_EQ(ReadFileBytes(file, 1 << 24), EncodeJpeg(picture, 100));
}

TEST(ColourProfileTest, PngGammaAndSrgbChunks) {
    QTemporaryDir dir;
    const TImage picture = Colours(32, 8);
    const std::string plainFile = dir.filePath("plain.png").toStdString();
    SaveImageFile(plainFile, picture);
    const std::string plain = ReadFileBytes(plainFile, 1 << 24);
    // Gamma 1/1.8 with sRGB's primaries: the picture is converted.
    const std::string gammaFile = dir.filePath("gamma.png").toStdString();
    std::FILE* out = std::fopen(gammaFile.c_str(), "wb");
    const std::string gamma = WithPngChunk(plain, "gAMA", std::string("\0\0\xD9\x03", 4));  // 55555
    std::fwrite(gamma.data(), 1, gamma.size(), out);
    std::fclose(out);
    TImage loaded;
    LoadImageFile(gammaFile, loaded);
    EXPECT_GT(LargestDifference(loaded, picture), 5);
    // The sRGB chunk rules over gAMA: nothing is converted.
    const std::string srgbFile = dir.filePath("srgb.png").toStdString();
    out = std::fopen(srgbFile.c_str(), "wb");
    const std::string srgb = WithPngChunk(gamma, "sRGB", std::string("\0", 1));
    std::fwrite(srgb.data(), 1, srgb.size(), out);
    std::fclose(out);
    LoadImageFile(srgbFile, loaded);
    EXPECT_TRUE(loaded.SamePixels(picture));
    // A damaged iCCP chunk is refused, naming the file.
    const std::string badFile = dir.filePath("bad.png").toStdString();
    out = std::fopen(badFile.c_str(), "wb");
    const std::string bad = WithPngChunk(plain, "iCCP", std::string("x\0\0garbage", 10));
    std::fwrite(bad.data(), 1, bad.size(), out);
    std::fclose(out);
    EXPECT_EQ(MessageOf([&] { LoadImageFile(badFile, loaded); }), "\"" + badFile + "\": the colour profile is damaged");
    EXPECT_TRUE(loaded.SamePixels(picture));  // a failed load leaves the target as it was
    // So are chromaticities that are no colours (y of 0).
    out = std::fopen(badFile.c_str(), "wb");
    const std::string flat = WithPngChunk(plain, "cHRM", std::string(32, '\0'));
    std::fwrite(flat.data(), 1, flat.size(), out);
    std::fclose(out);
    EXPECT_EQ(MessageOf([&] { LoadImageFile(badFile, loaded); }), "\"" + badFile + "\": the colour profile is damaged");
}

TEST(ColourProfileTest, DisplayTransformIsLittleCmsOnEveryPixel) {
    if (!std::filesystem::exists(kProfiles + "SwappedRedAndGreen.icc")) GTEST_SKIP() << "colord-data missing";
    const TColourProfile swapped = TColourProfile::FromIccFile(kProfiles + "SwappedRedAndGreen.icc");
    const TDisplayTransform display(swapped);
    ASSERT_FALSE(display.Empty());
    const TImage picture = Colours(300, 200);
    const TImage shown = display.Apply(picture);
    // The plain transform, the whole picture at once.
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHPROFILE target =
        cmsOpenProfileFromMem(swapped.Icc().data(), static_cast<cmsUInt32Number>(swapped.Icc().size()));
    cmsHTRANSFORM plain = cmsCreateTransform(srgb, TYPE_BGR_8, target, TYPE_BGR_8, INTENT_RELATIVE_COLORIMETRIC,
                                             cmsFLAGS_BLACKPOINTCOMPENSATION);
    TImage expected(picture.Width(), picture.Height());
    for (int y = 0; y < picture.Height(); ++y) cmsDoTransform(plain, picture.Row(y), expected.Row(y), picture.Width());
    cmsDeleteTransform(plain);
    cmsCloseProfile(target);
    cmsCloseProfile(srgb);
    EXPECT_TRUE(shown.SamePixels(expected));
    // Into a kept copy (holding an older picture) and in place: the same.
    TImage kept = picture.Clone(), inPlace = picture.Clone();
    display.Apply(expected, kept);
    display.Apply(picture, kept);
    display.Apply(inPlace, inPlace);
    EXPECT_TRUE(kept.SamePixels(expected));
    EXPECT_TRUE(inPlace.SamePixels(expected));
    // Red and green trade places (blue first in memory).
    int largest = 0;
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) {
            const std::uint8_t* p = picture.Row(y) + 3 * x;
            const std::uint8_t* q = shown.Row(y) + 3 * x;
            largest = std::max({largest, std::abs(p[0] - q[0]), std::abs(p[1] - q[2]), std::abs(p[2] - q[1])});
        }
    EXPECT_LE(largest, 1);
    // Without a profile, or with sRGB's, nothing changes.
    EXPECT_TRUE(TDisplayTransform().Apply(picture).SamePixels(picture));
    EXPECT_TRUE(TDisplayTransform(TColourProfile::FromIccFile(kProfiles + "sRGB.icc")).Empty());
}

}  // namespace

namespace {

TEST(ColourProfileTest, StripGradingOfATaggedJpegIsTheWholePictureRoad) {
    if (!std::filesystem::exists(kProfiles + "AdobeRGB1998.icc")) GTEST_SKIP() << "colord-data missing";
    QTemporaryDir dir;
    const auto path = [&](const char* name) { return dir.filePath(name).toStdString(); };
    const TColourProfile adobe = TColourProfile::FromIccFile(kProfiles + "AdobeRGB1998.icc");
    const TColourProfile prophoto = TColourProfile::FromIccFile(kProfiles + "ProPhotoRGB.icc");
    SaveImageFile(path("tagged.jpg"), Colours(123, 77), adobe);
    const auto invert = [](TImage& strip) {
        for (int y = 0; y < strip.Height(); ++y)
            for (int i = 0; i < 3 * strip.Width(); ++i)
                strip.Row(y)[i] = static_cast<std::uint8_t>(255 - strip.Row(y)[i]);
    };
    TImage whole;
    TColourProfile source;
    LoadImageFile(path("tagged.jpg"), whole, source);
    EXPECT_EQ(source.Icc(), adobe.Icc());
    invert(whole);
    const std::pair<TOutputProfileChoice, TColourProfile> choices[] = {
        {TOutputProfileChoice(), adobe},
        {TOutputProfileChoice::Parse("srgb"), TColourProfile()},
        {TOutputProfileChoice::Parse(kProfiles + "ProPhotoRGB.icc"), prophoto},
    };
    for (const auto& [choice, written] : choices) {
        GradeJpegFile(path("tagged.jpg"), path("strips.jpg"), invert, choice);
        SaveImageFile(path("whole.jpg"), whole, written);
        EXPECT_EQ(ReadFileBytes(path("strips.jpg"), 1 << 24), ReadFileBytes(path("whole.jpg"), 1 << 24));
    }
}

}  // namespace
