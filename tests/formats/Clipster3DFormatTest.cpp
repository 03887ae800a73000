#include <gtest/gtest.h>

#include "formats/FormatRegistry.h"
#include "formats/LutConvert.h"
#include "tests/formats/FormatTestSupport.h"

namespace {

using formattest::IdentityCube;
using formattest::RandomCube;

class Clipster3DFormatTest : public formattest::TScratchFolderTest {};

TEST_F(Clipster3DFormatTest, WriterLayout) {
    const TLUTFormat& format = *FindLutFormat("clipster-3d");
    auto lut = IdentityCube(17);
    const std::string file = PathOf("look.txt");
    format.SaveToFile(file, *lut, 16);
    const auto lines = ReadLines(file);
    ASSERT_EQ(lines.size(), 2u + 4913u + 2u);
    EXPECT_EQ(lines[0], "<LUT3D name='look' N='17' BitDepth='16'>");
    EXPECT_EQ(lines[1], "<values>");
    EXPECT_EQ(lines[2], "0 0 0");
    EXPECT_EQ(lines[3], "0 0 4096");
    EXPECT_EQ(lines[2 + 4912], "65535 65535 65535");
    EXPECT_EQ(lines[2 + 4913], "</values>");
    EXPECT_EQ(lines[2 + 4914], "</LUT3D>");
}

TEST_F(Clipster3DFormatTest, RoundTripKeepsTheName) {
    const TLUTFormat& format = *FindLutFormat("clipster-3d");
    for (int size : {2, 17}) {
        auto written = RandomCube(size, 900 + size);
        const std::string file = PathOf("grade " + std::to_string(size) + ".txt");
        format.SaveToFile(file, *written, 12);
        EXPECT_TRUE(format.CanRead(file));
        auto read = std::make_unique<TLUT>();
        format.LoadFromFile(file, *read);
        EXPECT_EQ(read->Kind, lkCube);
        formattest::ExpectCubeQuantised(*written, *read, 4095.0);
        EXPECT_EQ(read->Comments, (std::vector<std::string>{"Name: grade_" + std::to_string(size)}));
    }
    // A name with quotes, blanks and markup characters reads back.
    auto lut = IdentityCube(2);
    const std::string awkward = PathOf("it's \"a\" <b>&c.txt");
    format.SaveToFile(awkward, *lut, 10);
    EXPECT_EQ(ReadLines(awkward)[0], "<LUT3D name='it_s__a___b__c' N='2' BitDepth='10'>");
    auto read = std::make_unique<TLUT>();
    format.LoadFromFile(awkward, *read);
    EXPECT_EQ(read->Comments, (std::vector<std::string>{"Name: it_s__a___b__c"}));
    EXPECT_EQ(read->CubeSize, 2);
    const std::string plain = PathOf("plain-name_1.txt");
    format.SaveToFile(plain, *lut, 10);
    EXPECT_EQ(ReadLines(plain)[0], "<LUT3D name='plain-name_1' N='2' BitDepth='10'>");
}

TEST_F(Clipster3DFormatTest, BrokenFilesRaise) {
    const TLUTFormat& format = *FindLutFormat("clipster-3d");
    auto lut = std::make_unique<TLUT>();
    const char* broken[] = {
        "<LUT3D name='x' N='2' BitDepth='8'><values>0 0 0\n1 1 1\n</values></LUT3D>",
        "<LUT3D name='x' N='2' BitDepth='8'></LUT3D>",
        "<other/>",
        "",
        "<LUT3D name='x' N='200' BitDepth='8'><values></values></LUT3D>",
        "<LUT3D name='x' N='2' BitDepth='0'><values></values></LUT3D>",
        "<LUT3D name='x' N='2' BitDepth='99999999999999'><values></values></LUT3D>",
        "<LUT3D name='x' N='abc' BitDepth='8'><values></values></LUT3D>",
    };
    for (const char* text : broken) EXPECT_THROW(format.LoadFromFile(WriteRaw("b.txt", text), *lut), EError) << text;
    try {
        format.LoadFromFile(WriteRaw("s.txt", broken[0]), *lut);
    } catch (const ELUTError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Incomplete file. ", 0), 0u) << e.what();
    }
    EXPECT_EQ(lut->CubeSize, 2);
    EXPECT_THROW(format.SaveToFile(PathOf("z.txt"), *IdentityCube(2), 0), ELUTError);
}

}  // namespace

namespace {

// Only a document whose root element is LUT3D is this format: a process
// list holding a LUT3D element, or a Houdini table, is read by no format.
TEST_F(Clipster3DFormatTest, DetectionNeedsTheRootElement) {
    const TLUTFormat& format = *FindLutFormat("clipster-3d");
    EXPECT_TRUE(format.CanRead(WriteRaw("a.txt", "<?xml version='1.0'?>\n<!-- look -->\n<LUT3D N='2'>")));
    EXPECT_TRUE(format.CanRead(WriteRaw("b.txt", "  <lut3d\n name='x'>")));
    const std::string clf =
        WriteRaw("c.clf",
                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                 "<ProcessList compCLFversion=\"3\" id=\"1\" xmlns=\"urn:NATAS:ASC:LUT:v0.95\">\n"
                 "  <LUT3D id=\"a\" inBitDepth=\"32f\" outBitDepth=\"32f\">\n"
                 "    <Array dim=\"2 2 2 3\">\n0 0 0\n0 0 1\n0 1 0\n0 1 1\n1 0 0\n1 0 1\n1 1 0\n1 1 1\n</Array>\n"
                 "  </LUT3D>\n</ProcessList>\n");
    EXPECT_FALSE(format.CanRead(clf));
    EXPECT_FALSE(format.CanRead(WriteRaw("d.txt", "<LUT3DX N='2'>")));
    // The process list goes to the CLF reader, which detection tries first.
    EXPECT_EQ(FindReaderFormat(clf), LutFormatIndex("clf"));
    const std::string houdini =
        WriteRaw("e.lut",
                 "Version\t\t3\nFormat\t\tany\nType\t\t3D\nFrom\t\t0.0 1.0\nTo\t\t0.0 1.0\nBlack\t\t0\n"
                 "White\t\t1\nLength\t\t2\nLUT:\n {\n 0 0 0\n 1 1 1\n}\n");
    EXPECT_EQ(FindReaderFormat(houdini), -1);
}

}  // namespace
