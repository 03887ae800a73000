#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "formats/FormatRegistry.h"
#include "formats/LutFormat.h"
#include "tests/formats/FormatTestSupport.h"

namespace {

// The Cinespace formats as the program finds them: a file whose type line
// says "1D" goes to the 1D format, every other text to the 3D one, whose
// reader names what is wrong.
void ReadCinespace(std::string_view text, TLUT& lut) {
    const char* id = FindLutFormat("cinespace-1d")->CanRead(text, "test.csp") ? "cinespace-1d" : "cinespace-3d";
    FindLutFormat(id)->Read(text, "test.csp", lut);
}
std::string WriteCinespace3D(const TLUT& lut) { return FindLutFormat("cinespace-3d")->Write(lut, 0, "test.csp"); }
std::string WriteCinespace1D(const TLUT& lut) { return FindLutFormat("cinespace-1d")->Write(lut, 0, "test.csp"); }

using formattest::Contains;

std::string CinespaceReadError(const std::string& text) {
    auto lut = std::make_unique<TLUT>();
    try {
        ReadCinespace(text, *lut);
    } catch (const ELUTError& error) {
        return error.what();
    }
    return "(no error)";
}

const std::string kIdentityPreLut = "2\n0.0 1.0\n0.0 1.0\n2\n0.0 1.0\n0.0 1.0\n2\n0.0 1.0\n0.0 1.0\n\n";

TEST(CinespaceFormatTest, CubeAndCurveRoundTripWithTheirComments) {
    auto cube = formattest::RandomCube(6, 4);
    cube->Comments = {"graded for the trailer", "END METADATA", "second line"};
    const std::string text = WriteCinespace3D(*cube);
    EXPECT_EQ(text.substr(0, 40), "CSPLUTV100\n3D\n\nBEGIN METADATA\ngraded for");
    auto back = std::make_unique<TLUT>();
    ReadCinespace(text, *back);
    EXPECT_EQ(back->Kind, lkCube);
    formattest::ExpectCubesNear(*cube, *back, 1e-8);
    // A comment that would end the block early is left out.
    EXPECT_EQ(back->Comments, (std::vector<std::string>{"graded for the trailer", "second line"}));

    auto curve = std::make_unique<TLUT>();
    curve->Kind = lkCurve;
    curve->CurveSize = 17;
    for (int i = 0; i < 17; ++i) curve->Curve[i] = TRGBDouble{i / 16.0, (i / 16.0) * (i / 16.0), 1.0 - i / 16.0};
    ReadCinespace(WriteCinespace1D(*curve), *back);
    ASSERT_EQ(back->Kind, lkCurve);
    ASSERT_EQ(back->CurveSize, 17);
    for (int i = 0; i < 17; ++i) EXPECT_NEAR(back->Curve[i].Green, curve->Curve[i].Green, 1e-9);
}

TEST(CinespaceFormatTest, APreLutOtherThanTheIdentityIsBakedIntoTheTable) {
    // A 3-point identity cube behind a red pre-LUT that squares its input:
    // the grid point red 0.5 looks the cube up at 0.25.
    std::string text = "CSPLUTV100\n3D\n\n3\n0 0.5 1\n0 0.25 1\n2\n0 1\n0 1\n2\n0 1\n0 1\n\n3 3 3\n";
    for (int b = 0; b < 3; ++b)
        for (int g = 0; g < 3; ++g)
            for (int r = 0; r < 3; ++r)
                text += std::to_string(r / 2.0) + " " + std::to_string(g / 2.0) + " " + std::to_string(b / 2.0) + "\n";
    auto lut = std::make_unique<TLUT>();
    ReadCinespace(text, *lut);
    ASSERT_EQ(lut->CubeSize, 3);
    EXPECT_DOUBLE_EQ(lut->Cube[1][1][2].Red, 0.25);
    EXPECT_DOUBLE_EQ(lut->Cube[1][1][2].Green, 0.5);
    EXPECT_DOUBLE_EQ(lut->Cube[1][1][2].Blue, 1.0);
    EXPECT_DOUBLE_EQ(lut->Cube[2][0][0].Red, 1.0);

    // A 1D table behind a pre-LUT that reads only its upper half (input 0
    // maps to 0.5), held at the ends beyond the pre-LUT's inputs.
    ReadCinespace("CSPLUTV100\n1D\n\n2\n0 1\n0.5 1\n2\n-1 2\n-1 2\n2\n0.5 1\n0 1\n\n3\n0 0 0\n0.5 0.5 0.5\n1 1 1\n",
                  *lut);
    ASSERT_EQ(lut->Kind, lkCurve);
    EXPECT_DOUBLE_EQ(lut->Curve[0].Red, 0.5);
    EXPECT_DOUBLE_EQ(lut->Curve[1].Red, 0.75);
    EXPECT_DOUBLE_EQ(lut->Curve[1].Green, 0.5);  // identity on 0..1: untouched
    EXPECT_DOUBLE_EQ(lut->Curve[0].Blue, 0.0);   // below its first input 0.5
    EXPECT_DOUBLE_EQ(lut->Curve[1].Blue, 0.0);
}

TEST(CinespaceFormatTest, DamagedFilesAreRefusedWithTheirPlace) {
    const std::string head = "CSPLUTV100\n3D\n\n" + kIdentityPreLut + "2 2 2\n";
    std::string body;
    for (int i = 0; i < 7; ++i) body += "0.5 0.5 0.5\n";
    EXPECT_PRED2(Contains, CinespaceReadError(head + body), "expected 8 entries, found 7");
    EXPECT_EQ(CinespaceReadError(head + body + "1 1 1\n"), "(no error)");
    EXPECT_PRED2(Contains, CinespaceReadError(head + body + "1 1 1\n1 1 1\n"), "Text after the last entry");
    EXPECT_PRED2(Contains, CinespaceReadError(head + body + "1 1\n"), "three numbers. (line 22: \"1 1\")");
    EXPECT_PRED2(Contains, CinespaceReadError("CSPLUTV100\n2D\n"), "\"1D\" or \"3D\"");
    EXPECT_PRED2(Contains, CinespaceReadError("CSPLUTV100\n3D\nBEGIN METADATA\nx\n"), "END METADATA");
    EXPECT_PRED2(Contains, CinespaceReadError("CSPLUTV100\n3D\n3\n0 1 0.5\n0 1 1\n"), "do not rise");
    EXPECT_PRED2(Contains, CinespaceReadError("CSPLUTV100\n3D\n3\n0 1\n"), "holds 2 numbers instead of 3");
    EXPECT_PRED2(Contains, CinespaceReadError("CSPLUTV100\n1D\n" + kIdentityPreLut + "1\n"), "from 2 to 100001");
    EXPECT_PRED2(Contains, CinespaceReadError("LUT\n"), "starts with");
}

}  // namespace
