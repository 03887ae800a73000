#include <gtest/gtest.h>

#include "formats/FormatRegistry.h"
#include "formats/Lut1DFormats.h"
#include "tests/formats/Lut1DTestSupport.h"

using namespace lut1dtest;

namespace {

TEST(Cube1DFormat, ReadsCommentsSizeAndEntriesAndRefusesShortFiles) {
    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("cube-1d");
    EXPECT_FALSE(format.Is3D);
    EXPECT_EQ(format.Name, "Cube 1D");
    const std::string path =
        folder.Write("a.cube", Lines({"# my look", "TITLE \"x\"", "LUT_1D_SIZE 2", "0 0 0", "1 1 1", "0.5 0.5 0.5"}));
    EXPECT_TRUE(format.CanRead(path));
    auto lut = std::make_unique<TLUT>();
    format.LoadFromFile(path, *lut);
    EXPECT_EQ(lut->Kind, lkCurve);
    EXPECT_EQ(lut->CurveSize, 2);
    ASSERT_EQ(lut->Comments.size(), 1u);
    EXPECT_EQ(lut->Comments[0], "my look");
    EXPECT_EQ(lut->Curve[0].Red, 0.0);
    EXPECT_EQ(lut->Curve[1].Green, 1.0);
    // The surplus line did not overwrite anything.
    EXPECT_EQ(lut->Curve[2].Red, 0.0);

    const std::string shortFile = folder.Write("b.cube", Lines({"LUT_1D_SIZE 2", "0.25 0.5 0.75"}));
    auto second = std::make_unique<TLUT>();
    EXPECT_EQ(ErrorText([&] { format.LoadFromFile(shortFile, *second); }).rfind("Incomplete file. ", 0), 0u);
    EXPECT_EQ(second->Kind, lkCurve);
    EXPECT_EQ(second->CurveSize, 2);
    EXPECT_EQ(second->Curve[0].Blue, 0.75);

    const std::string nucoda = folder.Write("c.cube", Lines({"NUCODA_3D_CUBE 2", "LUT_1D_SIZE 2", "0 0 0", "1 1 1"}));
    EXPECT_FALSE(format.CanRead(nucoda));
    EXPECT_THROW(format.CanRead(folder.Path("missing.cube")), EError);
}

TEST(Cube1DFormat, RefusesSizesOutsideTheCurveAndMalformedHeaders) {
    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("cube-1d");
    auto lut = std::make_unique<TLUT>();
    for (const char* header : {"LUT_1D_SIZE 100002", "LUT_1D_SIZE 1", "LUT_1D_SIZE -5", "LUT_1D_SIZE abc",
                               "LUT_1D_SIZE", "LUT_1D_SIZE 99999999999"}) {
        const std::string path = folder.Write("bad.cube", Lines({header, "0 0 0", "1 1 1"}));
        EXPECT_THROW(format.LoadFromFile(path, *lut), ELUTError) << header;
        EXPECT_EQ(lut->CurveSize, 0) << header;
    }
    // A second, smaller size line while entries are being read stops the
    // reading instead of running past the table.
    const std::string path = folder.Write(
        "twice.cube", Lines({"LUT_1D_SIZE 4", "0 0 0", "0.1 0.1 0.1", "0.2 0.2 0.2", "LUT_1D_SIZE 2", "0.3 0.3 0.3"}));
    format.LoadFromFile(path, *lut);
    EXPECT_EQ(lut->CurveSize, 2);
    EXPECT_EQ(lut->Curve[3].Red, 0.0);
}

TEST(Cube1DFormat, WritesTheLiteralLayout) {
    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("cube-1d");
    auto lut = MakeCurve({{0, 0, 0}, {1, 0.5, 0.25}});
    lut->Comments = {"A", "B"};
    const std::string path = folder.Path("out.cube");
    format.SaveToFile(path, *lut, 0);
    EXPECT_EQ(ReadBytes(path), Lines({"# A", "# B", "# Converted by Quor LUT Converter", "", "LUT_1D_SIZE 2",
                                      "0.000000 0.000000 0.000000", "1.000000 0.500000 0.250000"}));
    // Not clamped.
    auto wide = MakeCurve({{-0.5, 0, 0}, {1.25, 2, 3}});
    format.SaveToFile(path, *wide, 0);
    EXPECT_NE(ReadBytes(path).find("-0.500000 0.000000 0.000000\n1.250000 2.000000 3.000000\n"), std::string::npos);
}

TEST(Codex1DFormat, ReadsOneListOrThreeListsDividedByCountMinusOne) {
    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("codex-1d");
    EXPECT_EQ(format.Name, "Codex 1D, Scratch 1D");
    auto lut = std::make_unique<TLUT>();
    const std::string one = folder.Write("one.dat", Lines({"# first", "LUT: 1 3", "# later", "0", "  1", "2"}));
    EXPECT_TRUE(format.CanRead(one));
    format.LoadFromFile(one, *lut);
    ASSERT_EQ(lut->CurveSize, 3);
    EXPECT_EQ(lut->Kind, lkCurve);
    EXPECT_EQ(lut->Curve[1].Red, 0.5);
    EXPECT_EQ(lut->Curve[1].Green, 0.5);
    EXPECT_EQ(lut->Curve[2].Blue, 1.0);
    ASSERT_EQ(lut->Comments.size(), 1u);
    EXPECT_EQ(lut->Comments[0], "first");

    auto three = std::make_unique<TLUT>();
    const std::string path = folder.Write("three.dat", Lines({"LUT: 3 2", "1", "2", "3", "4", "5 x", "5", "6"}));
    format.LoadFromFile(path, *three);
    ASSERT_EQ(three->CurveSize, 2);
    EXPECT_EQ(three->Curve[0].Red, 1.0);
    EXPECT_EQ(three->Curve[1].Red, 2.0);
    EXPECT_EQ(three->Curve[0].Green, 3.0);
    EXPECT_EQ(three->Curve[1].Green, 4.0);
    EXPECT_EQ(three->Curve[0].Blue, 5.0);
    EXPECT_EQ(three->Curve[1].Blue, 6.0);

    const std::string shortFile = folder.Write("short.dat", Lines({"LUT: 3 2", "1", "2", "3"}));
    EXPECT_EQ(ErrorText([&] { format.LoadFromFile(shortFile, *three); }).rfind("Incomplete file. ", 0), 0u);
    const std::string noHeader = folder.Write("none.dat", Lines({"1", "2"}));
    EXPECT_EQ(ErrorText([&] { format.LoadFromFile(noHeader, *three); }).rfind("Incomplete file. ", 0), 0u);
}

TEST(Codex1DFormat, RefusesFewerThanTwoEntriesAndMalformedHeaders) {
    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("codex-1d");
    auto lut = std::make_unique<TLUT>();
    for (const char* header : {"LUT: 1 1", "LUT: 1 0", "LUT: 3", "LUT: 3 100002", "LUT: x 4"}) {
        const std::string path = folder.Write("bad.dat", Lines({header, "0", "1"}));
        EXPECT_THROW(format.LoadFromFile(path, *lut), ELUTError) << header;
    }
    EXPECT_EQ(lut->CurveSize, 0);
}

TEST(Codex1DFormat, OutputDepthScalesTheValuesAndHalfFloatsAreRefused) {
    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("codex-1d");
    auto lut = std::make_unique<TLUT>();
    // A third header number is the output depth: values divide by it minus one.
    format.LoadFromFile(folder.Write("depth.dat", Lines({"LUT: 1 3 4096", "0", "4095", "2048"})), *lut);
    ASSERT_EQ(lut->CurveSize, 3);
    EXPECT_EQ(lut->Curve[1].Red, 1.0);
    EXPECT_EQ(lut->Curve[2].Green, 2048.0 / 4095.0);
    format.LoadFromFile(folder.Write("same.dat", Lines({"LUT: 3 2 256", "0", "255", "0", "51", "255", "0"})), *lut);
    EXPECT_EQ(lut->Curve[1].Red, 1.0);
    EXPECT_EQ(lut->Curve[1].Green, 0.2);
    EXPECT_EQ(lut->Curve[0].Blue, 1.0);
    // The two-number header still divides by the length minus one.
    format.LoadFromFile(folder.Write("two.dat", Lines({"LUT: 1 5", "0", "1", "2", "3", "4"})), *lut);
    EXPECT_EQ(lut->Curve[2].Red, 0.5);

    // Half-float output: the values are half-float bit patterns (15360 is 1.0,
    // 14336 is 0.5); a float depth other than 65536f is refused.
    const std::string half = folder.Write("half.dat", Lines({"LUT: 1 3 65536f", "0", "14336", "15360"}));
    EXPECT_TRUE(format.CanRead(half));
    format.LoadFromFile(half, *lut);
    EXPECT_EQ(lut->Curve[1].Red, 0.5);
    EXPECT_EQ(lut->Curve[2].Blue, 1.0);
    const std::string message = ErrorText([&] {
        format.LoadFromFile(folder.Write("f.dat", Lines({"LUT: 1 2 4096f", "0", "1"})), *lut);
    });
    EXPECT_NE(message.find("65536f"), std::string::npos) << message;
    EXPECT_NE(message.find("Line 1: \"LUT: 1 2 4096f\""), std::string::npos) << message;
    for (const char* header : {"LUT: 1 3 1", "LUT: 1 3 x", "LUT: 1 3 4096 2"})
        EXPECT_THROW(format.LoadFromFile(folder.Write("bad.dat", Lines({header, "0", "1", "1"})), *lut), ELUTError)
            << header;
}

TEST(Codex1DFormat, DetectionNeedsAHeaderLineOutsideMarkup) {
    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("codex-1d");
    EXPECT_TRUE(format.CanRead(folder.Write("a.dat", Lines({"# Codex", "", "  LUT: 3 1024", "0"}))));
    EXPECT_TRUE(format.CanRead(folder.Write("b.dat", Lines({"lut: 1 16 4096"}))));
    // The namespace of a process list, a Houdini table and a word inside a
    // line are not its header.
    EXPECT_FALSE(format.CanRead(folder.Write(
        "c.clf", Lines({"<?xml version=\"1.0\"?>", "<ProcessList xmlns=\"urn:NATAS:ASC:LUT:v0.95\" id=\"1\">",
                        "LUT: 3 2", "</ProcessList>"}))));
    EXPECT_FALSE(format.CanRead(folder.Write(
        "d.lut", Lines({"Version\t\t3", "Format\t\tany", "Type\t\tC", "From\t\t0.0 1.0", "To\t\t0 255", "Black\t\t0",
                        "White\t\t255", "Length\t\t2", "LUT:", "R { 0 255 }", "G { 0 255 }", "B { 0 255 }"}))));
    EXPECT_FALSE(format.CanRead(folder.Write("e.txt", Lines({"Codex LUT: 3 2", "0"}))));
}

TEST(Codex1DFormat, WritesUnclampedIntegersAtTheBitDepth) {
    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("codex-1d");
    auto lut = MakeCurve({{0, 0, 0}, {1, 0.5, 1.2}});
    lut->Comments = {"not written"};
    const std::string path = folder.Path("out.dat");
    format.SaveToFile(path, *lut, 10);
    EXPECT_EQ(ReadBytes(path),
              Lines({"# Converted by Quor LUT Converter", "", "LUT: 3 2", "", "0", "1023", "0", "512", "0", "1228"}));
    auto negative = MakeCurve({{-0.0001, -1, 0}, {0, 0, 0}});
    format.SaveToFile(path, *negative, 8);
    EXPECT_EQ(ReadBytes(path),
              Lines({"# Converted by Quor LUT Converter", "", "LUT: 3 2", "", "0", "0", "-255", "0", "0", "0"}));
}

TEST(Filmlight1DFormat, ReadsAfterTheLengthAndWritesItsHeader) {
    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("filmlight-1d");
    const std::string path =
        folder.Write("a.cube", Lines({"# Truelight Cube v2.0", "# lutLength 4", "# iDims     3", "", "# InputLUT",
                                      "0 0 0", "0.25 0.5 0.75", "0.5 0.5 0.5", "1 1 1", "# end"}));
    EXPECT_TRUE(format.CanRead(path));
    auto lut = std::make_unique<TLUT>();
    format.LoadFromFile(path, *lut);
    EXPECT_EQ(lut->CurveSize, 4);
    EXPECT_EQ(lut->Curve[1].Blue, 0.75);
    EXPECT_TRUE(lut->Comments.empty());
    const std::string noLength = folder.Write("b.cube", Lines({"# iDims 3", "0 0 0", "1 1 1"}));
    EXPECT_FALSE(format.CanRead(noLength));
    EXPECT_EQ(ErrorText([&] { format.LoadFromFile(noLength, *lut); }).rfind("Incomplete file. ", 0), 0u);

    auto curve = MakeCurve({{0, 0.5, 1}, {1, 1, 1}});
    const std::string out = folder.Path("out.cube");
    format.SaveToFile(out, *curve, 0);
    EXPECT_EQ(ReadBytes(out), Lines({"# Truelight Cube v2.0", "# lutLength 2", "# iDims     3", "", "# InputLUT",
                                     "0.000000 0.500000 1.000000", "1.000000 1.000000 1.000000", "# end",
                                     "# Converted by Quor LUT Converter"}));
}

TEST(Quantel1DFormat, ReadsAfterBothHeadersAndRefusesAZeroMaximum) {
    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("quantel-1d");
    const std::string path = folder.Write("a.txt", Lines({"table type\t2", "5 5 5", "gSize\t2", "gMax\t1023", "gamma",
                                                          "r\tg\tb", "1023 0 512", "0 0 0"}));
    EXPECT_TRUE(format.CanRead(path));
    auto lut = std::make_unique<TLUT>();
    format.LoadFromFile(path, *lut);
    EXPECT_EQ(lut->CurveSize, 2);
    EXPECT_EQ(lut->Curve[0].Red, 1.0);
    EXPECT_EQ(lut->Curve[0].Green, 0.0);
    EXPECT_EQ(lut->Curve[0].Blue, 512.0 / 1023.0);
    EXPECT_EQ(lut->Curve[1].Red, 0.0);

    for (const char* max : {"gMax\t0", "gMax\t-4"}) {
        const std::string bad = folder.Write("b.txt", Lines({"gSize\t2", max, "1 1 1", "0 0 0"}));
        EXPECT_THROW(format.LoadFromFile(bad, *lut), ELUTError) << max;
    }

    auto curve = MakeCurve({{1.5, 0.5, -1}, {0, 0, 1}});
    const std::string out = folder.Path("out.txt");
    format.SaveToFile(out, *curve, 12);
    EXPECT_EQ(ReadBytes(out), Lines({"table type\t2", "", "gMax\t4095", "gSize\t2", "", "gamma", "r\tg\tb",
                                     "4095 2048 0", "0 0 4095"}));
}

TEST(Nucoda1DWriter, WritesTitleAndSizeAndNeverReads) {
    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("nucoda-1d");
    auto curve = MakeCurve({{0, 0, 0}, {1, 0.5, 0}});
    const std::string out = folder.Path("film.cms");
    format.SaveToFile(out, *curve, 0);
    EXPECT_EQ(ReadBytes(out), Lines({"NUCODA_3D_CUBE 2", "", "TITLE \"film\"", "", "LUT_1D_SIZE 2", "",
                                     "0.000000 0.000000 0.000000", "1.000000 0.500000 0.000000"}));
    EXPECT_FALSE(format.CanRead(out));
    EXPECT_FALSE(format.CanRead("NUCODA_3D_CUBE\nLUT_1D_SIZE 2\n", folder.Path("missing.cms")));
}

// Every format that reads and writes gets back what it wrote. Values are
// chosen on each format's own grid so the comparison can be exact.
TEST(DeclaredLength1DFormats, RoundTrips) {
    TTempFolder folder;
    constexpr int kSize = 1024;
    auto curve = std::make_unique<TLUT>();
    curve->Kind = lkCurve;
    curve->CurveSize = kSize;
    for (int i = 0; i < kSize; ++i) curve->Curve[i] = {i / 1023.0, (1023 - i) / 1023.0, ((i * 7) % 1024) / 1023.0};

    const TLUTFormat& quantel = *FindLutFormat("quantel-1d");
    const TLUTFormat& codex = *FindLutFormat("codex-1d");
    for (const TLUTFormat* format : std::initializer_list<const TLUTFormat*>{&quantel, &codex}) {
        const std::string path = folder.Path("round.txt");
        format->SaveToFile(path, *curve, 10);
        EXPECT_TRUE(format->CanRead(path));
        auto back = std::make_unique<TLUT>();
        format->LoadFromFile(path, *back);
        ASSERT_EQ(back->CurveSize, kSize) << format->Name;
        for (int i = 0; i < kSize; ++i) {
            ASSERT_EQ(back->Curve[i].Red, curve->Curve[i].Red) << format->Name << i;
            ASSERT_EQ(back->Curve[i].Green, curve->Curve[i].Green) << format->Name << i;
            ASSERT_EQ(back->Curve[i].Blue, curve->Curve[i].Blue) << format->Name << i;
        }
    }

    // Six decimals: values on a 1/1000000 grid come back exactly as written.
    auto decimal = std::make_unique<TLUT>();
    decimal->CurveSize = 3;
    decimal->Curve[0] = {0.125, -0.5, 2.0};
    decimal->Curve[1] = {0.333333, 0.666667, 1.0};
    decimal->Curve[2] = {1.0, 1.0, 0.000001};
    decimal->Comments = {"look one"};
    const TLUTFormat& cube = *FindLutFormat("cube-1d");
    const TLUTFormat& filmlight = *FindLutFormat("filmlight-1d");
    for (const TLUTFormat* format : std::initializer_list<const TLUTFormat*>{&cube, &filmlight}) {
        const std::string path = folder.Path("round.cube");
        format->SaveToFile(path, *decimal, 0);
        EXPECT_TRUE(format->CanRead(path));
        auto back = std::make_unique<TLUT>();
        format->LoadFromFile(path, *back);
        ASSERT_EQ(back->CurveSize, 3) << format->Name;
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(back->Curve[i].Red, decimal->Curve[i].Red) << format->Name << i;
            EXPECT_EQ(back->Curve[i].Green, decimal->Curve[i].Green) << format->Name << i;
            EXPECT_EQ(back->Curve[i].Blue, decimal->Curve[i].Blue) << format->Name << i;
        }
    }
    auto back = std::make_unique<TLUT>();
    cube.SaveToFile(folder.Path("c.cube"), *decimal, 0);
    cube.LoadFromFile(folder.Path("c.cube"), *back);
    EXPECT_EQ(back->Comments, (std::vector<std::string>{"look one", "Converted by Quor LUT Converter"}));
}

TEST(DeclaredLength1DFormats, WritersRefuseUnusableTablesAndReportFileErrors) {
    TTempFolder folder;
    const TLUTFormat& cube = *FindLutFormat("cube-1d");
    const TLUTFormat& codex = *FindLutFormat("codex-1d");
    const TLUTFormat& filmlight = *FindLutFormat("filmlight-1d");
    const TLUTFormat& quantel = *FindLutFormat("quantel-1d");
    const TLUTFormat& nucoda = *FindLutFormat("nucoda-1d");
    auto empty = std::make_unique<TLUT>();
    auto curve = MakeCurve({{0, 0, 0}, {1, 1, 1}});
    for (const TLUTFormat* format :
         std::initializer_list<const TLUTFormat*>{&cube, &codex, &filmlight, &quantel, &nucoda}) {
        const std::string path = folder.Path("never.txt");
        EXPECT_THROW(format->SaveToFile(path, *empty, 10), ELUTError) << format->Name;
        EXPECT_FALSE(std::filesystem::exists(path)) << format->Name;
        const std::string missingFolder = folder.Path("no/such/folder/x.txt");
        const std::string message = ErrorText([&] { format->SaveToFile(missingFolder, *curve, 10); });
        EXPECT_NE(message.find(missingFolder), std::string::npos) << format->Name << message;
        // A failed write leaves the existing file as it was.
        const std::string kept = folder.Write("kept.txt", "keep me");
        empty->CurveSize = 100002;
        EXPECT_THROW(format->SaveToFile(kept, *empty, 10), ELUTError);
        empty->CurveSize = 0;
        EXPECT_EQ(ReadBytes(kept), "keep me");
    }
    EXPECT_THROW(quantel.SaveToFile(folder.Path("q.txt"), *curve, 0), ELUTError);
    EXPECT_THROW(codex.SaveToFile(folder.Path("q.txt"), *curve, 40), ELUTError);
}

TEST(DeclaredLength1DFormats, HostileInputIsRefusedCleanly) {
    TTempFolder folder;
    const TLUTFormat& cube = *FindLutFormat("cube-1d");
    const TLUTFormat& codex = *FindLutFormat("codex-1d");
    const TLUTFormat& filmlight = *FindLutFormat("filmlight-1d");
    const TLUTFormat& quantel = *FindLutFormat("quantel-1d");
    ExpectHostileInputRefusedCleanly(cube, folder, "h.cube",
                                     Lines({"# c", "LUT_1D_SIZE 3", "0 0 0", "0.5 0.5 0.5", "1 1 1"}));
    ExpectHostileInputRefusedCleanly(codex, folder, "h.dat",
                                     Lines({"LUT: 3 3", "0", "1", "2", "0", "1", "2", "0", "1", "2"}));
    ExpectHostileInputRefusedCleanly(filmlight, folder, "h.cube",
                                     Lines({"# lutLength 3", "# iDims 3", "0 0 0", "0.5 0.5 0.5", "1 1 1"}));
    ExpectHostileInputRefusedCleanly(quantel, folder, "h.txt",
                                     Lines({"table type\t2", "gMax\t1023", "gSize\t3", "0 0 0", "1 1 1", "5 5 5"}));
    // The full table is accepted, one entry more is not.
    std::string full = "LUT_1D_SIZE 100001\n";
    for (int i = 0; i < kMaxCurveSize; ++i) full += "0 0.5 1\n";
    const std::string path = folder.Write("full.cube", full);
    auto lut = std::make_unique<TLUT>();
    cube.LoadFromFile(path, *lut);
    EXPECT_EQ(lut->CurveSize, kMaxCurveSize);
    EXPECT_EQ(lut->Curve[kMaxCurveSize - 1].Blue, 1.0);
}

}  // namespace
