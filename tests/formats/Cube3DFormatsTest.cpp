#include <gtest/gtest.h>

#include "formats/FormatRegistry.h"
#include "formats/Lut1DFormats.h"
#include "tests/formats/FormatTestSupport.h"

namespace {

using formattest::IdentityCube;
using formattest::kSixDecimals;
using formattest::RandomCube;

class Cube3DFormatsTest : public formattest::TScratchFolderTest {};

TEST_F(Cube3DFormatsTest, CubeWriterLayout) {
    auto lut = IdentityCube(2);
    lut->Comments = {"first", "second"};
    const TLUTFormat& format = *FindLutFormat("cube-3d");
    const std::string file = PathOf("look.cube");
    format.SaveToFile(file, *lut, 12);
    const auto lines = ReadLines(file);
    ASSERT_EQ(lines.size(), 5u + 8u);
    EXPECT_EQ(lines[0], "# first");
    EXPECT_EQ(lines[1], "# second");
    EXPECT_EQ(lines[2], "# Converted by Quor LUT Converter");
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], "LUT_3D_SIZE 2");
    EXPECT_EQ(lines[5], "0.000000 0.000000 0.000000");
    EXPECT_EQ(lines[6], "1.000000 0.000000 0.000000");  // red fastest
    EXPECT_EQ(lines[7], "0.000000 1.000000 0.000000");
    EXPECT_EQ(lines[9], "0.000000 0.000000 1.000000");
    EXPECT_EQ(lines[12], "1.000000 1.000000 1.000000");

    auto odd = IdentityCube(17);
    odd->Cube[16][16][16] = TRGBDouble{0.25, 0.1234564, -0.5};
    format.SaveToFile(file, *odd, 0);
    const auto oddLines = ReadLines(file);
    ASSERT_EQ(oddLines.size(), 3u + 4913u);
    EXPECT_EQ(oddLines[2], "LUT_3D_SIZE 17");
    EXPECT_EQ(oddLines[4], "0.062500 0.000000 0.000000");
    EXPECT_EQ(oddLines.back(), "0.250000 0.123456 -0.500000");
}

TEST_F(Cube3DFormatsTest, CubeRoundTrip) {
    const TLUTFormat& format = *FindLutFormat("cube-3d");
    for (int size : {2, 17}) {
        auto written = RandomCube(size, size);
        written->Comments = {"graded look", "second line"};
        const std::string file = PathOf("rt" + std::to_string(size) + ".cube");
        format.SaveToFile(file, *written, 0);
        auto read = std::make_unique<TLUT>();
        format.LoadFromFile(file, *read);
        EXPECT_EQ(read->Kind, lkCube);
        formattest::ExpectCubesNear(*written, *read, kSixDecimals);
        EXPECT_EQ(read->Comments,
                  (std::vector<std::string>{"graded look", "second line", "Converted by Quor LUT Converter"}));
    }
}

TEST_F(Cube3DFormatsTest, CubeReaderHeaderRules) {
    const std::string file = WriteRaw("other.cube",
                                      "TITLE \"x\"\r\n#  a comment  \r\n0.5 0.5 0.5\r\nDOMAIN_MIN 0 0 0\r\n"
                                      "lut_3d_size 2\r\n# after the size\r\n\r\n"
                                      "0 0 0\r\n1 0 0\r\n0 1 0\r\n1 1 0\r\n0 0 1\r\n1 0 1\r\n0 1 1\r\n1 1 0.75\r\n");
    auto lut = std::make_unique<TLUT>();
    const TLUTFormat& format = *FindLutFormat("cube-3d");
    format.LoadFromFile(file, *lut);
    EXPECT_EQ(lut->CubeSize, 2);
    EXPECT_EQ(lut->Comments, (std::vector<std::string>{"a comment"}));
    EXPECT_EQ(lut->Cube[1][0][0].Red, 1.0);
    EXPECT_EQ(lut->Cube[0][1][0].Green, 1.0);
    EXPECT_EQ(lut->Cube[1][1][1].Blue, 0.75);
    EXPECT_EQ(lut->Cube[0][0][0].Red, 0.0);  // the line before the size is not data

    const std::string shortFile = WriteRaw("short.cube", "LUT_3D_SIZE 2\n0 0 0\n1 0 0\n");
    auto other = std::make_unique<TLUT>();
    try {
        format.LoadFromFile(shortFile, *other);
        FAIL();
    } catch (const ELUTError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Incomplete file. ", 0), 0u) << e.what();
    }
    EXPECT_EQ(other->CubeSize, 2);
    EXPECT_EQ(other->Kind, lkCube);

    for (const char* size : {"102", "1", "0", "-3", "99999999999"}) {
        const std::string big = WriteRaw("big.cube", std::string("LUT_3D_SIZE ") + size + "\n0 0 0\n");
        EXPECT_THROW(format.LoadFromFile(big, *other), ELUTError) << size;
    }
    try {
        format.LoadFromFile(WriteRaw("huge.cube", "LUT_3D_SIZE 1000\n"), *other);
        FAIL();
    } catch (const ELUTError& e) {
        EXPECT_NE(std::string(e.what()).find("1000"), std::string::npos) << e.what();
    }
    EXPECT_THROW(format.LoadFromFile(WriteRaw("bad.cube", "LUT_3D_SIZE 3x\n"), *other), EError);
}

// A shaped cube file: the 1D table's lines ahead of an identity 2-point
// cube, red fastest; `header` holds the keyword lines.
std::string ShapedCube(const std::string& header) {
    return header +
           "0 0 0\n0.25 0.5 0.75\n1 1 1\n"
           "0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 0.5\n";
}

TEST_F(Cube3DFormatsTest, CubeShaperGoesToTheCurve) {
    const TLUTFormat& format = *FindLutFormat("cube-3d");
    const std::string headers[] = {
        "# shaped\nLUT_1D_SIZE 3\nLUT_1D_INPUT_RANGE 0.000000 1.000000\nLUT_3D_SIZE 2\n",
        // Keywords between the size line and the data, any letter case.
        "# shaped\r\nLUT_3D_SIZE 2\r\n# not a header comment\r\nlut_1d_size\t3\r\n"
        "LUT_3D_INPUT_RANGE 0 1\r\n"
        "LUT_1D_INPUT_RANGE 0.0   1.0\r\n\r\n",
    };
    for (const std::string& header : headers) {
        auto lut = std::make_unique<TLUT>();
        format.LoadFromFile(WriteRaw("shaped.cube", ShapedCube(header)), *lut);
        EXPECT_EQ(lut->Kind, lkCurveThenCube);
        EXPECT_EQ(lut->CurveSize, 3);
        EXPECT_EQ(lut->CubeSize, 2);
        EXPECT_EQ(lut->Comments, (std::vector<std::string>{"shaped"}));
        // The shaper values as they stand, then the cube from its first line.
        EXPECT_EQ(lut->Curve[1].Red, 0.25);
        EXPECT_EQ(lut->Curve[1].Green, 0.5);
        EXPECT_EQ(lut->Curve[1].Blue, 0.75);
        EXPECT_EQ(lut->Curve[2].Green, 1.0);
        EXPECT_EQ(lut->Cube[0][0][0].Red, 0.0);
        EXPECT_EQ(lut->Cube[1][0][0].Red, 1.0);
        EXPECT_EQ(lut->Cube[0][1][0].Green, 1.0);
        EXPECT_EQ(lut->Cube[1][1][1].Blue, 0.5);
        // Mid grey through the shaper lands on (0.25, 0.5, 0.75) of the cube.
        TRGBDouble out;
        lut->LookupNormalized(TRGBDouble{0.5, 0.5, 0.5}, out);
        EXPECT_DOUBLE_EQ(out.Red, 0.25);
        EXPECT_DOUBLE_EQ(out.Green, 0.5);
        // Blue: 0.75 less the (1,1,1) corner's weight 0.25 * 0.5 * 0.75 times its 0.5 drop.
        EXPECT_DOUBLE_EQ(out.Blue, 0.703125);
    }

    // A reader reused after a shaped file reads a plain one as a plain cube,
    // and a plain file's input range is baked into its table (the inputs
    // 0..1 read the first quarter of the file's 0..4).
    auto lut = std::make_unique<TLUT>();
    format.LoadFromFile(WriteRaw("plain.cube",
                                 "LUT_3D_INPUT_RANGE 0 4\nLUT_3D_SIZE 2\n"
                                 "0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n"),
                        *lut);
    EXPECT_EQ(lut->Kind, lkCube);
    EXPECT_EQ(lut->Cube[1][0][0].Red, 0.25);
    EXPECT_EQ(lut->Cube[1][1][1].Blue, 0.25);

    // The largest shaper the curve holds.
    std::string longest = "LUT_1D_SIZE 100001\nLUT_3D_SIZE 2\n";
    for (int i = 0; i < 100001; ++i) longest += "0.5 0.5 0.5\n";
    format.LoadFromFile(WriteRaw("longest.cube", ShapedCube(longest)), *lut);
    EXPECT_EQ(lut->CurveSize, 100001);
    EXPECT_EQ(lut->Curve[100000].Red, 0.5);
    // The cube takes the next eight lines, lines after a complete cube are ignored.
    EXPECT_EQ(lut->Cube[0][0][0].Red, 0.0);
    EXPECT_EQ(lut->Cube[1][0][0].Red, 0.25);
    EXPECT_EQ(lut->Cube[0][1][0].Red, 1.0);
    EXPECT_EQ(lut->Cube[1][1][1].Blue, 1.0);
    EXPECT_EQ(lut->Cube[1][1][1].Green, 0.0);

    // Truelight files keep their own input table and know no shaper keyword.
    std::string truelight =
        "# Truelight Cube v2.0\n# iDims 3\n# oDims 3\n# width 2 2 2\n"
        "LUT_1D_SIZE 3\n# Cube\n";
    const TLUTFormat& truelightFormat = *FindLutFormat("cube-3d-truelight");
    truelightFormat.LoadFromFile(WriteRaw("t.cube", ShapedCube(truelight)), *lut);
    EXPECT_EQ(lut->Kind, lkCube);
    EXPECT_EQ(lut->Cube[1][0][0].Red, 0.25);
}

TEST_F(Cube3DFormatsTest, CubeShaperRefusals) {
    const TLUTFormat& format = *FindLutFormat("cube-3d");
    auto lut = std::make_unique<TLUT>();
    auto expectError = [&](const std::string& text, const std::string& part) {
        try {
            format.LoadFromFile(WriteRaw("bad.cube", text), *lut);
            ADD_FAILURE() << "accepted: " << text.substr(0, 80);
        } catch (const ELUTError& e) {
            EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
        }
    };
    // Malformed input ranges, in either section.
    expectError(ShapedCube("LUT_3D_SIZE 2\nLUT_1D_SIZE 3\nLUT_1D_INPUT_RANGE 0\n"), "LUT_1D_INPUT_RANGE 0");
    expectError(ShapedCube("LUT_1D_SIZE 3\nLUT_3D_SIZE 2\nLUT_1D_INPUT_RANGE 0 1 2\n"), "input range");
    // Shaper sizes outside the curve's capacity, and malformed ones.
    expectError(ShapedCube("LUT_1D_SIZE 1\nLUT_3D_SIZE 2\n"), "1D LUT size 1");
    expectError(ShapedCube("LUT_1D_SIZE 100002\nLUT_3D_SIZE 2\n"), "100002");
    expectError(ShapedCube("LUT_1D_SIZE 3x\nLUT_3D_SIZE 2\n"), "'3x'");
    // A shaper longer than the file's data leaves the cube short, and a
    // file that ends inside the shaper has no cube at all.
    expectError(ShapedCube("LUT_1D_SIZE 4\nLUT_3D_SIZE 2\n"), "Incomplete file.");
    expectError("LUT_1D_SIZE 3\nLUT_3D_SIZE 2\n0 0 0\n0.5 0.5 0.5\n", "Incomplete file.");
    expectError("LUT_1D_SIZE 3\n0 0 0\n0.5 0.5 0.5\n1 1 1\n", "Incomplete file.");
}

TEST_F(Cube3DFormatsTest, DeclaredInputRangesAreBakedIntoTheTables) {
    const TLUTFormat& cube = *FindLutFormat("cube-3d");
    auto lut = std::make_unique<TLUT>();
    // Three points per axis holding 0, 1 and 2: over the domain 0..2 the
    // inputs 0, 0.5 and 1 read the file's grid a quarter of its way apart.
    std::string data;
    for (int b = 0; b < 3; ++b)
        for (int g = 0; g < 3; ++g)
            for (int r = 0; r < 3; ++r)
                data += std::to_string(r) + " " + std::to_string(g) + " " + std::to_string(b) + "\n";
    cube.LoadFromFile(WriteRaw("domain.cube", "LUT_3D_SIZE 3\nDOMAIN_MIN 0 0 0\nDOMAIN_MAX 2 2 2\n" + data), *lut);
    ASSERT_EQ(lut->CubeSize, 3);
    EXPECT_EQ(lut->Kind, lkCube);
    EXPECT_DOUBLE_EQ(lut->Cube[1][0][0].Red, 0.5);
    EXPECT_DOUBLE_EQ(lut->Cube[2][2][1].Green, 1.0);
    EXPECT_DOUBLE_EQ(lut->Cube[2][2][1].Blue, 0.5);
    // The same through LUT_3D_INPUT_RANGE.
    const std::string range = "LUT_3D_SIZE 3\nLUT_3D_INPUT_RANGE 0 2\n" + data;
    cube.LoadFromFile(WriteRaw("range.cube", range), *lut);
    EXPECT_DOUBLE_EQ(lut->Cube[1][0][0].Red, 0.5);

    // Ranges that do not read, empty ones, and one for a table the file
    // does not hold are refused by name.
    auto messageOf = [&](const std::string& header) {
        try {
            cube.LoadFromFile(WriteRaw("bad.cube", header + data), *lut);
        } catch (const ELUTError& e) {
            return std::string(e.what());
        }
        return std::string("(no error)");
    };
    EXPECT_NE(messageOf("LUT_3D_SIZE 3\nDOMAIN_MAX 2 2\n").find("\"DOMAIN_MAX 2 2\""), std::string::npos);
    EXPECT_NE(messageOf("LUT_3D_SIZE 3\nDOMAIN_MIN 1 0 0\n").find("\"DOMAIN_MIN 1 0 0\""), std::string::npos);
    EXPECT_NE(messageOf("LUT_3D_SIZE 3\nLUT_3D_INPUT_RANGE 0 x\n").find("LUT_3D_INPUT_RANGE 0 x"), std::string::npos);
    EXPECT_NE(messageOf("LUT_3D_SIZE 3\nLUT_1D_INPUT_RANGE 0 2\n").find("LUT_1D_INPUT_RANGE 0 2"), std::string::npos);
    // The identity declarations change nothing.
    EXPECT_EQ(messageOf("LUT_3D_SIZE 3\nDOMAIN_MIN 0 0 0\nDOMAIN_MAX 1 1 1\nLUT_3D_INPUT_RANGE 0 1\n"), "(no error)");
    EXPECT_EQ(lut->Cube[1][0][0].Red, 1.0);

    // A curve's range is baked the same way, per channel.
    const TLUTFormat& curve = *FindLutFormat("cube-1d");
    curve.LoadFromFile(WriteRaw("c.cube", "LUT_1D_SIZE 3\nDOMAIN_MAX 2 1 4\n0 0 0\n1 1 1\n2 2 2\n"), *lut);
    ASSERT_EQ(lut->CurveSize, 3);
    EXPECT_DOUBLE_EQ(lut->Curve[1].Red, 0.5);
    EXPECT_DOUBLE_EQ(lut->Curve[1].Green, 1.0);
    EXPECT_DOUBLE_EQ(lut->Curve[2].Blue, 0.5);
    curve.LoadFromFile(WriteRaw("d.cube", "LUT_1D_SIZE 3\nLUT_1D_INPUT_RANGE -1 1\n0 0 0\n1 1 1\n2 2 2\n"), *lut);
    EXPECT_DOUBLE_EQ(lut->Curve[0].Red, 1.0);
    EXPECT_DOUBLE_EQ(lut->Curve[1].Red, 1.5);
    EXPECT_THROW(curve.LoadFromFile(WriteRaw("e.cube", "LUT_1D_SIZE 2\nLUT_3D_INPUT_RANGE 0 2\n0 0 0\n1 1 1\n"), *lut),
                 ELUTError);
}

TEST_F(Cube3DFormatsTest, DetectionKeepsTheFamilyApart) {
    const TLUTFormat& cube = *FindLutFormat("cube-3d");
    const TLUTFormat& truelight = *FindLutFormat("cube-3d-truelight");
    const TLUTFormat& cfe = *FindLutFormat("fsi-cfe-3d");
    const TLUTFormat& nucoda = *FindLutFormat("nucoda-3d");
    const TLUTFormat& codex = *FindLutFormat("codex-3d");
    auto lut = IdentityCube(2);
    const std::string cubeFile = PathOf("a.cube");
    const std::string truelightFile = PathOf("b.cube");
    const std::string cfeFile = PathOf("c.cfe");
    const std::string nucodaFile = PathOf("d.cms");
    const std::string codexFile = PathOf("e.txt");
    cube.SaveToFile(cubeFile, *lut, 0);
    truelight.SaveToFile(truelightFile, *lut, 0);
    cfe.SaveToFile(cfeFile, *lut, 0);
    nucoda.SaveToFile(nucodaFile, *lut, 0);
    codex.SaveToFile(codexFile, *lut, 12);

    EXPECT_TRUE(cube.CanRead(cubeFile));
    EXPECT_FALSE(cube.CanRead(cfeFile));
    EXPECT_FALSE(cube.CanRead(nucodaFile));
    EXPECT_FALSE(cube.CanRead(truelightFile));
    EXPECT_TRUE(cfe.CanRead(cfeFile));
    EXPECT_FALSE(cfe.CanRead(cubeFile));
    EXPECT_FALSE(cfe.CanRead(nucodaFile));
    EXPECT_TRUE(nucoda.CanRead(nucodaFile));
    EXPECT_FALSE(nucoda.CanRead(cubeFile));
    EXPECT_TRUE(truelight.CanRead(truelightFile));
    EXPECT_FALSE(truelight.CanRead(cubeFile));
    EXPECT_TRUE(codex.CanRead(codexFile));
    EXPECT_FALSE(codex.CanRead(cubeFile));
    const std::string both = WriteRaw("both.cube", "NUCODA_3D_CUBE 1\n# iDims oDims width\n");
    EXPECT_FALSE(truelight.CanRead(both));
    EXPECT_TRUE(nucoda.CanRead(both));
    EXPECT_THROW(cube.CanRead(PathOf("missing.cube")), EError);

    // A cube with a 1D shaper is Cube 3D's; a 1D-only cube is Cube 1D's.
    const TLUTFormat& cube1D = *FindLutFormat("cube-1d");
    const std::string shaped = WriteRaw("shaped.cube", ShapedCube("LUT_1D_SIZE 3\nLUT_3D_SIZE 2\n"));
    const std::string curve = WriteRaw("curve.cube", "LUT_1D_SIZE 2\n0 0 0\n1 1 1\n");
    EXPECT_TRUE(cube.CanRead(shaped));
    EXPECT_FALSE(cube1D.CanRead(shaped));
    EXPECT_FALSE(cube.CanRead(curve));
    EXPECT_TRUE(cube1D.CanRead(curve));
    EXPECT_FALSE(truelight.CanRead(shaped));
    EXPECT_FALSE(cfe.CanRead(shaped));
    EXPECT_FALSE(nucoda.CanRead(shaped));
}

TEST_F(Cube3DFormatsTest, TruelightLayoutAndRoundTrip) {
    const TLUTFormat& format = *FindLutFormat("cube-3d-truelight");
    auto lut = IdentityCube(17);
    lut->Comments = {"not written"};
    const std::string file = PathOf("t.cube");
    format.SaveToFile(file, *lut, 0);
    const auto lines = ReadLines(file);
    ASSERT_EQ(lines.size(), 6u + 4913u + 2u);
    EXPECT_EQ(lines[0], "# Truelight Cube v2.0");
    EXPECT_EQ(lines[1], "# iDims     3");
    EXPECT_EQ(lines[2], "# oDims     3");
    EXPECT_EQ(lines[3], "# width     17 17 17");
    EXPECT_EQ(lines[4], "");
    EXPECT_EQ(lines[5], "# Cube");
    EXPECT_EQ(lines[6], "0.000000 0.000000 0.000000");
    EXPECT_EQ(lines[7], "0.062500 0.000000 0.000000");
    EXPECT_EQ(lines[6 + 4912], "1.000000 1.000000 1.000000");
    EXPECT_EQ(lines[6 + 4913], "# end");
    EXPECT_EQ(lines[6 + 4914], "# Converted by Quor LUT Converter");

    for (int size : {2, 17}) {
        auto written = RandomCube(size, 30 + size);
        format.SaveToFile(file, *written, 0);
        auto read = std::make_unique<TLUT>();
        format.LoadFromFile(file, *read);
        EXPECT_EQ(read->Kind, lkCube);
        EXPECT_TRUE(read->Comments.empty());
        formattest::ExpectCubesNear(*written, *read, kSixDecimals);
    }
}

TEST_F(Cube3DFormatsTest, TruelightInputTableGoesToTheCurve) {
    std::string text =
        "# Truelight Cube v2.0\n# lutLength 3\n# iDims     3\n# oDims     3\n"
        "# width     3 3 3\n\n# InputLUT\n 0.000000 0.000000 0.000000\n"
        " 1.000000 0.500000 1.500000\n 2.000000 2.000000 2.000000\n\n# Cube\n";
    for (int k = 0; k < 27; ++k) text += std::to_string(k / 32.0) + " 0.5 0.25\n";
    text += "# end\n";
    auto lut = std::make_unique<TLUT>();
    const TLUTFormat& format = *FindLutFormat("cube-3d-truelight");
    format.LoadFromFile(WriteRaw("in.cube", text), *lut);
    EXPECT_EQ(lut->Kind, lkCurveThenCube);
    EXPECT_EQ(lut->CubeSize, 3);
    EXPECT_EQ(lut->CurveSize, 3);
    EXPECT_EQ(lut->Curve[0].Red, 0.0);
    EXPECT_EQ(lut->Curve[1].Red, 0.5);
    EXPECT_EQ(lut->Curve[1].Green, 0.25);
    EXPECT_EQ(lut->Curve[1].Blue, 0.75);
    EXPECT_EQ(lut->Curve[2].Green, 1.0);
    // The cube starts after "# Cube": first entry 0, then red fastest.
    EXPECT_EQ(lut->Cube[0][0][0].Red, 0.0);
    EXPECT_EQ(lut->Cube[1][0][0].Red, 1 / 32.0);
    EXPECT_EQ(lut->Cube[2][2][2].Red, 26 / 32.0);
    EXPECT_EQ(lut->Cube[2][2][2].Blue, 0.25);

    // A reader reused after such a file reads a plain one as a plain cube.
    auto plain = RandomCube(2);
    format.SaveToFile(PathOf("plain.cube"), *plain, 0);
    format.LoadFromFile(PathOf("plain.cube"), *lut);
    EXPECT_EQ(lut->Kind, lkCube);

    // An input table shorter than its declared length is incomplete.
    std::string shortTable = text;
    shortTable.erase(shortTable.find(" 2.000000 2.000000"), 27);
    EXPECT_THROW(format.LoadFromFile(WriteRaw("short.cube", shortTable), *lut), ELUTError);
    std::string hugeLength = text;
    hugeLength.replace(hugeLength.find("lutLength 3"), 11, "lutLength 200000");
    EXPECT_THROW(format.LoadFromFile(WriteRaw("huge.cube", hugeLength), *lut), ELUTError);
}

TEST_F(Cube3DFormatsTest, FsiCfeLayoutAndRoundTrip) {
    const TLUTFormat& format = *FindLutFormat("fsi-cfe-3d");
    auto lut = IdentityCube(17);
    lut->Comments = {"not written"};
    const std::string file = PathOf("look.cfe");
    format.SaveToFile(file, *lut, 0);
    const auto lines = ReadLines(file);
    ASSERT_EQ(lines.size(), 5u + 4913u);
    EXPECT_EQ(lines[0], "LUT_3D_AUTHOR Quor LUT Converter");
    EXPECT_EQ(lines[1], "LUT_3D_MODEL CM240");
    EXPECT_EQ(lines[2], "LUT_3D_VERSION 2.0.0");
    EXPECT_EQ(lines[3], "LUT_3D_SIZE 17");
    EXPECT_EQ(lines[4], "");
    EXPECT_EQ(lines[5], "0.000000 0.000000 0.000000");
    EXPECT_EQ(lines.back(), "1.000000 1.000000 1.000000");

    for (int size : {2, 17}) {
        auto written = RandomCube(size, 50 + size);
        format.SaveToFile(file, *written, 0);
        auto read = std::make_unique<TLUT>();
        format.LoadFromFile(file, *read);
        formattest::ExpectCubesNear(*written, *read, kSixDecimals);
        EXPECT_TRUE(read->Comments.empty());
    }
}

TEST_F(Cube3DFormatsTest, NucodaLayoutAndRoundTrip) {
    const TLUTFormat& format = *FindLutFormat("nucoda-3d");
    auto lut = IdentityCube(2);
    const std::string file = PathOf("look.cms");
    format.SaveToFile(file, *lut, 0);
    const auto lines = ReadLines(file);
    ASSERT_EQ(lines.size(), 7u + 4096u + 1u + 8u);
    EXPECT_EQ(lines[0], "NUCODA_3D_CUBE 1");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "TITLE \"look\"");
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], "LUT_1D_SIZE 4096");
    EXPECT_EQ(lines[5], "LUT_3D_SIZE 2");
    EXPECT_EQ(lines[6], "");
    EXPECT_EQ(lines[7], "0.000000 0.000000 0.000000");
    EXPECT_EQ(lines[8], "0.008059 0.008059 0.008059");  // 32.999999 / 4095
    EXPECT_EQ(lines[7 + 4095], "32.999999 32.999999 32.999999");
    EXPECT_EQ(lines[7 + 4096], "");
    EXPECT_EQ(lines[7 + 4097], "0.000000 0.000000 0.000000");
    EXPECT_EQ(lines[7 + 4098], "1.000000 0.000000 0.000000");
    EXPECT_EQ(lines.back(), "1.000000 1.000000 1.000000");

    for (int size : {2, 17}) {
        auto written = RandomCube(size, 70 + size);
        format.SaveToFile(file, *written, 0);
        auto read = std::make_unique<TLUT>();
        format.LoadFromFile(file, *read);
        EXPECT_EQ(read->Kind, lkCurveThenCube);
        EXPECT_EQ(read->CurveSize, 4096);
        EXPECT_NEAR(read->Curve[4095].Green, 1.0, 1e-7);
        EXPECT_NEAR(read->Curve[2048].Red, 2048 / 4095.0, 1e-6);
        formattest::ExpectCubesNear(*written, *read, kSixDecimals);
    }
}

TEST_F(Cube3DFormatsTest, NucodaSectionsAndIncompleteFiles) {
    const TLUTFormat& format = *FindLutFormat("nucoda-3d");
    auto lut = std::make_unique<TLUT>();
    std::string cubeOnly = "NUCODA_3D_CUBE 2\nLUT_3D_SIZE 2\n";
    for (int k = 0; k < 8; ++k) cubeOnly += std::to_string(k) + " 0 0\n";
    format.LoadFromFile(WriteRaw("cube.cms", cubeOnly), *lut);
    EXPECT_EQ(lut->Kind, lkCube);
    EXPECT_EQ(lut->Cube[1][1][1].Red, 7.0);

    format.LoadFromFile(WriteRaw("curve.cms", "NUCODA_3D_CUBE 2\nLUT_1D_SIZE 2\n0 0 0\n2 4 6\n"), *lut);
    EXPECT_EQ(lut->Kind, lkCurve);
    EXPECT_EQ(lut->CurveSize, 2);
    EXPECT_EQ(lut->Curve[1].Blue, 6.0);  // cube type 2: no division by 33

    const char* incomplete[] = {
        "NUCODA_3D_CUBE 1\nLUT_3D_SIZE 2\n# comment\n\n",
        "NUCODA_3D_CUBE 1\nLUT_3D_SIZE 2\n0 0 0\n",
        "NUCODA_3D_CUBE 1\nLUT_1D_SIZE 3\nLUT_3D_SIZE 2\n0 0 0\n",
        "NUCODA_3D_CUBE 1\nTITLE \"x\"\n",
    };
    for (const char* text : incomplete) {
        try {
            format.LoadFromFile(WriteRaw("bad.cms", text), *lut);
            ADD_FAILURE() << text;
        } catch (const ELUTError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Incomplete file. ", 0), 0u) << e.what() << text;
        }
    }
    EXPECT_THROW(format.LoadFromFile(WriteRaw("big.cms", "NUCODA_3D_CUBE 1\nLUT_1D_SIZE 100002\n"), *lut), ELUTError);
    EXPECT_THROW(format.LoadFromFile(WriteRaw("big3.cms", "NUCODA_3D_CUBE 1\nLUT_3D_SIZE 102\n"), *lut), ELUTError);
}

TEST_F(Cube3DFormatsTest, CodexLayoutAndRoundTrip) {
    const TLUTFormat& format = *FindLutFormat("codex-3d");
    auto lut = IdentityCube(17);
    const std::string file = PathOf("codex.txt");
    format.SaveToFile(file, *lut, 12);
    const auto lines = ReadLines(file);
    ASSERT_EQ(lines.size(), 3u + 4913u);
    EXPECT_EQ(lines[0], "Lut3D: 17");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "R\tG\tB");
    EXPECT_EQ(lines[3], "0 0 0");
    EXPECT_EQ(lines[4], "0 0 256");  // blue fastest; 4095 / 16 = 255.94
    EXPECT_EQ(lines[3 + 17], "0 256 0");
    EXPECT_EQ(lines.back(), "4095 4095 4095");

    for (int size : {2, 17}) {
        auto written = RandomCube(size, 90 + size);
        format.SaveToFile(file, *written, 12);
        auto read = std::make_unique<TLUT>();
        format.LoadFromFile(file, *read);
        EXPECT_EQ(read->Kind, lkCube);
        formattest::ExpectCubeQuantised(*written, *read, 4095.0);
    }

    auto commented = std::make_unique<TLUT>();
    format.LoadFromFile(WriteRaw("c.txt", "# top\nLUT3D: 2\n0 0 0\n# middle\n" +
                                              std::string("1 1 1\n2 2 2\n3 3 3\n4 4 4\n5 5 5\n6 6 6\n4095 0 1\n")),
                        *commented);
    EXPECT_EQ(commented->Comments, (std::vector<std::string>{"top", "middle"}));
    EXPECT_EQ(commented->Cube[0][0][1].Red, 1 / 4095.0);
    EXPECT_EQ(commented->Cube[1][1][1].Red, 1.0);
    EXPECT_THROW(format.SaveToFile(file, *lut, 0), ELUTError);
}

TEST_F(Cube3DFormatsTest, WritersRefuseSizesOutsideTheTable) {
    const TLUTFormat& cube = *FindLutFormat("cube-3d");
    const TLUTFormat& truelight = *FindLutFormat("cube-3d-truelight");
    const TLUTFormat& cfe = *FindLutFormat("fsi-cfe-3d");
    const TLUTFormat& nucoda = *FindLutFormat("nucoda-3d");
    const TLUTFormat& codex = *FindLutFormat("codex-3d");
    const TLUTFormat* formats[] = {&cube, &truelight, &cfe, &nucoda, &codex};
    auto lut = IdentityCube(2);
    for (int size : {0, 1, 102, -1}) {
        lut->CubeSize = size;
        for (const TLUTFormat* format : formats) {
            const std::string file = PathOf("refused");
            EXPECT_THROW(format->SaveToFile(file, *lut, 12), ELUTError) << format->Name << size;
            EXPECT_FALSE(std::filesystem::exists(file)) << format->Name;
        }
    }
}

// A value that is not a number (NaN, an infinity, a decimal beyond the range
// of double) in a data line is reported with its line by every reader of
// decimal triples, not passed over until the table comes out short.
TEST_F(Cube3DFormatsTest, ValuesThatAreNotNumbersAreReportedAtTheirLine) {
    auto errorOf = [](const char* id, const std::string& text, const char* name) {
        auto lut = std::make_unique<TLUT>();
        try {
            FindLutFormat(id)->Read(text, name, *lut);
        } catch (const ELUTError& error) {
            return std::string(error.what());
        }
        return std::string("(no error)");
    };
    std::string nans;
    for (int i = 0; i < 8; ++i) nans += "nan nan nan\n";
    EXPECT_EQ(errorOf("cube-3d", "LUT_3D_SIZE 2\n" + nans, "nan.cube"),
              "'nan' is not a number. Line 2: \"nan nan nan\"");
    EXPECT_EQ(errorOf("cube-3d", "TITLE \"x\"\nLUT_3D_SIZE 2\n0 0 0\n1 0 0\n0 -INF 0\n", "inf.cube"),
              "'-INF' is not a number. Line 5: \"0 -INF 0\"");
    EXPECT_EQ(errorOf("cube-3d", "LUT_3D_SIZE 2\n0 0 1e999\n", "big.cube"),
              "'1e999' is not a number. Line 2: \"0 0 1e999\"");
    EXPECT_EQ(errorOf("cube-1d", "LUT_1D_SIZE 2\n0 0 0\n1 NaN 1\n", "curve.cube"),
              "'NaN' is not a number. Line 3: \"1 NaN 1\"");
    EXPECT_EQ(errorOf("davinci-dat-3d", nans, "nan.dat"), "'nan' is not a number. Line 1: \"nan nan nan\"");
    EXPECT_EQ(errorOf("nucoda-3d", "NUCODA_3D_CUBE 2\nLUT_3D_SIZE 2\n\n" + nans, "nan.cms"),
              "'nan' is not a number. Line 4: \"nan nan nan\"");
    // Lines that are no triple of numbers are still passed over.
    EXPECT_EQ(errorOf("cube-3d", "LUT_3D_SIZE 2\nDOMAIN_MIN 0 0 0\nnan x 0\n", "x.cube"),
              "Incomplete file. Expected 8 entries, found 0.");
}

}  // namespace
