#include <gtest/gtest.h>

#include "formats/FormatRegistry.h"
#include "tests/formats/Lut1DTestSupport.h"

using namespace lut1dtest;

namespace {

TEST(Lustre1DFormat, ReadsTwelveAndSixteenBitFilesOnly) {
    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("lustre-1d");
    EXPECT_EQ(format.Name, "Autodesk Lustre 1D");
    EXPECT_FALSE(format.Is3D);
    const std::string path =
        folder.Write("a.lut", Lines({"LUT12", "", "# note", "0 0 0 0", "1 4095 2048 0", "2 x 1 1"}));
    EXPECT_TRUE(format.CanRead(path));
    auto lut = std::make_unique<TLUT>();
    format.LoadFromFile(path, *lut);
    EXPECT_EQ(lut->Kind, lkCurve);
    ASSERT_EQ(lut->CurveSize, 2);
    EXPECT_EQ(lut->Curve[1].Red, 1.0);
    EXPECT_EQ(lut->Curve[1].Green, 2048.0 / 4095.0);
    EXPECT_EQ(lut->Curve[1].Blue, 0.0);

    const std::string sixteen = folder.Write("b.lut", Lines({"title", "LUT16", "0 0 65535 0", "1 65535 0 0"}));
    EXPECT_TRUE(format.CanRead(sixteen));
    format.LoadFromFile(sixteen, *lut);
    EXPECT_EQ(lut->Curve[0].Green, 1.0);

    const std::string lower = folder.Write("c.lut", Lines({"lut12", "0 0 0 0", "1 4095 2048 0"}));
    EXPECT_EQ(ErrorText([&] { format.LoadFromFile(lower, *lut); }).rfind("Incomplete file. ", 0), 0u);
    const std::string ten = folder.Write("d.lut", Lines({"LUT10", "0 0 0 0", "1 1023 0 0"}));
    EXPECT_FALSE(format.CanRead(ten));
    EXPECT_EQ(ErrorText([&] { format.LoadFromFile(ten, *lut); }).rfind("Incomplete file. ", 0), 0u);
}

TEST(Lustre1DFormat, WritesTheLiteralLayoutClampedAndRounded) {
    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("lustre-1d");
    auto curve = MakeCurve({{0, 0, 0}, {1, 0.5, 2}});
    curve->Comments = {"not written"};
    const std::string path = folder.Path("out.lut");
    format.SaveToFile(path, *curve, 16);
    EXPECT_EQ(ReadBytes(path),
              Lines({"LUT16", "", "# Converted by Quor LUT Converter", "", "0 0 0 0", "1 65535 32768 65535"}));
}

TEST(ColorFrontOSD1DFormat, DetectsByExtensionAndCountsLines) {
    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("colorfront-osd-1d");
    const std::string content = Lines({"# c", "0 0 0", "", "0.5 0.25 1", "bad line"});
    const std::string path = folder.Write("look.1DLut", content);
    const std::string other = folder.Write("look.txt", content);
    EXPECT_TRUE(format.CanRead(path));
    EXPECT_FALSE(format.CanRead(other));
    EXPECT_TRUE(format.CanRead("", folder.Path("absent.1dlut")));  // the name alone decides
    auto lut = std::make_unique<TLUT>();
    format.LoadFromFile(path, *lut);
    ASSERT_EQ(lut->CurveSize, 2);
    EXPECT_EQ(lut->Curve[1].Green, 0.25);

    auto curve = MakeCurve({{0, 0.5, 1}, {1.5, -0.25, 0}});
    format.SaveToFile(path, *curve, 0);
    EXPECT_EQ(ReadBytes(path), Lines({"0.000000 0.500000 1.000000", "1.500000 -0.250000 0.000000"}));
}

TEST(Fusion1DFormat, ReadsTheBitDepthHeaderAndIndexedValues) {
    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("fusion-1d");
    const std::string path = folder.Write("a.alut", Lines({"F5LT", "", "10", "", "0 0 0 0 0 0", "1 1023 1 512 1 0"}));
    EXPECT_TRUE(format.CanRead(path));
    auto lut = std::make_unique<TLUT>();
    format.LoadFromFile(path, *lut);
    ASSERT_EQ(lut->CurveSize, 2);
    EXPECT_EQ(lut->Curve[1].Red, 1.0);
    EXPECT_EQ(lut->Curve[1].Green, 512.0 / 1023.0);
    EXPECT_EQ(lut->Curve[1].Blue, 0.0);

    // A bit depth that gives no usable divisor is refused.
    for (const char* bits : {"0", "-3", "64"}) {
        const std::string bad = folder.Write("b.alut", Lines({"F5LT", bits, "0 0 0 0 0 0", "1 1 1 1 1 1"}));
        EXPECT_THROW(format.LoadFromFile(bad, *lut), ELUTError) << bits;
    }

    auto curve = MakeCurve({{0, 0, 0}, {0, 0, 0}, {1, 0, 0.5}});
    const std::string out = folder.Path("out.alut");
    format.SaveToFile(out, *curve, 16);
    EXPECT_EQ(ReadBytes(out), Lines({"F5LT", "", "16", "", "0 0 0 0 0 0", "1 0 1 0 1 0", "2 65535 2 0 2 32768"}));
}

TEST(Blackmagic1DFormat, ReadsThousandthsAndSkipsLinesNotStartingWithADigit) {
    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("blackmagic-1d");
    const std::string path =
        folder.Write("a.txt", Lines({"R\tG\tB - HDLINK GAMMA TABLE", "-5 0 0", "1000.00 500.00 0.00", "0 0 250"}));
    EXPECT_TRUE(format.CanRead(path));
    auto lut = std::make_unique<TLUT>();
    format.LoadFromFile(path, *lut);
    ASSERT_EQ(lut->CurveSize, 2);
    EXPECT_EQ(lut->Curve[0].Red, 1.0);
    EXPECT_EQ(lut->Curve[0].Green, 0.5);
    EXPECT_EQ(lut->Curve[1].Blue, 0.25);

    auto curve = MakeCurve({{1, 0.5, 0}, {1.25, -0.001, 0.0005}});
    format.SaveToFile(path, *curve, 16);
    EXPECT_EQ(ReadBytes(path), Lines({"R\tG\tB - HDLINK GAMMA TABLE", "1000.00 500.00 0.00", "1250.00 -1.00 0.50"}));
}

TEST(CinetalAndShake1DFormats, WriteIntegersWithoutHeaderAndNeverRead) {
    TTempFolder folder;
    const TLUTFormat& cinetal = *FindLutFormat("cinetal-1d");
    const TLUTFormat& shake = *FindLutFormat("shake-1d");
    EXPECT_EQ(cinetal.Name, "Cine-tal 1D");
    EXPECT_EQ(shake.Name, "Shake 1D");
    auto curve = MakeCurve({{0, 0.5, 1}, {2, -1, 0.25}});
    const std::string path = folder.Path("out.txt");
    cinetal.SaveToFile(path, *curve, 10);
    EXPECT_EQ(ReadBytes(path), Lines({"0 512 1023", "1023 0 256"}));
    shake.SaveToFile(path, *curve, 16);
    EXPECT_EQ(ReadBytes(path), Lines({"0 32768 65535", "65535 0 16384"}));
    EXPECT_FALSE(cinetal.CanRead(path));
    EXPECT_FALSE(shake.CanRead(path));
}

TEST(DavinciLut1DFormats, ReadFixedScalesAndDetectByExtension) {
    TTempFolder folder;
    const TLUTFormat& ilut = *FindLutFormat("davinci-ilut-1d");
    const TLUTFormat& olut = *FindLutFormat("davinci-olut-1d");
    const std::string content = Lines({"16383 0 8192", "16383 0 8192 7", "0,4095,  1"});
    const std::string in = folder.Write("x.ilut", content);
    EXPECT_TRUE(ilut.CanRead(in));
    auto lut = std::make_unique<TLUT>();
    ilut.LoadFromFile(in, *lut);
    ASSERT_EQ(lut->CurveSize, 3);
    EXPECT_EQ(lut->Curve[0].Red, 1.0);
    EXPECT_EQ(lut->Curve[0].Blue, 8192.0 / 16383.0);
    EXPECT_EQ(lut->Curve[1].Blue, 8192.0 / 16383.0);
    EXPECT_EQ(lut->Curve[2].Green, 4095.0 / 16383.0);

    const std::string out = folder.Write("x.OLUT", content);
    EXPECT_TRUE(olut.CanRead(out));
    EXPECT_FALSE(olut.CanRead(in));
    EXPECT_FALSE(ilut.CanRead(out));
    olut.LoadFromFile(out, *lut);
    EXPECT_EQ(lut->Curve[2].Green, 1.0);

    const std::string script = folder.Write("y.ilut", "<iridascript>\n0 0 0\n1 1 1\n");
    EXPECT_FALSE(ilut.CanRead(script));
    // Not a writer: asking to write is an error and creates no file.
    const std::string target = folder.Path("z.ilut");
    EXPECT_THROW(ilut.SaveToFile(target, *lut, 12), ELUTError);
    EXPECT_THROW(olut.SaveToFile(target, *lut, 12), ELUTError);
    EXPECT_FALSE(std::filesystem::exists(target));
}

TEST(CountedLength1DFormats, RefuseFewerThanTwoEntriesAndTheFirstEntryPastCapacity) {
    TTempFolder folder;
    const TLUTFormat& format = *FindLutFormat("colorfront-osd-1d");
    auto lut = MakeCurve({{0, 0, 0}, {1, 1, 1}});
    const std::string none = folder.Write("a.1dlut", Lines({"# only a comment"}));
    EXPECT_EQ(ErrorText([&] { format.LoadFromFile(none, *lut); }).rfind("Incomplete file. ", 0), 0u);
    const std::string malformed = folder.Write("b.1dlut", Lines({"x y z", "1 2"}));
    EXPECT_THROW(format.LoadFromFile(malformed, *lut), ELUTError);
    const std::string one = folder.Write("c.1dlut", Lines({"0.5 0.5 0.5"}));
    EXPECT_THROW(format.LoadFromFile(one, *lut), ELUTError);
    // The LUT is left with its previous usable curve.
    EXPECT_EQ(lut->CurveSize, 2);
    EXPECT_EQ(lut->Curve[1].Red, 1.0);

    std::string full;
    for (int i = 0; i < kMaxCurveSize; ++i) full += "0.25 0.5 1\n";
    const std::string fits = folder.Write("full.1dlut", full);
    format.LoadFromFile(fits, *lut);
    EXPECT_EQ(lut->CurveSize, kMaxCurveSize);
    const std::string tooLong = folder.Write("long.1dlut", full + "1 1 1\n");
    EXPECT_THROW(format.LoadFromFile(tooLong, *lut), ELUTError);
}

TEST(CountedLength1DFormats, RoundTrips) {
    TTempFolder folder;
    constexpr int kSize = 4096;
    auto curve = std::make_unique<TLUT>();
    curve->Kind = lkCurve;
    curve->CurveSize = kSize;
    for (int i = 0; i < kSize; ++i)
        curve->Curve[i] = {i / 65535.0, (65535 - i * 16) / 65535.0, ((i * 37) % 65536) / 65535.0};

    const TLUTFormat& lustre = *FindLutFormat("lustre-1d");
    const TLUTFormat& fusion = *FindLutFormat("fusion-1d");
    for (const TLUTFormat* format : std::initializer_list<const TLUTFormat*>{&lustre, &fusion}) {
        const std::string path = folder.Path("round.lut");
        format->SaveToFile(path, *curve, 16);
        EXPECT_TRUE(format->CanRead(path)) << format->Name;
        auto back = std::make_unique<TLUT>();
        format->LoadFromFile(path, *back);
        ASSERT_EQ(back->CurveSize, kSize) << format->Name;
        for (int i = 0; i < kSize; ++i) {
            ASSERT_EQ(back->Curve[i].Red, curve->Curve[i].Red) << format->Name << i;
            ASSERT_EQ(back->Curve[i].Green, curve->Curve[i].Green) << format->Name << i;
            ASSERT_EQ(back->Curve[i].Blue, curve->Curve[i].Blue) << format->Name << i;
        }
    }
    // Lustre at 12 bits reads back too.
    auto twelve = MakeCurve({{0, 1, 2048 / 4095.0}, {1, 0, 1}});
    lustre.SaveToFile(folder.Path("t.lut"), *twelve, 12);
    auto back = std::make_unique<TLUT>();
    lustre.LoadFromFile(folder.Path("t.lut"), *back);
    EXPECT_EQ(back->Curve[0].Blue, 2048 / 4095.0);

    auto decimal = MakeCurve({{0.125, -0.5, 2.0}, {0.333333, 0.666667, 1.0}});
    const TLUTFormat& colorfront = *FindLutFormat("colorfront-osd-1d");
    colorfront.SaveToFile(folder.Path("r.1dlut"), *decimal, 0);
    colorfront.LoadFromFile(folder.Path("r.1dlut"), *back);
    ASSERT_EQ(back->CurveSize, 2);
    EXPECT_EQ(back->Curve[1].Green, 0.666667);
    EXPECT_EQ(back->Curve[0].Blue, 2.0);

    // HDLink keeps two decimals of thousandths.
    auto hdlink = MakeCurve({{0.12345, 0.5, 1}, {0, 0.99999, 0.25}});
    const TLUTFormat& blackmagic = *FindLutFormat("blackmagic-1d");
    blackmagic.SaveToFile(folder.Path("r.txt"), *hdlink, 0);
    blackmagic.LoadFromFile(folder.Path("r.txt"), *back);
    ASSERT_EQ(back->CurveSize, 2);
    EXPECT_EQ(back->Curve[0].Red, 123.45 / 1000);
    EXPECT_EQ(back->Curve[1].Green, 999.99 / 1000);
    EXPECT_EQ(back->Curve[1].Blue, 0.25);
}

TEST(CountedLength1DFormats, WritersRefuseUnusableTablesAndHostileInputIsRefusedCleanly) {
    TTempFolder folder;
    const TLUTFormat& lustre = *FindLutFormat("lustre-1d");
    const TLUTFormat& colorfront = *FindLutFormat("colorfront-osd-1d");
    const TLUTFormat& fusion = *FindLutFormat("fusion-1d");
    const TLUTFormat& blackmagic = *FindLutFormat("blackmagic-1d");
    const TLUTFormat& cinetal = *FindLutFormat("cinetal-1d");
    const TLUTFormat& shake = *FindLutFormat("shake-1d");
    auto empty = std::make_unique<TLUT>();
    for (const TLUTFormat* format :
         std::initializer_list<const TLUTFormat*>{&lustre, &colorfront, &fusion, &blackmagic, &cinetal, &shake}) {
        const std::string path = folder.Path("never.txt");
        EXPECT_THROW(format->SaveToFile(path, *empty, 16), ELUTError) << format->Name;
        EXPECT_FALSE(std::filesystem::exists(path)) << format->Name;
    }
    auto curve = MakeCurve({{0, 0, 0}, {1, 1, 1}});
    EXPECT_THROW(lustre.SaveToFile(folder.Path("x.lut"), *curve, 0), ELUTError);
    EXPECT_THROW(fusion.SaveToFile(folder.Path("x.alut"), *curve, 99), ELUTError);

    const TLUTFormat& ilut = *FindLutFormat("davinci-ilut-1d");
    ExpectHostileInputRefusedCleanly(lustre, folder, "h.lut", Lines({"LUT16", "0 0 0 0", "1 65535 1 1", "2 3 4 5"}));
    ExpectHostileInputRefusedCleanly(colorfront, folder, "h.1dlut", Lines({"0 0 0", "0.5 1e-3 1", "1 1 1"}));
    ExpectHostileInputRefusedCleanly(fusion, folder, "h.alut", Lines({"F5LT", "16", "0 0 0 0 0 0", "1 9 1 9 1 9"}));
    ExpectHostileInputRefusedCleanly(blackmagic, folder, "h.txt", Lines({"R G B HDLINK", "0 0 0", "1000 1000 1000"}));
    ExpectHostileInputRefusedCleanly(ilut, folder, "h.ilut", Lines({"0 0 0", "16383 16383 16383"}));
}

}  // namespace
