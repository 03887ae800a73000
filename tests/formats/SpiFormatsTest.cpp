#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "formats/FormatRegistry.h"
#include "formats/LutFormat.h"
#include "formats/Spi3DFormat.h"
#include "tests/formats/FormatTestSupport.h"

namespace {

void ReadSpi1D(std::string_view text, TLUT& lut) { FindLutFormat("spi1d")->Read(text, "test.spi1d", lut); }
std::string WriteSpi1D(const TLUT& lut) { return FindLutFormat("spi1d")->Write(lut, 0, "test.spi1d"); }

using formattest::Contains;

std::string ErrorOf(void (*read)(std::string_view, TLUT&), const std::string& text) {
    auto lut = std::make_unique<TLUT>();
    try {
        read(text, *lut);
    } catch (const ELUTError& error) {
        return error.what();
    }
    return "(no error)";
}

TEST(Spi1DFormatTest, CurveRoundTripsAndOneComponentAppliesToAllChannels) {
    auto lut = std::make_unique<TLUT>();
    std::mt19937 random(3);
    std::uniform_real_distribution<double> unit(-0.5, 1.5);
    lut->Kind = lkCurve;
    lut->CurveSize = 1000;
    for (int i = 0; i < 1000; ++i) lut->Curve[i] = TRGBDouble{unit(random), unit(random), unit(random)};
    const std::string text = WriteSpi1D(*lut);
    EXPECT_EQ(text.substr(0, 50), "Version 1\nFrom 0.0 1.0\nLength 1000\nComponents 3\n{\n");

    auto back = std::make_unique<TLUT>();
    ReadSpi1D(text, *back);
    ASSERT_EQ(back->Kind, lkCurve);
    ASSERT_EQ(back->CurveSize, 1000);
    for (int i = 0; i < 1000; ++i) {
        EXPECT_NEAR(back->Curve[i].Red, lut->Curve[i].Red, 1e-8);
        EXPECT_NEAR(back->Curve[i].Blue, lut->Curve[i].Blue, 1e-8);
    }

    ReadSpi1D("Version 1\r\nFrom 0.0 1.0\r\nLength 2\r\nComponents 1\r\n{\r\n 0.25\r\n 0.75\r\n}\r\n", *back);
    ASSERT_EQ(back->CurveSize, 2);
    EXPECT_EQ(back->Curve[1].Red, 0.75);
    EXPECT_EQ(back->Curve[1].Green, 0.75);
    EXPECT_EQ(back->Curve[1].Blue, 0.75);
}

TEST(Spi1DFormatTest, AnotherDomainIsResampledOntoZeroToOne) {
    // Domain 0..2 over three entries 0, 1, 4: the input 0.5 sits a quarter
    // into the domain, halfway between the first two entries.
    auto lut = std::make_unique<TLUT>();
    ReadSpi1D("Version 1\nFrom 0 2\nLength 3\nComponents 1\n{\n0\n1\n4\n}\n", *lut);
    ASSERT_EQ(lut->CurveSize, 3);
    EXPECT_DOUBLE_EQ(lut->Curve[0].Red, 0.0);
    EXPECT_DOUBLE_EQ(lut->Curve[1].Red, 0.5);
    EXPECT_DOUBLE_EQ(lut->Curve[2].Red, 1.0);
    // An input below the domain holds the first entry.
    ReadSpi1D("Version 1\nFrom 0.5 1\nLength 2\nComponents 1\n{\n0.2\n0.4\n}\n", *lut);
    EXPECT_DOUBLE_EQ(lut->Curve[0].Red, 0.2);
    EXPECT_DOUBLE_EQ(lut->Curve[1].Red, 0.4);
}

TEST(Spi1DFormatTest, DamagedFilesAreRefusedWithTheirPlace) {
    const std::string head = "Version 1\nFrom 0.0 1.0\nLength 3\nComponents 3\n{\n";
    EXPECT_PRED2(Contains, ErrorOf(ReadSpi1D, head + "0 0 0\n1 1 1\n}\n"), "expected 3 entries, found 2");
    EXPECT_PRED2(Contains, ErrorOf(ReadSpi1D, head + "0 0 0\n0.5 x 0.5\n1 1 1\n}\n"), "'x' is not a number. (line 7");
    EXPECT_PRED2(Contains, ErrorOf(ReadSpi1D, head + "0 0 0\n0.5 0.5\n1 1 1\n}\n"), "needs 3 numbers");
    EXPECT_PRED2(Contains, ErrorOf(ReadSpi1D, head + "0 0 0\n0 0 0\n1 1 1\n1 1 1\n}\n"), "More entries");
    EXPECT_PRED2(Contains, ErrorOf(ReadSpi1D, "Version 2\nLength 2\nComponents 1\n{\n0\n1\n}\n"), "version 1");
    EXPECT_PRED2(Contains, ErrorOf(ReadSpi1D, "Version 1\nLength 2\nComponents 2\n{\n0 0\n1 1\n}\n"), "Two components");
    EXPECT_PRED2(Contains, ErrorOf(ReadSpi1D, "Version 1\nFrom 1 0\nLength 2\nComponents 1\n{\n0\n1\n}\n"), "domain");
    EXPECT_PRED2(Contains, ErrorOf(ReadSpi1D, "Version 1\nLength 1048577\nComponents 1\n{\n"), "1048576");
    EXPECT_PRED2(Contains, ErrorOf(ReadSpi1D, head + "0 0 0\n0.5 0.5 0.5\n1 1 1\n"), "without the \"}\"");
    EXPECT_PRED2(Contains, ErrorOf(ReadSpi1D, "Version 1\nComponents 1\n{\n0\n1\n}\n"), "\"Length\" line is missing");
}

TEST(Spi3DFormatTest, CubeRoundTripsAndLinesMayComeInAnyOrder) {
    auto lut = formattest::RandomCube(5, 21);
    const std::string text = WriteSpi3D(*lut);
    EXPECT_EQ(text.substr(0, 22), "SPILUT 1.0\n3 3\n5 5 5\n0");
    auto back = std::make_unique<TLUT>();
    ReadSpi3D(text, *back);
    formattest::ExpectCubesNear(*lut, *back, 1e-8);

    // The same lines shuffled give the same cube.
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    std::shuffle(lines.begin() + 3, lines.end(), std::mt19937(5));
    std::string shuffled;
    for (const std::string& line : lines) shuffled += line + "\n";
    auto again = std::make_unique<TLUT>();
    ReadSpi3D(shuffled, *again);
    formattest::ExpectCubesNear(*back, *again, 0.0);
}

TEST(Spi3DFormatTest, MissingRepeatedOrStrayPointsAreRefused) {
    const std::string head = "SPILUT 1.0\n3 3\n2 2 2\n";
    std::string points;
    for (int r = 0; r < 2; ++r)
        for (int g = 0; g < 2; ++g)
            for (int b = 0; b < 2; ++b)
                points += std::to_string(r) + " " + std::to_string(g) + " " + std::to_string(b) + " 0.1 0.2 0.3\n";
    EXPECT_EQ(ErrorOf(ReadSpi3D, head + points), "(no error)");
    const std::string withoutLast = points.substr(0, points.rfind("1 1 1"));
    EXPECT_PRED2(Contains, ErrorOf(ReadSpi3D, head + withoutLast), "expected 8 entries, found 7");
    EXPECT_PRED2(Contains, ErrorOf(ReadSpi3D, head + withoutLast + "0 0 0 1 1 1\n"), "given twice. (line 11");
    EXPECT_PRED2(Contains, ErrorOf(ReadSpi3D, head + withoutLast + "1 1 2 1 1 1\n"), "index '2'");
    EXPECT_PRED2(Contains, ErrorOf(ReadSpi3D, "SPILUT 1.0\n3 3\n2 2 3\n"), "equal sizes");
    EXPECT_PRED2(Contains, ErrorOf(ReadSpi3D, "SPILUT 1.0\n3 1\n2 2 2\n"), "\"3 3\"");
    EXPECT_PRED2(Contains, ErrorOf(ReadSpi3D, "SPILUT 1.0\n3 3\n102 102 102\n"), "from 2 to 101");
    EXPECT_PRED2(Contains, ErrorOf(ReadSpi3D, "LUT 1.0\n"), "starts with");
}

}  // namespace
