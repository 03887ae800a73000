#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "formats/AscCdlFormat.h"
#include "formats/FormatRegistry.h"
#include "formats/FormatText.h"
#include "tests/formats/Lut1DTestSupport.h"

using namespace lut1dtest;

namespace {

// Eight hex digits of a single-precision value, least significant byte first.
std::string HexOf(float value) {
    unsigned char bytes[4];
    std::memcpy(bytes, &value, 4);
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

std::string SpeedgradeLook(const std::string& size, const std::string& data) {
    return Lines({"<?xml version=\"1.0\"?>", "<look>", "<shaders><shader/></shaders>", "<lut>",
                  "<size>" + size + "</size>", "<data>" + data + "</data>", "</lut>", "</look>"});
}

std::string CdlDocument(const std::string& sop, const std::string& sat = "") {
    return Lines({"<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "<ColorCorrection id=\"shot_7\">", "<SOPNode>", sop,
                  "</SOPNode>", sat, "</ColorCorrection>"});
}

TEST(Stwo1DFormat, ReadsElemChildrenInAnyCaseDividedBy1023) {
    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("stwo-1d");
    EXPECT_EQ(format.Name, "S.two 1D");
    EXPECT_FALSE(format.Is3D);
    const std::string path = folder.Write(
        "a.swto.xml",
        Lines({"<?xml version=\"1.0\"?>", "<lut name=\"look\">", "<data>", "<elem r=\"1023\" g=\"0\" b=\"512\"/>",
               "<note r=\"5\"/>", "<ELEM r=\"0\" g=\"1023\"/>", "</data>", "</lut>"}));
    EXPECT_TRUE(format.CanRead(path));
    auto lut = std::make_unique<TLUT>();
    format.LoadFromFile(path, *lut);
    EXPECT_EQ(lut->Kind, lkCurve);
    ASSERT_EQ(lut->CurveSize, 2);
    EXPECT_EQ(lut->Curve[0].Red, 1.0);
    EXPECT_EQ(lut->Curve[0].Green, 0.0);
    EXPECT_EQ(lut->Curve[0].Blue, 512.0 / 1023.0);
    EXPECT_EQ(lut->Curve[1].Green, 1.0);
    EXPECT_EQ(lut->Curve[1].Blue, 0.0);  // missing attribute

    const std::string noData = folder.Write("b.xml", "<lut><elem r=\"1\"/></lut>");
    EXPECT_EQ(ErrorText([&] { format.LoadFromFile(noData, *lut); }), "The \"data\" node is not found");
    const std::string badNumber =
        folder.Write("c.xml", "<lut><data><elem r=\"x\" g=\"0\" b=\"0\"/><elem r=\"1\" g=\"1\" b=\"1\"/></data></lut>");
    EXPECT_THROW(format.LoadFromFile(badNumber, *lut), EError);
}

TEST(Stwo1DFormat, RefusesCountsOutsideTheCurveBeforeStoring) {
    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("stwo-1d");
    auto lut = MakeCurve({{0.25, 0.25, 0.25}, {0.75, 0.75, 0.75}});
    const std::string one = folder.Write("one.xml", "<lut><data><elem r=\"1023\" g=\"0\" b=\"0\"/></data></lut>");
    EXPECT_THROW(format.LoadFromFile(one, *lut), ELUTError);
    std::string many = "<lut><data>\n";
    for (int i = 0; i <= kMaxCurveSize; ++i) many += "<elem r=\"1\" g=\"2\" b=\"3\"/>\n";
    many += "</data></lut>\n";
    const std::string tooMany = folder.Write("many.xml", many);
    EXPECT_THROW(format.LoadFromFile(tooMany, *lut), ELUTError);
    EXPECT_EQ(lut->CurveSize, 2);
    EXPECT_EQ(lut->Curve[0].Red, 0.25);
    EXPECT_EQ(lut->Curve[5].Red, 0.0);
}

TEST(Stwo1DFormat, WritesTheLiteralLayoutAndRoundTripsAtTenBits) {
    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("stwo-1d");
    auto curve = MakeCurve({{0, 0, 0}, {1, 1, 1}});
    const std::string path = folder.Path("look.swto.xml");
    format.SaveToFile(path, *curve, 10);
    EXPECT_EQ(ReadBytes(path),
              Lines({"<?xml version=\"1.0\"?>", "<lut name=\"look.swto\">", "<data>", "<elem r=\"0\" g=\"0\" b=\"0\"/>",
                     "<elem r=\"1023\" g=\"1023\" b=\"1023\"/>", "</data>", "</lut>"}));
    auto values = MakeCurve({{1.0, 0.0, 0.5}, {-1, 2, 0.25}});
    format.SaveToFile(path, *values, 10);
    EXPECT_NE(ReadBytes(path).find("<elem r=\"1023\" g=\"0\" b=\"512\"/>\n<elem r=\"0\" g=\"1023\" b=\"256\"/>"),
              std::string::npos);

    constexpr int kSize = 1024;
    auto ramp = std::make_unique<TLUT>();
    ramp->CurveSize = kSize;
    for (int i = 0; i < kSize; ++i) ramp->Curve[i] = {i / 1023.0, (1023 - i) / 1023.0, ((i * 5) % 1024) / 1023.0};
    format.SaveToFile(path, *ramp, 10);
    EXPECT_TRUE(format.CanRead(path));
    auto back = std::make_unique<TLUT>();
    format.LoadFromFile(path, *back);
    ASSERT_EQ(back->CurveSize, kSize);
    for (int i = 0; i < kSize; ++i) {
        ASSERT_EQ(back->Curve[i].Red, ramp->Curve[i].Red) << i;
        ASSERT_EQ(back->Curve[i].Green, ramp->Curve[i].Green) << i;
        ASSERT_EQ(back->Curve[i].Blue, ramp->Curve[i].Blue) << i;
    }
}

TEST(SpeedgradeLook, ReadHexSingleDecodesLittleEndianAndSkipsSeparators) {
    std::size_t position = 0;
    float value = -1;
    ASSERT_TRUE(ReadHexSingle("0000803f", position, value));
    EXPECT_EQ(value, 1.0f);
    EXPECT_EQ(position, 8u);
    position = 0;
    ASSERT_TRUE(ReadHexSingle(" 00 00\r\n00 3F,x", position, value));
    EXPECT_EQ(value, 0.5f);
    EXPECT_EQ(position, 13u);
    position = 0;
    ASSERT_TRUE(ReadHexSingle(HexOf(-0.1234f), position, value));
    EXPECT_EQ(value, -0.1234f);
    position = 0;
    ASSERT_TRUE(ReadHexSingle("0000c07f", position, value));  // NaN
    EXPECT_EQ(value, 0.0f);
    position = 0;
    ASSERT_TRUE(ReadHexSingle("0000807f", position, value));  // infinity passes
    EXPECT_TRUE(std::isinf(value));
    position = 0;
    EXPECT_FALSE(ReadHexSingle("0000803", position, value));
    EXPECT_EQ(position, 7u);
    position = 20;
    EXPECT_FALSE(ReadHexSingle("0000803f", position, value));
}

TEST(SpeedgradeLook, ReadsTheCubeInRedFastestOrder) {
    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("speedgrade-look-3d");
    EXPECT_TRUE(format.Is3D);
    std::string data;
    for (int i = 0; i < 8; ++i) data += HexOf(i / 8.0f) + " " + HexOf(0.5f) + "\n" + HexOf(-1.0f) + " ";
    const std::string path = folder.Write("a.look", SpeedgradeLook("\"2\"", "\n" + data));
    EXPECT_TRUE(format.CanRead(path));
    auto lut = std::make_unique<TLUT>();
    format.LoadFromFile(path, *lut);
    EXPECT_EQ(lut->Kind, lkCube);
    EXPECT_EQ(lut->CubeSize, 2);
    EXPECT_EQ(lut->Cube[0][0][0].Red, 0.0);
    EXPECT_EQ(lut->Cube[1][0][0].Red, 1 / 8.0);
    EXPECT_EQ(lut->Cube[0][1][0].Red, 2 / 8.0);
    EXPECT_EQ(lut->Cube[0][0][1].Red, 4 / 8.0);
    EXPECT_EQ(lut->Cube[1][1][1].Red, 7 / 8.0);
    EXPECT_EQ(lut->Cube[1][1][1].Green, 0.5);
    EXPECT_EQ(lut->Cube[1][1][1].Blue, -1.0);

    // Upper-case digits decode the same.
    std::string upper = data;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    auto second = std::make_unique<TLUT>();
    format.LoadFromFile(folder.Write("b.look", SpeedgradeLook("2", upper)), *second);
    EXPECT_EQ(second->Cube[1][1][1].Red, 7 / 8.0);
}

TEST(SpeedgradeLook, SizeZeroOrNoLutIsIdentityAndShortOrHostileDataIsRefused) {
    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("speedgrade-look-3d");
    auto lut = std::make_unique<TLUT>();
    lut->Kind = lkCube;
    lut->CubeSize = 17;
    format.LoadFromFile(folder.Write("z.look", SpeedgradeLook("0", "")), *lut);
    EXPECT_EQ(lut->Kind, lkIdentity);
    EXPECT_EQ(lut->CubeSize, 17);
    lut->Kind = lkCube;
    format.LoadFromFile(folder.Write("n.look", "<look><shaders/></look>"), *lut);
    EXPECT_EQ(lut->Kind, lkIdentity);
    EXPECT_EQ(lut->CubeSize, 17);

    EXPECT_EQ(ErrorText([&] { format.LoadFromFile(folder.Write("s.look", "<look><lut><data/></lut></look>"), *lut); }),
              "The \"size\" node is not found");
    for (const char* size : {"102", "1", "-3", "2.5", "x"})
        EXPECT_THROW(format.LoadFromFile(folder.Write("bad.look", SpeedgradeLook(size, "")), *lut), ELUTError) << size;

    // Seven full triples and part of the eighth: the reading stops at the end
    // of the text and the load reports the missing entries.
    std::string data;
    for (int i = 0; i < 7; ++i) data += HexOf(0.25f) + HexOf(0.25f) + HexOf(0.25f);
    data += HexOf(0.75f) + HexOf(0.75f) + "0000";
    auto shortLut = std::make_unique<TLUT>();
    EXPECT_EQ(ErrorText([&] {
                  format.LoadFromFile(folder.Write("short.look", SpeedgradeLook("2", data)), *shortLut);
              }).rfind("Incomplete file. ", 0),
              0u);
    EXPECT_EQ(shortLut->Cube[1][1][1].Red, 0.0);
    EXPECT_EQ(shortLut->Cube[0][1][1].Red, 0.25);

    std::string full;
    for (int i = 0; i < 8 * 3; ++i) full += HexOf(0.5f);
    ExpectHostileInputRefusedCleanly(format, folder, "h.look", SpeedgradeLook("2", full));
    EXPECT_THROW(format.SaveToFile(folder.Path("w.look"), *lut, 0), ELUTError);
    EXPECT_FALSE(std::filesystem::exists(folder.Path("w.look")));
}

TEST(AscCdl, IdentityCorrectionGivesAnIdentityCubeAndItsName) {
    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("asc-cdl");
    EXPECT_TRUE(format.Is3D);
    const std::string path =
        folder.Write("a.cc", CdlDocument("<Slope>1 1 1</Slope><Offset>0 0 0</Offset><Power>1.0 1.0 1.0</Power>"));
    EXPECT_TRUE(format.CanRead(path));
    auto lut = std::make_unique<TLUT>();
    lut->Comments = {"earlier"};
    format.LoadFromFile(path, *lut);
    EXPECT_EQ(lut->Kind, lkCube);
    EXPECT_EQ(lut->CubeSize, 33);
    EXPECT_EQ(lut->Comments, (std::vector<std::string>{"earlier", "Name: shot_7"}));
    EXPECT_EQ(lut->Cube[32][0][0].Red, 1.0);
    EXPECT_EQ(lut->Cube[32][0][0].Green, 0.0);
    EXPECT_EQ(lut->Cube[32][0][0].Blue, 0.0);
    for (int r = 0; r < 33; r += 4)
        for (int g = 0; g < 33; g += 4)
            for (int b = 0; b < 33; b += 4) {
                EXPECT_NEAR(lut->Cube[r][g][b].Red, r / 32.0, 1e-6);
                EXPECT_NEAR(lut->Cube[r][g][b].Green, g / 32.0, 1e-6);
                EXPECT_NEAR(lut->Cube[r][g][b].Blue, b / 32.0, 1e-6);
            }

    const std::string collection =
        folder.Write("b.ccc",
                     "<ColorCorrectionCollection><ColorCorrection><SOPNode><Slope>1 1 1</Slope>"
                     "</SOPNode></ColorCorrection></ColorCorrectionCollection>");
    EXPECT_FALSE(format.CanRead(collection));
    EXPECT_THROW(format.SaveToFile(folder.Path("w.cc"), *lut, 0), ELUTError);
}

TEST(AscCdl, ApplyUsesTheUnweightedMeanWhileFilesReadWithRec709Luma) {
    TCDLData data;
    data.Red = data.Green = data.Blue = TCDLChannel{1.0f, -0.1f, 2.0f};
    data.Saturation = 1.0f;
    float r, g, b;
    ApplyCDL(data, 0.1f, 0.05f, 0.6f, r, g, b);
    EXPECT_EQ(r, 0.0f);
    EXPECT_EQ(g, 0.0f);
    EXPECT_NEAR(b, 0.25f, 1e-6);

    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("asc-cdl");
    const std::string path =
        folder.Write("grey.cc", CdlDocument("<Slope>2 0.5 1</Slope><Offset>0 0 0.1</Offset><Power>1 1 1</Power>",
                                            "<SATNode><Saturation>0</Saturation></SATNode>"));
    TCDLData grey;
    ReadCDLFile(path, grey);
    EXPECT_EQ(grey.Id, "shot_7");
    EXPECT_EQ(grey.Red.Slope, 2.0f);
    EXPECT_EQ(grey.Green.Slope, 0.5f);
    EXPECT_EQ(grey.Blue.Offset, 0.1f);
    EXPECT_EQ(grey.Saturation, 0.0f);
    auto lut = std::make_unique<TLUT>();
    format.LoadFromFile(path, *lut);
    for (int r0 = 0; r0 < 33; r0 += 8)
        for (int g0 = 0; g0 < 33; g0 += 8)
            for (int b0 = 0; b0 < 33; b0 += 8) {
                const TRGBDouble& entry = lut->Cube[r0][g0][b0];
                // A file reads as other programs read it: the saturation
                // mixes with Rec. 709 luma.
                const double luma = 0.2126 * 2.0 * r0 / 32 + 0.7152 * 0.5 * g0 / 32 + 0.0722 * (b0 / 32.0 + 0.1);
                EXPECT_EQ(entry.Red, entry.Green);
                EXPECT_EQ(entry.Green, entry.Blue);
                EXPECT_NEAR(entry.Red, luma, 1e-8);  // the file's numbers are read as floats
            }

    // Half saturation sits halfway between the colour and the mean; a comma
    // is a decimal point in the saturation.
    data = TCDLData{};
    data.Saturation = 0.5f;
    ApplyCDL(data, 0.9f, 0.3f, 0.0f, r, g, b);
    EXPECT_NEAR(r, (0.9 + 0.4) / 2, 1e-6);
    EXPECT_NEAR(g, (0.3 + 0.4) / 2, 1e-6);
    EXPECT_NEAR(b, 0.2, 1e-6);
    const std::string comma =
        folder.Write("c.cc", CdlDocument("<Slope>1 1 1</Slope><Offset>0 0 0</Offset><Power>1 1 1</Power>",
                                         "<SATNode><Saturation> 0,5 </Saturation></SATNode>"));
    ReadCDLFile(comma, grey);
    EXPECT_EQ(grey.Saturation, 0.5f);
}

TEST(AscCdl, MissingElementsAndBadNumbersRaiseBeforeTouchingTheLut) {
    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("asc-cdl");
    auto lut = std::make_unique<TLUT>();
    const std::string noPower = folder.Write("a.cc", CdlDocument("<Slope>1 1 1</Slope><Offset>0 0 0</Offset>"));
    EXPECT_EQ(ErrorText([&] { format.LoadFromFile(noPower, *lut); }), "The \"Power\" node is not found");
    for (const char* sop : {"<Slope>1 1</Slope><Offset>0 0 0</Offset><Power>1 1 1</Power>",
                            "<Slope>1 1 x</Slope><Offset>0 0 0</Offset><Power>1 1 1</Power>",
                            "<Slope>1 1 1</Slope><Offset>0 0 1e</Offset><Power>1 1 1</Power>"}) {
        const std::string path = folder.Write("b.cc", CdlDocument(sop));
        EXPECT_THROW(format.LoadFromFile(path, *lut), EError) << sop;
    }
    const std::string badSat =
        folder.Write("d.cc", CdlDocument("<Slope>1 1 1</Slope><Offset>0 0 0</Offset><Power>1 1 1</Power>",
                                         "<SATNode><Saturation>lots</Saturation></SATNode>"));
    EXPECT_THROW(format.LoadFromFile(badSat, *lut), EError);
    EXPECT_TRUE(lut->Comments.empty());
    EXPECT_EQ(lut->CubeSize, 0);
    ExpectHostileInputRefusedCleanly(format, folder, "h.cc",
                                     CdlDocument("<Slope>1 1 1</Slope><Offset>0 0 0</Offset><Power>1 1 1</Power>"));
}

TEST(PFClean3DFormat, ReadsBlueFastestAtItsMaximum) {
    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("pfclean-3d");
    std::vector<std::string> lines = {"<?xml version=\"1.0\"?>",
                                      "<lut type=\"ascii\">",
                                      "<maximum>1023</maximum>",
                                      "<size>2</size>",
                                      "<cube>",
                                      "1023 0 512",
                                      "",
                                      "bad line",
                                      "0 1023 0"};
    for (int i = 0; i < 6; ++i) lines.push_back("0 0 0");
    lines.push_back("</cube>");
    lines.push_back("</lut>");
    const std::string path = folder.Write("a.pfl", Lines(lines));
    EXPECT_TRUE(format.CanRead(path));
    auto lut = std::make_unique<TLUT>();
    format.LoadFromFile(path, *lut);
    EXPECT_EQ(lut->Kind, lkCube);
    EXPECT_EQ(lut->CubeSize, 2);
    EXPECT_EQ(lut->Cube[0][0][0].Red, 1.0);
    EXPECT_EQ(lut->Cube[0][0][0].Green, 0.0);
    EXPECT_EQ(lut->Cube[0][0][0].Blue, 512.0 / 1023.0);
    EXPECT_EQ(lut->Cube[0][0][1].Green, 1.0);

    // CR LF and lone CR end lines as well.
    for (const char* lineEnd : {"\r\n", "\r"}) {
        std::string text;
        for (const std::string& line : lines) text += line + lineEnd;
        auto other = std::make_unique<TLUT>();
        format.LoadFromFile(folder.Write("crlf.pfl", text), *other);
        EXPECT_EQ(other->Cube[0][0][0].Blue, 512.0 / 1023.0);
        EXPECT_EQ(other->Cube[0][0][1].Green, 1.0);
        EXPECT_EQ(other->Cube[1][1][1].Green, 0.0);
    }

    // One line short.
    lines.erase(lines.end() - 3);
    auto shortLut = std::make_unique<TLUT>();
    EXPECT_EQ(ErrorText([&] {
                  format.LoadFromFile(folder.Write("b.pfl", Lines(lines)), *shortLut);
              }).rfind("Incomplete file. ", 0),
              0u);
}

TEST(PFClean3DFormat, RefusesUnusableSizesAndMaximums) {
    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("pfclean-3d");
    auto lut = std::make_unique<TLUT>();
    const auto document = [](const std::string& max, const std::string& size) {
        return "<lut><maximum>" + max + "</maximum><size>" + size + "</size><cube>\n1 1 1\n</cube></lut>";
    };
    for (const auto& [max, size] : std::vector<std::pair<std::string, std::string>>{
             {"0", "2"}, {"-255", "2"}, {"255", "102"}, {"255", "1"}, {"255", "-4"}, {"255", "1e12"}}) {
        EXPECT_THROW(format.LoadFromFile(folder.Write("a.pfl", document(max, size)), *lut), ELUTError)
            << max << " " << size;
    }
    EXPECT_THROW(format.LoadFromFile(folder.Write("b.pfl", document("x", "2")), *lut), EError);
    EXPECT_THROW(format.LoadFromFile(folder.Write("b.pfl", document("1e30", "2")), *lut), EError);
    EXPECT_EQ(ErrorText([&] { format.LoadFromFile(folder.Write("c.pfl", "<lut><size>2</size></lut>"), *lut); }),
              "The \"maximum\" node is not found");
    EXPECT_EQ(lut->CubeSize, 0);
}

TEST(PFClean3DFormat, WritesSixteenPointsAtEightBitsAndRoundTrips) {
    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("pfclean-3d");
    constexpr int kSize = 16;
    auto cube = std::make_unique<TLUT>();
    cube->Kind = lkCube;
    cube->CubeSize = kSize;
    for (int r = 0; r < kSize; ++r)
        for (int g = 0; g < kSize; ++g)
            for (int b = 0; b < kSize; ++b) cube->Cube[r][g][b] = {r / 15.0, g / 15.0, b / 15.0};
    cube->Cube[15][15][14] = {1.5, -0.5, 0.5};
    const std::string path = folder.Path("look.pfl");
    format.SaveToFile(path, *cube, 8);
    const std::string text = ReadBytes(path);
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    ASSERT_EQ(lines.size(), 4096u + 7);
    EXPECT_EQ(lines[0], "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>");
    EXPECT_EQ(lines[1], "<lut type=\"ascii\">");
    EXPECT_EQ(lines[2], "<maximum>255</maximum>");
    EXPECT_EQ(lines[3], "<size>16</size>");
    EXPECT_EQ(lines[4], "<cube>");
    EXPECT_EQ(lines[5], "0 0 0");
    EXPECT_EQ(lines[6], "0 0 17");
    EXPECT_EQ(lines[5 + 1 * 256 + 2 * 16 + 3], "17 34 51");
    EXPECT_EQ(lines[5 + 4095 - 1], "255 0 128");
    EXPECT_EQ(lines[5 + 4095], "255 255 255");
    EXPECT_EQ(lines[4096 + 5], "</cube>");
    EXPECT_EQ(lines[4096 + 6], "</lut>");

    cube->Cube[15][15][14] = {1, 0, 128 / 255.0};
    EXPECT_TRUE(format.CanRead(path));
    auto back = std::make_unique<TLUT>();
    format.LoadFromFile(path, *back);
    ASSERT_EQ(back->CubeSize, kSize);
    for (int r = 0; r < kSize; ++r)
        for (int g = 0; g < kSize; ++g)
            for (int b = 0; b < kSize; ++b) {
                const TRGBDouble& want = cube->Cube[r][g][b];
                const TRGBDouble& got = back->Cube[r][g][b];
                ASSERT_EQ(got.Red, want.Red) << r << g << b;
                ASSERT_EQ(got.Green, want.Green) << r << g << b;
                ASSERT_EQ(got.Blue, want.Blue) << r << g << b;
            }

    auto empty = std::make_unique<TLUT>();
    EXPECT_THROW(format.SaveToFile(folder.Path("never.pfl"), *empty, 8), ELUTError);
    EXPECT_FALSE(std::filesystem::exists(folder.Path("never.pfl")));
    EXPECT_THROW(format.SaveToFile(folder.Path("never.pfl"), *cube, 0), ELUTError);
    const std::string missing = folder.Path("no/folder/x.pfl");
    EXPECT_NE(ErrorText([&] { format.SaveToFile(missing, *cube, 8); }).find(missing), std::string::npos);

    std::string small = "<lut><maximum>255</maximum><size>2</size><cube>\n";
    for (int i = 0; i < 8; ++i) small += "255 0 12\n";
    small += "</cube></lut>\n";
    ExpectHostileInputRefusedCleanly(format, folder, "h.pfl", small);
}

}  // namespace
