#include <gtest/gtest.h>

#include "formats/FormatRegistry.h"
#include "tests/formats/FormatTestSupport.h"

namespace {

using formattest::IdentityCube;
using formattest::kSixDecimals;
using formattest::RandomCube;

class DecimalCubeFormatsTest : public formattest::TScratchFolderTest {};

TEST_F(DecimalCubeFormatsTest, ColorfrontLayoutAndRoundTrip) {
    const TLUTFormat& format = *FindLutFormat("colorfront-osd-3d");
    auto lut = IdentityCube(17);
    lut->Comments = {"not written"};
    const std::string file = PathOf("look.3dmesh");
    format.SaveToFile(file, *lut, 0);
    const auto lines = ReadLines(file);
    ASSERT_EQ(lines.size(), 4913u);
    EXPECT_EQ(lines[0], "0.000000 0.000000 0.000000");
    EXPECT_EQ(lines[1], "0.000000 0.000000 0.062500");
    EXPECT_EQ(lines[17], "0.000000 0.062500 0.000000");
    EXPECT_EQ(lines[289], "0.062500 0.000000 0.000000");
    EXPECT_EQ(lines.back(), "1.000000 1.000000 1.000000");

    for (int size : {2, 17}) {
        auto written = RandomCube(size, 700 + size);
        format.SaveToFile(file, *written, 0);
        auto read = std::make_unique<TLUT>();
        format.LoadFromFile(file, *read);
        EXPECT_EQ(read->Kind, lkCube);
        formattest::ExpectCubesNear(*written, *read, kSixDecimals);
    }
    // The name alone decides: any head, even none.
    EXPECT_TRUE(format.CanRead("", PathOf("x.3DMesh")));
    EXPECT_FALSE(format.CanRead("0 0 0\n", PathOf("x.3dl")));
}

TEST_F(DecimalCubeFormatsTest, ColorfrontInfersTheSizeFromTheLineCount) {
    const TLUTFormat& format = *FindLutFormat("colorfront-osd-3d");
    auto lut = std::make_unique<TLUT>();
    std::string text = "# header\n";
    for (int k = 0; k < 8; ++k) text += "0.5 0.25 " + std::to_string(k) + "\n";
    format.LoadFromFile(WriteRaw("a.3dmesh", text), *lut);
    EXPECT_EQ(lut->CubeSize, 2);
    EXPECT_EQ(lut->Cube[1][0][0].Red, 1.0);  // third value is red
    EXPECT_EQ(lut->Cube[1][0][0].Blue, 0.5);
    EXPECT_EQ(lut->Cube[0][0][1].Red, 4.0);

    // 7 lines round to 2 points per axis but do not fill them.
    std::string seven = text.substr(0, text.rfind("0.5"));
    EXPECT_THROW(format.LoadFromFile(WriteRaw("b.3dmesh", seven), *lut), ELUTError);
    EXPECT_THROW(format.LoadFromFile(WriteRaw("c.3dmesh", "garbage\nmore\n"), *lut), ELUTError);
    EXPECT_THROW(format.LoadFromFile(WriteRaw("d.3dmesh", "1 2 3\n"), *lut), ELUTError);
}

TEST_F(DecimalCubeFormatsTest, DavinciLayoutAndRoundTrip) {
    const TLUTFormat& format = *FindLutFormat("davinci-dat-3d");
    auto lut = IdentityCube(17);
    const std::string file = PathOf("look.dat");
    format.SaveToFile(file, *lut, 0);
    const auto lines = ReadLines(file);
    ASSERT_EQ(lines.size(), 2u + 4913u);
    EXPECT_EQ(lines[0], "3DLUTSIZE 17");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "0.000000 0.000000 0.000000");
    EXPECT_EQ(lines[3], "0.000000 0.000000 0.062500");
    EXPECT_EQ(lines.back(), "1.000000 1.000000 1.000000");

    for (int size : {2, 17}) {
        auto written = RandomCube(size, 800 + size);
        format.SaveToFile(file, *written, 0);
        EXPECT_TRUE(format.CanRead(file));
        auto read = std::make_unique<TLUT>();
        format.LoadFromFile(file, *read);
        formattest::ExpectCubesNear(*written, *read, kSixDecimals);
    }
}

TEST_F(DecimalCubeFormatsTest, DavinciWithoutKeywordAndDetection) {
    const TLUTFormat& format = *FindLutFormat("davinci-dat-3d");
    std::string text;
    for (int k = 0; k < 35937; ++k) text += "0 0 " + std::to_string(k % 33) + "\n";
    const std::string file = WriteRaw("plain.dat", text);
    EXPECT_TRUE(format.CanRead(file));
    EXPECT_FALSE(format.CanRead(WriteRaw("plain.txt", text.substr(0, 100))));
    EXPECT_FALSE(format.CanRead(WriteRaw("words.dat", "no numbers here\n")));
    EXPECT_TRUE(format.CanRead(WriteRaw("kw.txt", "3dlutsize 2\n")));
    auto lut = std::make_unique<TLUT>();
    format.LoadFromFile(file, *lut);
    EXPECT_EQ(lut->CubeSize, 33);
    EXPECT_EQ(lut->Cube[32][0][0].Red, 32.0);

    EXPECT_THROW(format.LoadFromFile(WriteRaw("big.dat", "3DLUTSIZE 200\n"), *lut), ELUTError);
    EXPECT_THROW(format.LoadFromFile(WriteRaw("short.dat", "3DLUTSIZE 2\n0 0 0\n"), *lut), ELUTError);
    EXPECT_THROW(format.LoadFromFile(WriteRaw("bad.dat", "3DLUTSIZE two\n"), *lut), EError);
}

}  // namespace
