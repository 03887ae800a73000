#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "engine/footage/FootageLook.h"
#include "formats/LookExport.h"
#include "tests/formats/Lut1DTestSupport.h"
#include "tests/formats/OutputProfileSupport.h"

using namespace lut1dtest;

namespace {

// Footage whose display colour is the inverted colour.
class TInverted : public TFootageConversion {
public:
    std::string Label() const override { return "Inverted / Test Gamut"; }
    void Convert(float* rgb, std::size_t count) const override {
        for (std::size_t i = 0; i < 3 * count; ++i) rgb[i] = 1.0f - rgb[i];
    }
};

}  // namespace

TEST(FootageLookExport, TheCubeIsTheLookOfTheConvertedColoursAndTheCommentNamesTheFootage) {
    TTempFolder folder;
    TLookSettings settings;
    for (int i = 0; i < 3; ++i) settings.Stats.Ranges[i] = {0.03 - 0.02 * i, 0.07, -0.01 * i, 0.05 + 0.01 * i};
    settings.Factors.Green = 1.4f;
    const TLutOutputProfile& profile = ProfileNamed("Cube 3D Davinci");
    const std::string path = folder.Path("footage.cube");
    const TInverted footage;
    ExportLook(settings, profile, 9, profile.DefaultBits, path, &footage);

    const std::string text = ReadBytes(path);
    EXPECT_NE(text.find("# input: Inverted / Test Gamut\n"), std::string::npos) << text.substr(0, 200);
    auto read = std::make_unique<TLUT>();
    GetLutFormat(profile.FormatIndex)->LoadFromFile(path, *read);
    ASSERT_EQ(read->CubeSize, 9);
    auto want = std::make_unique<TLUT>();
    want->CubeSize = 9;
    BuildFootageLookCube(settings, settings.Factors, footage, *want);
    double largest = 0;
    for (int r = 0; r < 9; ++r)
        for (int g = 0; g < 9; ++g)
            for (int b = 0; b < 9; ++b) {
                const TRGBDouble& x = read->Cube[r][g][b];
                const TRGBDouble& y = want->Cube[r][g][b];
                largest = std::max(
                    {largest, std::fabs(x.Red - y.Red), std::fabs(x.Green - y.Green), std::fabs(x.Blue - y.Blue)});
            }
    EXPECT_LE(largest, 5.000001e-7);
    // The inversion shows: black footage is the look of white.
    const TRGBDouble white = LookColour(settings, settings.Factors, {1, 1, 1});
    EXPECT_NEAR(read->Cube[0][0][0].Red, white.Red, 1e-6);

    // Without footage the file has no input line.
    ExportLook(settings, profile, 9, profile.DefaultBits, path);
    EXPECT_EQ(ReadBytes(path).find("input:"), std::string::npos);
}
