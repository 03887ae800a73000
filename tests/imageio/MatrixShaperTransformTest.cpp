#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "imageio/ColourProfile.h"
#include "imageio/MatrixShaperTransform.h"
#include "tests/imageio/PictureTestSupport.h"

// The display transform's matrix/TRC road against LittleCMS's own transform,
// which stays the reference: the same bytes for every colour, or the road is
// not taken.

namespace {

using TProfile = std::unique_ptr<void, decltype(&cmsCloseProfile)>;
using TTransform = std::unique_ptr<void, decltype(&cmsDeleteTransform)>;

TProfile Open(const std::string& icc) {
    return TProfile(cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size())), cmsCloseProfile);
}

TProfile Srgb() { return TProfile(cmsCreate_sRGBProfile(), cmsCloseProfile); }

// LittleCMS's transform from sRGB, made here on its own.
TTransform Plain(void* display) {
    const TProfile srgb = Srgb();
    return TTransform(cmsCreateTransform(srgb.get(), TYPE_BGR_8, display, TYPE_BGR_8, INTENT_RELATIVE_COLORIMETRIC,
                                         cmsFLAGS_BLACKPOINTCOMPENSATION),
                      cmsDeleteTransform);
}

// Every 24-bit colour once: 4096 x 4096 pixels.
TImage EveryColour() {
    TImage image(4096, 4096);
    for (int y = 0; y < 4096; ++y)
        for (int x = 0; x < 4096; ++x) {
            const int colour = y * 4096 + x;
            std::uint8_t* p = image.Row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(colour);
            p[1] = static_cast<std::uint8_t>(colour >> 8);
            p[2] = static_cast<std::uint8_t>(colour >> 16);
        }
    return image;
}

TImage PlainlyConverted(const TImage& picture, void* transform) {
    TImage out(picture.Width(), picture.Height());
    for (int y = 0; y < picture.Height(); ++y)
        cmsDoTransform(transform, picture.Row(y), out.Row(y), static_cast<cmsUInt32Number>(picture.Width()));
    return out;
}

// An RGB display profile whose output direction is a table, which LittleCMS
// prefers to the colorants and curves the profile also has: B2A0 only, which
// LittleCMS takes for every intent.
std::string TableProfile() {
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 1.8);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.68, 0.32, 1.0}, {0.265, 0.69, 1.0}, {0.15, 0.06, 1.0}};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsPipeline* table = cmsPipelineAlloc(nullptr, 3, 3);
    cmsPipelineInsertStage(table, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, curves));
    cmsWriteTag(profile, cmsSigBToA0Tag, table);
    cmsWriteTag(profile, cmsSigAToB0Tag, table);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::string icc(size, '\0');
    cmsSaveProfileToMem(profile, icc.data(), &size);
    cmsPipelineFree(table);
    cmsCloseProfile(profile);
    cmsFreeToneCurve(gamma);
    return icc;
}

TEST(MatrixShaperTransformTest, EveryColourIsLittleCmssOwn) {
    if (!std::filesystem::exists(kProfiles + "AdobeRGB1998.icc")) GTEST_SKIP() << "colord-data missing";
    const TImage colours = EveryColour();
    // Gamma curves, a parametric L* curve, a wide gamut.
    for (const char* name : {"AdobeRGB1998.icc", "ECI-RGBv2.icc", "ProPhotoRGB.icc"}) {
        SCOPED_TRACE(name);
        const TColourProfile profile = TColourProfile::FromIccFile(kProfiles + name);
        const TDisplayTransform display(profile);
        EXPECT_TRUE(display.MatrixShaper());
        const TProfile own = Open(profile.Icc());
        const TTransform plain = Plain(own.get());
        EXPECT_TRUE(display.Apply(colours).SamePixels(PlainlyConverted(colours, plain.get())));
    }
    // In place, as the window's buffers may be converted.
    const TDisplayTransform display(TColourProfile::FromIccFile(kProfiles + "ProPhotoRGB.icc"));
    TImage inPlace = colours.Clone();
    display.Apply(inPlace.Row(0), inPlace.Row(0), 4096);
    TImage firstRow(4096, 1);
    display.Apply(colours.Row(0), firstRow.Row(0), 4096);
    EXPECT_EQ(std::memcmp(inPlace.Row(0), firstRow.Row(0), 3 * 4096), 0);
    EXPECT_EQ(std::memcmp(inPlace.Row(1), colours.Row(1), 3 * 4096), 0);
}

TEST(MatrixShaperTransformTest, TheRoadIsRefusedWhereItWouldDiffer) {
    if (!std::filesystem::exists(kProfiles + "AdobeRGB1998.icc")) GTEST_SKIP() << "colord-data missing";
    const TColourProfile adobe = TColourProfile::FromIccFile(kProfiles + "AdobeRGB1998.icc");
    const TColourProfile proPhoto = TColourProfile::FromIccFile(kProfiles + "ProPhotoRGB.icc");
    const TProfile srgb = Srgb(), adobeOwn = Open(adobe.Icc()), proPhotoOwn = Open(proPhoto.Icc());
    const auto road = TMatrixShaperTransform::Build(srgb.get(), adobeOwn.get());
    ASSERT_NE(road, nullptr);
    EXPECT_TRUE(road->SameAs(Plain(adobeOwn.get()).get()));
    // The comparison notices another transform: ProPhoto's output is close
    // to Adobe RGB's for greys only.
    EXPECT_FALSE(road->SameAs(Plain(proPhotoOwn.get()).get()));

    // A display profile drawn through its table is left to LittleCMS.
    const TColourProfile table = TColourProfile::FromIcc(TableProfile());
    const TProfile tableOwn = Open(table.Icc());
    EXPECT_EQ(TMatrixShaperTransform::Build(srgb.get(), tableOwn.get()), nullptr);
    const TDisplayTransform display(table);
    EXPECT_FALSE(display.Empty());
    EXPECT_FALSE(display.MatrixShaper());
    TImage picture(257, 131);
    for (int y = 0; y < picture.Height(); ++y)
        for (int i = 0; i < 3 * picture.Width(); ++i) picture.Row(y)[i] = static_cast<std::uint8_t>(i * 7 + y * 13);
    const TImage shown = display.Apply(picture);
    EXPECT_TRUE(shown.SamePixels(PlainlyConverted(picture, Plain(tableOwn.get()).get())));
    EXPECT_FALSE(shown.SamePixels(picture));
}

}  // namespace
