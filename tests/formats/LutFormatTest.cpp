#include <gtest/gtest.h>

#include <unistd.h>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "formats/FormatFiles.h"
#include "formats/FormatText.h"
#include "formats/LutFormat.h"

namespace {

namespace fs = std::filesystem;

class LutFormatTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ombrane-lutformat-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Write(const std::string& name, const std::string& bytes) const {
        std::string path = (dir_ / name).string();
        std::ofstream out(path, std::ios::binary);
        out << bytes;
        return path;
    }

    fs::path dir_;
};

// A minimal line format for the driver: "size N" sets the size, every other
// line is three decimals stored in the order chosen.
class TProbeFormat : public TGenericLutFormat {
public:
    explicit TProbeFormat(bool blueFastest)
        : TGenericLutFormat({.Id = "probe", .Name = "probe", .Extensions = {"txt"}}), blueFastest_(blueFastest) {}
    bool CanRead(std::string_view, const std::string&) const override { return true; }
    std::string Write(const TLUT&, int, const std::string&) const override { return ""; }

    // Every line saw the text being read (the state lives only during a read).
    mutable bool SawTextFileDuringLoad = false;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override {
        SawTextFileDuringLoad = state.TextFile != nullptr;
        if (line.rfind("size ", 0) == 0) {
            state.SetSize(ParseInteger(Trim(line.substr(5))));
            return;
        }
        double r, g, b;
        if (state.Size < 0 || !ParseFloatTriple(line, r, g, b)) return;
        if (blueFastest_)
            state.StoreBlueFastest(lut, r, g, b);
        else
            state.StoreRedFastest(lut, r, g, b);
    }

private:
    bool blueFastest_;
};

std::string ProbeFile(int size, int lines) {
    std::string text = "size " + std::to_string(size) + "\n";
    for (int i = 0; i < lines; ++i)
        text += std::to_string(i) + " " + std::to_string(i + 1) + " " + std::to_string(i + 2) + "\n";
    return text;
}

TEST_F(LutFormatTest, DriverFillsTheGridInTheChosenOrder) {
    auto lut = std::make_unique<TLUT>();
    TProbeFormat redFastest(false);
    redFastest.LoadFromFile(Write("red.txt", ProbeFile(2, 8)), *lut);
    EXPECT_EQ(lut->Kind, lkCube);
    EXPECT_EQ(lut->CubeSize, 2);
    // Line k goes to red = k % 2, green = k / 2 % 2, blue = k / 4.
    for (int k = 0; k < 8; ++k) {
        const TRGBDouble& v = lut->Cube[k % 2][k / 2 % 2][k / 4];
        EXPECT_EQ(v.Red, k);
        EXPECT_EQ(v.Green, k + 1);
        EXPECT_EQ(v.Blue, k + 2);
    }
    EXPECT_TRUE(redFastest.SawTextFileDuringLoad);

    TProbeFormat blueFastest(true);
    blueFastest.LoadFromFile(Write("blue.txt", ProbeFile(3, 27)), *lut);
    EXPECT_EQ(lut->CubeSize, 3);
    for (int k = 0; k < 27; ++k) EXPECT_EQ(lut->Cube[k / 9][k / 3 % 3][k % 3].Red, k);
}

TEST_F(LutFormatTest, DriverDropsSurplusAndReportsShortFiles) {
    auto lut = std::make_unique<TLUT>();
    TProbeFormat format(false);
    format.LoadFromFile(Write("long.txt", ProbeFile(2, 9)), *lut);
    EXPECT_EQ(lut->Cube[1][1][1].Red, 7);
    EXPECT_EQ(lut->Cube[0][0][0].Red, 0);  // the ninth line did not wrap around

    lut->Kind = lkCurve;
    lut->CubeSize = 33;
    try {
        format.LoadFromFile(Write("short.txt", ProbeFile(2, 7)), *lut);
        FAIL() << "a short file must raise";
    } catch (const ELUTError& e) {
        EXPECT_STREQ(e.what(), "Incomplete file. Expected 8 entries, found 7.");
    }
    EXPECT_EQ(lut->Kind, lkCube);
    EXPECT_EQ(lut->CubeSize, 2);

    // Without any size the LUT keeps its previous, usable size.
    lut->CubeSize = 17;
    EXPECT_THROW(format.LoadFromFile(Write("nosize.txt", "1 2 3\n"), *lut), ELUTError);
    EXPECT_EQ(lut->CubeSize, 17);
    EXPECT_THROW(format.LoadFromFile(Write("empty.txt", ""), *lut), ELUTError);
}

TEST_F(LutFormatTest, ErrorsNameTheLineAndItsText) {
    auto lut = std::make_unique<TLUT>();
    TProbeFormat format(false);
    auto messageOf = [&](const std::string& text) {
        try {
            format.Read(text, "probe.txt", *lut);
        } catch (const ELUTError& e) {
            return std::string(e.what());
        }
        return std::string("(no error)");
    };
    // The message of the fault first, then where it is.
    EXPECT_EQ(messageOf("# probe\n\nsize 1x\n"), "'1x' is not a valid integer value. Line 3: \"size 1x\"");
    // A long line is quoted with its first 80 characters.
    const std::string longValue(200, '7');
    EXPECT_EQ(messageOf("size " + longValue + "\n"),
              "'" + longValue + "' is not a valid integer value. Line 1: \"size " + longValue.substr(0, 75) + "\"");
    // CR LF and CR line ends count one line each.
    EXPECT_NE(messageOf("a\r\nb\rsize 0\n").find("Line 3: \"size 0\""), std::string::npos);
    // An incomplete table says how much was missing.
    EXPECT_EQ(messageOf(ProbeFile(3, 20)), "Incomplete file. Expected 27 entries, found 20.");
    EXPECT_EQ(messageOf("1 2 3\n"), "Incomplete file. The file gives no table size.");
}

TEST_F(LutFormatTest, SizesOutsideTheTablesAreRefused) {
    auto lut = std::make_unique<TLUT>();
    TProbeFormat format(false);
    for (int size : {102, 1, 0, -5, 2000000}) {
        try {
            format.LoadFromFile(Write("big.txt", ProbeFile(size, 3)), *lut);
            FAIL() << "size " << size << " must be refused";
        } catch (const ELUTError& e) {
            EXPECT_NE(std::string(e.what()).find(std::to_string(size)), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(format.LoadFromFile(Write("bad.txt", "size 1x\n"), *lut), ELUTError);
    EXPECT_EQ(CheckedCubeSize(101), 101);
    EXPECT_EQ(CheckedCurveSize(100001), 100001);
    EXPECT_THROW(CheckedCurveSize(100002), ELUTError);
    EXPECT_THROW(CheckedCubeSize(1), ELUTError);
}

TEST_F(LutFormatTest, KeywordDetection) {
    const std::string lines = Write("lines.txt", "# x\nChannel 3D\nFORMAT lut\n");
    const std::string words = Write("words.txt", "the lut has a format, the channel is 3d");
    const std::string partial = Write("partial.txt", "channel 3d only\n");
    EXPECT_TRUE(HasKeywords(lines, "channel 3d,format lut", ""));
    EXPECT_TRUE(HasKeywords(words, "channel 3d,format lut", ""));
    EXPECT_FALSE(HasKeywords(partial, "channel 3d,format lut", ""));

    const std::string cube = Write("a.cube", "LUT_3D_SIZE 2\nLUT_3D_VERSION 2\n");
    EXPECT_FALSE(HasKeywords(cube, "LUT_3D_SIZE", "NUCODA_3D_CUBE,LUT_3D_VERSION"));
    EXPECT_TRUE(HasKeywords(cube, "LUT_3D_SIZE,lut_3d_version", "NUCODA_3D_CUBE"));

    // Only the first 4096 bytes count.
    const std::string late = Write("late.txt", std::string(4091, ' ') + "3DMESH\n");
    EXPECT_FALSE(HasKeywords(late, "3DMESH", ""));
    const std::string inTime = Write("intime.txt", std::string(4090, ' ') + "3DMES");
    EXPECT_FALSE(HasKeywords(inTime, "3DMESH", ""));
    EXPECT_TRUE(HasKeywords(Write("edge.txt", std::string(4090, ' ') + "3DMESH"), "3DMESH", ""));

    EXPECT_THROW(HasKeywords((dir_ / "missing").string(), "x", ""), EError);

    EXPECT_EQ(SplitKeywordList("NUCODA_3D_CUBE,LUT_3D_VERSION"),
              (std::vector<std::string>{"NUCODA_3D_CUBE", "LUT_3D_VERSION"}));
    EXPECT_EQ(SplitKeywordList("channel 3d,format lut"), (std::vector<std::string>{"channel", "3d", "format", "lut"}));
    EXPECT_EQ(SplitKeywordList(" \"max value\" , vertices"), (std::vector<std::string>{"max value", "vertices"}));
    EXPECT_TRUE(SplitKeywordList("").empty());

    EXPECT_EQ(ReadFileHead(late, 4096).size(), 4096u);
    EXPECT_EQ(ReadFileHead(partial, 4096), "channel 3d only\n");
}

TEST(LutTextHelpers, ContainsTextNextTokenSplitAt) {
    EXPECT_EQ(ContainsText("LUT_3D_SIZE", "lut_3d_size 33"), 1);
    EXPECT_EQ(ContainsText("mesh", "  Mesh 5 12"), 3);
    EXPECT_EQ(ContainsText("mesh", "3DMES"), 0);
    EXPECT_EQ(ContainsText("", "abc"), 0);

    std::string text = "12\t34 56,78";
    std::string token;
    NextToken(text, token);
    EXPECT_EQ(token, "12");
    EXPECT_EQ(text, "34 56,78");
    NextToken(text, token);
    EXPECT_EQ(token, "34");
    NextToken(text, token);
    EXPECT_EQ(token, "56");
    EXPECT_EQ(text, "78");
    NextToken(text, token);
    EXPECT_EQ(token, "78");
    EXPECT_EQ(text, "");
    text = ",x";
    NextToken(text, token);
    EXPECT_EQ(token, "");
    EXPECT_EQ(text, "x");

    std::string rest = "17 17 17";
    std::string head;
    SplitAt(" ", rest, head);
    EXPECT_EQ(head, "17");
    EXPECT_EQ(rest, "17 17");
    rest = "a::b";
    SplitAt("::", rest, head);
    EXPECT_EQ(head, "a");
    EXPECT_EQ(rest, "b");
    rest = "nothing";
    SplitAt(" ", rest, head);
    EXPECT_EQ(head, "nothing");
    EXPECT_EQ(rest, "");

    EXPECT_EQ(Trim("\t a b \r"), "a b");
    EXPECT_EQ(FirstNonBlank("  \t# c"), '#');
    EXPECT_EQ(FirstNonBlank("   "), '\0');
    EXPECT_EQ(BaseNameWithoutExtension("/tmp/x/look.file.txt"), "look.file");
    EXPECT_EQ(BaseNameWithoutExtension("look"), "look");
    EXPECT_EQ(FileExtension("/a.b/look.3DL"), ".3DL");
    EXPECT_EQ(FileExtension("/a.b/look"), "");
}

TEST(LutNumberHelpers, ParseIntTriple) {
    double a = -1, b = -1, c = -1;
    EXPECT_TRUE(ParseIntTriple("  4095 2048 0 ", 4095, false, a, b, c));
    EXPECT_EQ(a, 1.0);
    EXPECT_EQ(b, 2048.0 / 4095.0);
    EXPECT_EQ(c, 0.0);
    EXPECT_FALSE(ParseIntTriple("1 2 3 4", 4095, false, a, b, c));
    EXPECT_TRUE(ParseIntTriple("7\t1023\t512\t0", 1023, true, a, b, c));
    EXPECT_EQ(a, 1.0);
    EXPECT_EQ(b, 512.0 / 1023.0);
    EXPECT_EQ(c, 0.0);
    EXPECT_TRUE(ParseIntTriple("1,2,3", 1, false, a, b, c));
    EXPECT_EQ(a + b + c, 6.0);
    EXPECT_TRUE(ParseIntTriple("-1 +2 3", 1, false, a, b, c));
    EXPECT_EQ(a, -1.0);
    EXPECT_EQ(b, 2.0);
    EXPECT_FALSE(ParseIntTriple("1 2", 1, false, a, b, c));
    EXPECT_FALSE(ParseIntTriple("1 2.5 3", 1, false, a, b, c));
    EXPECT_FALSE(ParseIntTriple("R\tG\tB", 1, false, a, b, c));
    EXPECT_FALSE(ParseIntTriple("", 1, false, a, b, c));
    EXPECT_FALSE(ParseIntTriple("1 2 99999999999", 1, false, a, b, c));
}

TEST(LutNumberHelpers, ParseFloatTriple) {
    double a = -1, b = -1, c = -1;
    EXPECT_TRUE(ParseFloatTriple("0.5 1e-3 -2", a, b, c));
    EXPECT_EQ(a, 0.5);
    EXPECT_EQ(b, 0.001);
    EXPECT_EQ(c, -2.0);
    EXPECT_TRUE(ParseFloatTriple("\t.25,+1.5E+1\t 3 ", a, b, c));
    EXPECT_EQ(a, 0.25);
    EXPECT_EQ(b, 15.0);
    EXPECT_EQ(c, 3.0);
    EXPECT_FALSE(ParseFloatTriple("0.1 0.2 abc", a, b, c));
    EXPECT_FALSE(ParseFloatTriple("0,5 0,5 0,5", a, b, c));  // four tokens
    EXPECT_FALSE(ParseFloatTriple("nan 0 0", a, b, c));
    EXPECT_FALSE(ParseFloatTriple("1e999 0 0", a, b, c));
    EXPECT_FALSE(ParseFloatTriple("+-1 0 0", a, b, c));
    EXPECT_FALSE(ParseFloatTriple("LUT_3D_SIZE 33", a, b, c));
}

TEST(LutNumberHelpers, FormatScaled) {
    EXPECT_EQ(FormatScaled(12, 1.0), "4095");
    EXPECT_EQ(FormatScaled(12, 0.5), "2048");  // 2047.5 to even
    EXPECT_EQ(FormatScaled(10, 1.0), "1023");
    EXPECT_EQ(FormatScaled(16, 1.0), "65535");
    EXPECT_EQ(FormatScaled(12, 1.7), "4095");
    EXPECT_EQ(FormatScaled(12, -0.2), "0");
    EXPECT_EQ(FormatScaled(12, std::nan("")), "0");
    EXPECT_EQ(FormatScaled(8, 0.5), "128");  // 127.5 to even
    EXPECT_EQ(FormatScaled(8, 2.5 / 255.0), "2");
}

TEST(LutNumberHelpers, FormatFixedIsCorrectlyRoundedAndLocaleFree) {
    EXPECT_EQ(FormatFixed(6, 0.5), "0.500000");
    EXPECT_EQ(FormatFixed(6, 1.0), "1.000000");
    EXPECT_EQ(FormatFixed(6, 0.0), "0.000000");
    EXPECT_EQ(FormatFixed(6, -0.25), "-0.250000");
    EXPECT_EQ(FormatFixed(6, -1e-9), "0.000000");
    EXPECT_EQ(FormatFixed(6, 32.999999), "32.999999");
    EXPECT_EQ(FormatFixed(6, 123456789012.345678), "123456789012.346000");
    EXPECT_EQ(FormatFixed(2, 1234567.0), "1234567.00");

    // Against the C library's exact conversion in the "C" locale.
    const char* saved = std::setlocale(LC_NUMERIC, nullptr);
    std::string savedLocale = saved ? saved : "C";
    std::setlocale(LC_NUMERIC, "C");
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> unit(-0.1, 1.1);
    char reference[64];
    for (int i = 0; i < 20000; ++i) {
        double value = unit(random);
        if (i % 3 == 0)  // values on and near the 6-decimal grid
            value = std::nearbyint(value * 2e6) / 2e6;
        std::snprintf(reference, sizeof reference, "%.6f", value);
        std::string expected = reference;
        if (expected == "-0.000000") expected = "0.000000";
        ASSERT_EQ(FormatFixed(6, value), expected) << value;
    }
    std::setlocale(LC_NUMERIC, savedLocale.c_str());
}

}  // namespace
