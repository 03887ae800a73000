#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "formats/LookExport.h"
#include "tests/formats/Lut1DTestSupport.h"
#include "tests/formats/OutputProfileSupport.h"

using namespace lut1dtest;

namespace {

TLookSettings SampleSettings() {
    TLookSettings settings;
    const double means[3][2] = {{0.04, -0.03}, {-0.02, 0.05}, {0.01, 0.02}};
    for (int i = 0; i < 3; ++i) {
        settings.Stats.Ranges[i].MeanU = means[i][0];
        settings.Stats.Ranges[i].DevU = 0.08 + 0.01 * i;
        settings.Stats.Ranges[i].MeanV = means[i][1];
        settings.Stats.Ranges[i].DevV = 0.06 + 0.02 * i;
        settings.Stats.PixelCounts[i] = 100;
    }
    settings.Factors.Overall = 1.2f;
    settings.Factors.Blue = 0.7f;
    return settings;
}

std::unique_ptr<TLUT> ReferenceCube(const TLookSettings& settings, int size) {
    auto lut = std::make_unique<TLUT>();
    lut->Kind = lkCube;
    lut->CubeSize = size;
    BuildLookCube(settings, settings.Factors, *lut);
    return lut;
}

TEST(LookExport, WritesTheLookCubeAtTheChosenSizeWithTheProfilesFormat) {
    TTempFolder folder;
    const TLookSettings settings = SampleSettings();
    const TLutOutputProfile& cube = ProfileNamed("Cube 3D Davinci");
    const std::string path = folder.Path("look.cube");
    ExportLook(settings, cube, 5, cube.DefaultBits, path);

    auto read = std::make_unique<TLUT>();
    GetLutFormat(cube.FormatIndex)->LoadFromFile(path, *read);
    ASSERT_EQ(read->Kind, lkCube);
    ASSERT_EQ(read->CubeSize, 5);
    auto expected = ReferenceCube(settings, 5);
    double largest = 0;
    for (int r = 0; r < 5; ++r)
        for (int g = 0; g < 5; ++g)
            for (int b = 0; b < 5; ++b) {
                const TRGBDouble& got = read->Cube[r][g][b];
                const TRGBDouble& want = expected->Cube[r][g][b];
                largest = std::max({largest, std::fabs(got.Red - want.Red), std::fabs(got.Green - want.Green),
                                    std::fabs(got.Blue - want.Blue)});
            }
    EXPECT_LE(largest, 5.000001e-7);
    // The look is not an identity: the test would not notice a blank cube otherwise.
    EXPECT_GT(std::fabs(expected->Cube[4][0][0].Green - 0.0) + std::fabs(expected->Cube[0][4][0].Blue), 1e-3);

    // An integer profile at its defaults: PixelFarm PFClean, 16 points, 8 bits.
    const TLutOutputProfile& pfclean = ProfileNamed("PixelFarm PFClean 3D");
    const std::string pfl = folder.Path("look.pfl");
    ExportLook(settings, pfclean, pfclean.DefaultSize, pfclean.DefaultBits, pfl);
    EXPECT_NE(ReadBytes(pfl).find("<maximum>255</maximum>\n<size>16</size>\n"), std::string::npos);
    GetLutFormat(pfclean.FormatIndex)->LoadFromFile(pfl, *read);
    ASSERT_EQ(read->CubeSize, 16);
    auto sixteen = ReferenceCube(settings, 16);
    const auto clamp = [](double v) { return std::min(1.0, std::max(0.0, v)); };
    for (int r = 0; r < 16; r += 3)
        for (int g = 0; g < 16; g += 3)
            for (int b = 0; b < 16; b += 3) {
                EXPECT_NEAR(read->Cube[r][g][b].Red, clamp(sixteen->Cube[r][g][b].Red), 0.5 / 255 + 1e-12);
                EXPECT_NEAR(read->Cube[r][g][b].Blue, clamp(sixteen->Cube[r][g][b].Blue), 0.5 / 255 + 1e-12);
            }
}

TEST(LookExport, RefusesSizesOutsideTheCubeAndCurveProfilesWithoutTouchingTheFile) {
    TTempFolder folder;
    const TLookSettings settings = SampleSettings();
    const TLutOutputProfile& cube = ProfileNamed("Cube 3D Davinci");
    const std::string kept = folder.Write("kept.cube", "keep me");
    for (int size : {1, 0, -5, 102, 1000}) EXPECT_THROW(ExportLook(settings, cube, size, 0, kept), EError) << size;
    EXPECT_THROW(ExportLook(settings, ProfileNamed("Cube 1D"), 33, 0, kept), EError);
    TLutOutputProfile stale = cube;
    stale.FormatIndex = static_cast<int>(LutFormats().size());
    EXPECT_THROW(ExportLook(settings, stale, 33, 0, kept), EError);
    EXPECT_EQ(ReadBytes(kept), "keep me");
    const std::string missing = folder.Path("no/folder/look.cube");
    EXPECT_NE(ErrorText([&] { ExportLook(settings, cube, 2, 0, missing); }).find(missing), std::string::npos);
}

TEST(LookExport, DosedAndMatchedLooksAtTheWritersPrecision) {
    TTempFolder folder;
    const TLutOutputProfile& fusion = ProfileNamed("3DL Fusion");
    const TLUTFormat* format = GetLutFormat(fusion.FormatIndex);
    std::unique_ptr<TLUT> read[3];
    const double strengths[3] = {1.0, 0.0, 0.5};
    TLookSettings settings = SampleSettings();
    for (int i = 0; i < 3; ++i) {
        settings.Strength = strengths[i];
        const std::string path = folder.Path("dose" + std::to_string(i) + ".3dl");
        ExportLook(settings, fusion, 33, fusion.DefaultBits, path);
        read[i] = std::make_unique<TLUT>();
        format->LoadFromFile(path, *read[i]);
        EXPECT_EQ(ReadBytes(path).find("matched"), std::string::npos);
    }
    // 12 bits: full scale 4095, each written value within half a step.
    const double step = 1.0 / 4095;
    for (int r = 0; r < 33; r += 4)
        for (int g = 0; g < 33; g += 2)
            for (int b = 0; b < 33; b += 3) {
                const double grid[3] = {r / 32.0, g / 32.0, b / 32.0};
                const TRGBDouble& full = read[0]->Cube[r][g][b];
                const TRGBDouble& none = read[1]->Cube[r][g][b];
                const TRGBDouble& half = read[2]->Cube[r][g][b];
                const double f[3] = {full.Red, full.Green, full.Blue};
                const double z[3] = {none.Red, none.Green, none.Blue};
                const double h[3] = {half.Red, half.Green, half.Blue};
                for (int c = 0; c < 3; ++c) {
                    EXPECT_NEAR(z[c], grid[c], 0.5 * step + 1e-12);
                    EXPECT_NEAR(h[c], (f[c] + grid[c]) / 2, step + 1e-12);
                }
            }

    // A matched look names its frame in the comment line of formats that have one.
    settings = SampleSettings();
    settings.MatchSource = true;
    settings.SourceStats = settings.Stats;
    settings.MatchedTo = "red flower.jpg";
    const TLutOutputProfile& cube = ProfileNamed("Cube 3D Davinci");
    const std::string matched = folder.Path("matched.cube");
    ExportLook(settings, cube, 5, 0, matched);
    EXPECT_EQ(ReadBytes(matched).rfind("# matched to red flower.jpg\n", 0), 0u);
    settings.MatchedTo.clear();
    ExportLook(settings, cube, 5, 0, matched);
    EXPECT_EQ(ReadBytes(matched).rfind("# matched to a pasted picture\n", 0), 0u);
}

}  // namespace
