#include <cstdlib>
#include <sstream>

#include "engine/colour/ColorSpace.h"
#include "engine/lut/LUT.h"
#include "engine/picture/Thumbnail.h"
#include "engine/scopes/Scopes.h"
#include "formats/LutConvert.h"
#include "imageio/ImageFile.h"
#include "imageio/QtImage.h"
#include "library/ReferenceLibrary.h"
#include "scopeview/ScopeDrawing.h"
#include "tests/cli/CliHarness.h"

namespace {

void SetPixel(TImage& image, int x, int r, int g, int b) {
    std::uint8_t* p = image.Row(0) + 3 * x;
    p[0] = static_cast<std::uint8_t>(b);
    p[1] = static_cast<std::uint8_t>(g);
    p[2] = static_cast<std::uint8_t>(r);
}

// The lines of 'stats' read back: pixel count and the four numbers per range.
struct TPrinted {
    std::string Name;
    long Pixels = -1;
    double Numbers[4] = {0, 0, 0, 0};  // MeanU, DevU, MeanV, DevV
};

std::vector<TPrinted> ReadTable(const std::string& out) {
    std::vector<TPrinted> rows;
    for (const std::string& line : Lines(out)) {
        std::istringstream fields(line);
        TPrinted row;
        std::string word;
        std::getline(fields, row.Name, '\t');
        std::getline(fields, word, '\t');
        row.Pixels = std::strtol(word.c_str(), nullptr, 10);
        for (double& number : row.Numbers) {
            std::getline(fields, word, '\t');
            number = std::strtod(word.c_str(), nullptr);
        }
        rows.push_back(row);
    }
    return rows;
}

void ExpectPrinted(const std::vector<TPrinted>& rows, const TColorStats& stats) {
    ASSERT_EQ(rows.size(), 3u);
    const char* names[] = {"low", "middle", "high"};
    for (int r = 0; r < 3; ++r) {
        const TRangeStats& range = stats.Ranges[r];
        EXPECT_EQ(rows[r].Name, names[r]);
        EXPECT_EQ(rows[r].Pixels, stats.PixelCounts[r]);
        // Read back exactly, not merely close.
        EXPECT_EQ(rows[r].Numbers[0], range.MeanU) << names[r];
        EXPECT_EQ(rows[r].Numbers[1], range.DevU) << names[r];
        EXPECT_EQ(rows[r].Numbers[2], range.MeanV) << names[r];
        EXPECT_EQ(rows[r].Numbers[3], range.DevV) << names[r];
    }
}

}  // namespace

TEST_F(CliTest, StatsOfFourPixelsAndOfReferenceCells) {
    // Pure red, pure blue, grey 128 and white.
    TImage four(4, 1);
    SetPixel(four, 0, 255, 0, 0);
    SetPixel(four, 1, 0, 0, 255);
    SetPixel(four, 2, 128, 128, 128);
    SetPixel(four, 3, 255, 255, 255);
    SaveImageFile(Path("four.png"), four);

    const TCliRun run = Cli({"stats", Path("four.png")});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const std::vector<TPrinted> rows = ReadTable(run.Out);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].Pixels, 2);
    EXPECT_EQ(rows[1].Pixels, 1);
    EXPECT_EQ(rows[2].Pixels, 1);
    EXPECT_NEAR(rows[0].Numbers[0], 0.144435, 1e-6);
    EXPECT_NEAR(rows[0].Numbers[1], 0.291565, 1e-6);
    EXPECT_NEAR(rows[0].Numbers[2], 0.257495, 1e-6);
    EXPECT_NEAR(rows[0].Numbers[3], 0.357505, 1e-6);
    EXPECT_NEAR(rows[1].Numbers[0], 0.000005, 1e-7);
    EXPECT_NEAR(rows[2].Numbers[0], 0.00001, 1e-7);
    for (int r = 1; r < 3; ++r)
        for (int i = 1; i < 4; ++i) EXPECT_NEAR(rows[r].Numbers[i], 0.0, 1e-12);
    TColorStats stats{};
    ComputeColorStats(four, stats);
    ExpectPrinted(rows, stats);

    const TCliRun json = Cli({"stats", "--json", Path("four.png")});
    ASSERT_EQ(json.Status, 0) << json.Err;
    EXPECT_EQ(json.Out.rfind(
                  "{\"width\": 4, \"height\": 1, \"ranges\": [{\"range\": \"low\", \"pixels\": 2, \"mean_u\": ", 0),
              0u)
        << json.Out;
    EXPECT_NE(json.Out.find("\"dev_v\": " + Lines(run.Out)[0].substr(Lines(run.Out)[0].rfind('\t') + 1) + "}"),
              std::string::npos);

    // As a reference: the white cell around the four pixels fills the high range.
    const TCliRun cell = Cli({"stats", "--as-reference", Path("four.png")});
    ASSERT_EQ(cell.Status, 0) << cell.Err;
    ComputeColorStats(MakeThumbnailCell(four), stats);
    ExpectPrinted(ReadTable(cell.Out), stats);
    EXPECT_EQ(stats.PixelCounts[2], 150 * 150 - 3);

    // A picture larger than a cell is measured whole, unless taken as a reference.
    const TImage large = MakeTestPicture(300, 200);
    SaveImageFile(Path("large.png"), large);
    ComputeColorStats(large, stats);
    ExpectPrinted(ReadTable(Cli({"stats", Path("large.png")}).Out), stats);
    ComputeColorStats(MakeThumbnailCell(ReduceLikeLibrary(large)), stats);
    ExpectPrinted(ReadTable(Cli({"stats", Path("large.png"), "--as-reference"}).Out), stats);

    EXPECT_EQ(Cli({"stats"}).Status, 2);
    const TCliRun missing = Cli({"stats", Path("none.png")});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_TRUE(IsOneErrorLine(missing.Err)) << missing.Err;
}

TEST_F(CliTest, ScopesDrawsThePictureGradedAndTheReference) {
    const TImage picture = MakeTestPicture(320, 180, 1);
    const TImage referencePicture = MakeTestPicture(120, 90, 2);
    SaveImageFile(Path("picture.png"), picture);
    SaveImageFile(Path("reference.png"), referencePicture);
    ASSERT_EQ(Cli({"look", Path("reference.png"), "-o", Path("look.cube")}).Status, 0);

    const TCliRun run = Cli({"scopes", Path("picture.png"), "-o", Path("scopes.png"), "--reference",
                             Path("reference.png"), "--lut", Path("look.cube"), "--width", "300"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_TRUE(run.Out.empty());

    // The same drawing from the pieces: the picture graded with the LUT file,
    // the reference's cell as cloud and statistics.
    TImage graded = picture.Clone();
    ReadLutFile(Path("look.cube"))->ApplyToImage(graded);
    const TImage cell = MakeThumbnailCell(referencePicture);
    TColorStats stats{};
    ComputeColorStats(cell, stats);
    TScopeData data, cloud;
    data.Measure(graded);
    cloud.Measure(cell);
    const TImage expected =
        ImageFromQImage(DrawScopes(data, TScopeKind::All, 300, false, TScopeReference{&cloud, &stats}));
    TImage written;
    LoadImageFile(Path("scopes.png"), written);
    EXPECT_TRUE(written.SamePixels(expected));

    // One scope, another width; the default width.
    ASSERT_EQ(
        Cli({"scopes", Path("picture.png"), "-o", Path("wave.bmp"), "--scope", "waveform", "--width", "200"}).Status,
        0);
    LoadImageFile(Path("wave.bmp"), written);
    EXPECT_EQ(written.Width(), 200);
    EXPECT_EQ(written.Height(), 100);
    ASSERT_EQ(Cli({"scopes", Path("picture.png"), "-o", Path("vector.png"), "--scope", "vectorscope"}).Status, 0);
    LoadImageFile(Path("vector.png"), written);
    EXPECT_EQ(written.Width(), 512);
    EXPECT_EQ(written.Height(), 512);

    // Bad command lines change nothing.
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"scopes", Path("picture.png"), "-o", Path("x.png"), "--scope", "parade"},
          std::vector<std::string>{"scopes", Path("picture.png"), "-o", Path("x.png"), "--width", "10"},
          std::vector<std::string>{"scopes", Path("picture.png"), "-o", Path("x.txt")},
          std::vector<std::string>{"scopes", Path("picture.png")}}) {
        const TCliRun bad = Cli(words);
        EXPECT_EQ(bad.Status, 2) << words.back();
        EXPECT_TRUE(IsOneErrorLine(bad.Err)) << bad.Err;
    }
    EXPECT_FALSE(std::filesystem::exists(Path("x.png")));
}
