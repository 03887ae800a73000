#include <gtest/gtest.h>

#include "formats/FormatRegistry.h"
#include "tests/formats/FormatTestSupport.h"

namespace {

using formattest::IdentityCube;
using formattest::RandomCube;

class ThreeDlFormatsTest : public formattest::TScratchFolderTest {};

TEST_F(ThreeDlFormatsTest, WriterLayout) {
    const TLUTFormat& format = *FindLutFormat("3dl");
    auto lut = IdentityCube(17);
    lut->Comments = {"look one"};
    const std::string file = PathOf("look.3dl");
    format.SaveToFile(file, *lut, 12);
    const auto lines = ReadLines(file);
    ASSERT_EQ(lines.size(), 3u + 4913u);
    EXPECT_EQ(lines[0], "# look one");
    EXPECT_EQ(lines[1], "# Converted by Quor LUT Converter");
    EXPECT_EQ(lines[2], "0 64 128 192 256 320 384 448 512 576 640 704 768 832 896 960 1023");
    EXPECT_EQ(lines[3], "0 0 0");
    EXPECT_EQ(lines[4], "0 0 256");
    EXPECT_EQ(lines.back(), "4095 4095 4095");

    auto big = IdentityCube(33);
    format.SaveToFile(file, *big, 12);
    const std::string range = ReadLines(file)[1];
    EXPECT_EQ(range.rfind("0 32 64 96 128 160 192 224 256 288 320 352 384 416 448 480 512 ", 0), 0u) << range;
    EXPECT_EQ(range.substr(range.size() - 9), " 992 1023");
}

TEST_F(ThreeDlFormatsTest, RoundTripAndBitDepthScan) {
    const TLUTFormat& format = *FindLutFormat("3dl");
    for (int size : {2, 17}) {
        auto written = RandomCube(size, 200 + size);
        written->Comments = {"c"};
        const std::string file = PathOf("rt.3dl");
        format.SaveToFile(file, *written, 12);
        auto read = std::make_unique<TLUT>();
        format.LoadFromFile(file, *read);
        EXPECT_EQ(read->Kind, lkCube);
        formattest::ExpectCubeQuantised(*written, *read, 4095.0);
        EXPECT_EQ(read->Comments, (std::vector<std::string>{"c", "Converted by Quor LUT Converter"}));

        // At 16 bits the scan switches the whole file to 65535.
        format.SaveToFile(file, *written, 16);
        format.LoadFromFile(file, *read);
        formattest::ExpectCubeQuantised(*written, *read, 65535.0);
    }

    // All values at most 4095: 12 bits; one 4096 switches every line to 16.
    std::string text = "0 1023\n";
    for (int k = 0; k < 7; ++k) text += "4095 0 0\n";
    auto lut = std::make_unique<TLUT>();
    format.LoadFromFile(WriteRaw("a.3dl", text + "4095 4095 4095\n"), *lut);
    EXPECT_EQ(lut->Cube[0][0][0].Red, 1.0);
    format.LoadFromFile(WriteRaw("b.3dl", text + "4096 0 0\n# 1 2 3\n"), *lut);
    EXPECT_EQ(lut->Cube[0][0][0].Red, 4095 / 65535.0);
    EXPECT_EQ(lut->Cube[1][1][1].Red, 4096 / 65535.0);
}

TEST_F(ThreeDlFormatsTest, DetectionAndHeaderRules) {
    const TLUTFormat& format = *FindLutFormat("3dl");
    auto lut = IdentityCube(2);
    format.SaveToFile(PathOf("look.3DL"), *lut, 12);
    format.SaveToFile(PathOf("look.txt"), *lut, 12);
    EXPECT_TRUE(format.CanRead("", PathOf("look.3DL")));
    EXPECT_TRUE(format.CanRead("", PathOf("x.3dl")));  // extension only, whatever the head
    EXPECT_FALSE(format.CanRead("0 64 128\n", PathOf("look.txt")));

    // A range line with a non-integer piece gives no size; 102 pieces are refused.
    auto read = std::make_unique<TLUT>();
    EXPECT_THROW(format.LoadFromFile(WriteRaw("c.3dl", "0 1x 1023\n0 0 0\n"), *read), ELUTError);
    std::string wide;
    for (int i = 0; i < 102; ++i) wide += std::to_string(i) + " ";
    try {
        format.LoadFromFile(WriteRaw("d.3dl", wide + "\n"), *read);
        FAIL();
    } catch (const ELUTError& e) {
        EXPECT_NE(std::string(e.what()).find("102"), std::string::npos) << e.what();
    }
    EXPECT_THROW(format.SaveToFile(PathOf("e.3dl"), *lut, 0), ELUTError);
}

TEST_F(ThreeDlFormatsTest, LustreLayoutDeclaresTheMatchingMesh) {
    const TLUTFormat& format = *FindLutFormat("lustre-3d");
    auto lut = IdentityCube(33);
    lut->Comments = {"not written"};
    const std::string file = PathOf("look.lut");
    format.SaveToFile(file, *lut, 12);
    const auto lines = ReadLines(file);
    ASSERT_EQ(lines.size(), 6u + 35937u + 3u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "# Converted by Quor LUT Converter");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], "3DMESH");
    EXPECT_EQ(lines[4], "Mesh 5 12");
    EXPECT_EQ(lines[5], "");
    EXPECT_EQ(lines[6], "0 0 0");
    EXPECT_EQ(lines[7], "0 0 128");  // 4095 / 32 = 127.97
    EXPECT_EQ(lines[6 + 35936], "4095 4095 4095");
    EXPECT_EQ(lines[6 + 35937], "");
    EXPECT_EQ(lines[6 + 35938], "LUT8");
    EXPECT_EQ(lines[6 + 35939], "gamma 1.0");

    const std::pair<int, const char*> meshes[] = {{2, "Mesh 0 10"}, {17, "Mesh 4 10"}, {65, "Mesh 6 10"}};
    for (auto [size, mesh] : meshes) {
        auto cube = IdentityCube(size);
        format.SaveToFile(file, *cube, 10);
        EXPECT_EQ(ReadLines(file)[4], mesh);
    }
    for (int size : {16, 32, 33 + 1, 64, 101}) {
        auto cube = IdentityCube(size);
        EXPECT_THROW(format.SaveToFile(PathOf("refused.lut"), *cube, 12), ELUTError) << size;
    }
    EXPECT_FALSE(std::filesystem::exists(PathOf("refused.lut")));
}

TEST_F(ThreeDlFormatsTest, LustreRoundTripAndIncompleteFiles) {
    const TLUTFormat& format = *FindLutFormat("lustre-3d");
    for (int size : {2, 17}) {
        auto written = RandomCube(size, 300 + size);
        const std::string file = PathOf("rt.lut");
        format.SaveToFile(file, *written, 12);
        EXPECT_TRUE(format.CanRead(file));
        auto read = std::make_unique<TLUT>();
        format.LoadFromFile(file, *read);
        EXPECT_EQ(read->Kind, lkCube);
        formattest::ExpectCubeQuantised(*written, *read, 4095.0);
    }

    auto lut = std::make_unique<TLUT>();
    const std::string shortFile = WriteRaw("short.lut", "3DMESH\nMesh 0 12\n0 0 0\n1 1 1\n");
    try {
        format.LoadFromFile(shortFile, *lut);
        FAIL();
    } catch (const ELUTError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Incomplete file. ", 0), 0u) << e.what();
    }
    EXPECT_EQ(lut->CubeSize, 2);
    lut->CubeSize = 17;
    EXPECT_THROW(format.LoadFromFile(WriteRaw("nomesh.lut", "3DMESH\n1 2 3\n"), *lut), ELUTError);
    EXPECT_EQ(lut->CubeSize, 17);
    for (const char* mesh : {"Mesh 7 12", "Mesh -1 12", "Mesh 40 12", "Mesh 4 0", "Mesh 4 99", "Mesh x 12"})
        EXPECT_THROW(format.LoadFromFile(WriteRaw("bad.lut", std::string("3DMESH\n") + mesh + "\n"), *lut), EError)
            << mesh;
    EXPECT_FALSE(format.CanRead(WriteRaw("other.txt", "Mesh 5 12\n")));
}

}  // namespace
