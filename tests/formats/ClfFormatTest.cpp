#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "engine/lut/LutChain.h"
#include "formats/FormatRegistry.h"
#include "formats/LutFormat.h"
#include "tests/formats/FormatTestSupport.h"

namespace {

void ReadClf(std::string_view text, TLUT& lut) { FindLutFormat("clf")->Read(text, "test.clf", lut); }
// The file's base name is the ProcessList's name.
std::string WriteClf(const TLUT& lut, const std::string& name) {
    return FindLutFormat("clf")->Write(lut, 0, "/tmp/" + name + ".clf");
}
bool LooksLikeClf(std::string_view head) { return FindLutFormat("clf")->CanRead(head, "test.xml"); }

using formattest::Contains;

std::string ClfReadError(const std::string& text) {
    auto lut = std::make_unique<TLUT>();
    try {
        ReadClf(text, *lut);
    } catch (const EError& error) {
        return error.what();
    }
    return "(no error)";
}

std::string Document(const std::string& operators) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- a \"quoted\" comment -->\n"
           "<ProcessList id=\"x\" compCLFversion=\"3\">\n" +
           operators + "</ProcessList>\n";
}

// A 2-point LUT3D at a bit depth whose values are given in file order.
std::string Lut3D(const std::string& outDepth, const std::string& values) {
    return "<LUT3D inBitDepth=\"32f\" outBitDepth=\"" + outDepth + "\">\n<Array dim=\"2 2 2 3\">\n" + values +
           "</Array>\n</LUT3D>\n";
}

std::string IdentityValues(double scale) {
    std::string text;
    for (int r = 0; r < 2; ++r)
        for (int g = 0; g < 2; ++g)
            for (int b = 0; b < 2; ++b)
                text += std::to_string(r * scale) + " " + std::to_string(g * scale) + " " + std::to_string(b * scale) +
                        "\n";
    return text;
}

TEST(ClfFormatTest, CubeAndCurveThenCubeRoundTripWithNameAndComments) {
    auto lut = formattest::RandomCube(7, 8);
    lut->Comments = {"Shot <12> & \"look\""};
    const std::string text = WriteClf(*lut, "dusk");
    EXPECT_PRED2(Contains, text,
                 "<Description>dusk</Description>\n    <Description>Shot &lt;12&gt; &amp; &quot;look&quot;");
    EXPECT_PRED2(Contains, text, "<Array dim=\"7 7 7 3\">");
    EXPECT_EQ(text.find("<LUT1D"), std::string::npos);
    auto back = std::make_unique<TLUT>();
    ReadClf(text, *back);
    EXPECT_EQ(back->Kind, lkCube);
    formattest::ExpectCubesNear(*lut, *back, 1e-8);
    EXPECT_EQ(back->Comments, (std::vector<std::string>{"dusk", "Shot <12> & \"look\""}));

    // The id follows the content: the same LUT gets the same id, another LUT another.
    auto idOf = [](const std::string& document) {
        const std::size_t at = document.find(" id=\"") + 5;
        return document.substr(at, document.find('"', at) - at);
    };
    EXPECT_EQ(idOf(text), idOf(WriteClf(*lut, "dusk")));
    EXPECT_NE(idOf(text), idOf(WriteClf(*lut, "dawn")));
    EXPECT_EQ(idOf(text).size(), 36u);

    lut->Kind = lkCurveThenCube;
    lut->CurveSize = 3;
    lut->Curve[0] = TRGBDouble{0.1, 0.0, 0.0};
    lut->Curve[1] = TRGBDouble{0.2, 0.5, 0.6};
    lut->Curve[2] = TRGBDouble{0.9, 1.0, 1.0};
    const std::string both = WriteClf(*lut, "dusk");
    ASSERT_LT(both.find("<LUT1D"), both.find("<LUT3D"));
    ReadClf(both, *back);
    EXPECT_EQ(back->Kind, lkCurveThenCube);
    EXPECT_EQ(back->CurveSize, 3);
    EXPECT_DOUBLE_EQ(back->Curve[1].Blue, 0.6);
    formattest::ExpectCubesNear(*lut, *back, 1e-8);
}

TEST(ClfFormatTest, IntegerDepthsScaleAndSingleColumnCurvesFeedAllChannels) {
    auto lut = std::make_unique<TLUT>();
    ReadClf(Document(Lut3D("10i", IdentityValues(1023))), *lut);
    EXPECT_DOUBLE_EQ(lut->Cube[1][0][1].Red, 1.0);
    EXPECT_DOUBLE_EQ(lut->Cube[1][0][1].Green, 0.0);
    EXPECT_DOUBLE_EQ(lut->Cube[1][0][1].Blue, 1.0);

    ReadClf(Document("<LUT1D inBitDepth=\"12i\" outBitDepth=\"8i\">\n<Array dim=\"3 1\">0 51 255</Array></LUT1D>"),
            *lut);
    ASSERT_EQ(lut->Kind, lkCurve);
    ASSERT_EQ(lut->CurveSize, 3);
    EXPECT_DOUBLE_EQ(lut->Curve[1].Red, 0.2);
    EXPECT_DOUBLE_EQ(lut->Curve[1].Blue, 0.2);
}

TEST(ClfFormatTest, OtherSequencesAreBakedInOrder) {
    // A matrix that swaps red and blue and adds 0.25 to green, then a
    // clamp to 0..0.5, then a cube: baked into a 33-point cube.
    const std::string matrix =
        "<Matrix inBitDepth=\"32f\" outBitDepth=\"32f\"><Array dim=\"3 4 3\">"
        "0 0 1 0  0 1 0 0.25  1 0 0 0</Array></Matrix>\n";
    const std::string range =
        "<Range inBitDepth=\"32f\" outBitDepth=\"32f\"><minInValue>0</minInValue>"
        "<maxInValue>0.5</maxInValue><minOutValue>0</minOutValue>"
        "<maxOutValue>0.5</maxOutValue></Range>\n";
    auto lut = std::make_unique<TLUT>();
    ReadClf(Document(matrix + range + Lut3D("32f", IdentityValues(1))), *lut);
    ASSERT_EQ(lut->Kind, lkCube);
    ASSERT_EQ(lut->CubeSize, 33);
    const TRGBDouble& point = lut->Cube[32][8][4];  // (1, 0.25, 0.125)
    EXPECT_NEAR(point.Red, 0.125, 1e-12);
    EXPECT_NEAR(point.Green, 0.5, 1e-12);  // 0.25 + 0.25, at the clamp
    EXPECT_NEAR(point.Blue, 0.5, 1e-12);   // 1 clamped

    // Per-channel operators alone give a curve: a Range mapping 8-bit
    // 16..235 onto 0..1, clamped.
    ReadClf(Document("<Range inBitDepth=\"8i\" outBitDepth=\"32f\"><minInValue>16</minInValue>"
                     "<maxInValue>235</maxInValue><minOutValue>0</minOutValue><maxOutValue>1</maxOutValue></Range>"),
            *lut);
    ASSERT_EQ(lut->Kind, lkCurve);
    ASSERT_EQ(lut->CurveSize, 4096);
    EXPECT_EQ(lut->Curve[0].Red, 0.0);
    EXPECT_EQ(lut->Curve[4095].Red, 1.0);
    const double x = 2000.0 / 4095.0;
    EXPECT_NEAR(lut->Curve[2000].Green, (x * 255.0 - 16.0) / 219.0, 1e-12);
}

TEST(ClfFormatTest, UnknownOperatorsAndDamagedArraysAreRefused) {
    EXPECT_PRED2(Contains, ClfReadError(Document("<Gamma inBitDepth=\"32f\" outBitDepth=\"32f\" style=\"basicFwd\"/>")),
                 "operator \"Gamma\" is not supported");
    EXPECT_PRED2(Contains, ClfReadError(Document(Lut3D("32f", "0 0 0\n"))), "expects 24 values, found 3");
    EXPECT_PRED2(Contains, ClfReadError(Document(Lut3D("11i", IdentityValues(1)))), "\"11i\"");
    EXPECT_PRED2(Contains, ClfReadError(Document(Lut3D("32f", IdentityValues(1) + "x"))), "'x'");
    EXPECT_PRED2(Contains, ClfReadError(Document("<LUT3D><Array dim=\"2 2 3 3\">1</Array></LUT3D>")), "\"N N N 3\"");
    EXPECT_PRED2(Contains, ClfReadError(Document("<LUT3D><Array dim=\"102 102 102 3\">1</Array></LUT3D>")),
                 "\"N N N 3\"");
    EXPECT_PRED2(Contains, ClfReadError(Document("<LUT1D halfDomain=\"true\"><Array dim=\"2 1\">0 1</Array></LUT1D>")),
                 "halfDomain");
    EXPECT_PRED2(Contains, ClfReadError(Document("<Matrix><Array dim=\"2 2\">1 0 0 1</Array></Matrix>")), "3 3, 3 4");
    EXPECT_PRED2(Contains, ClfReadError(Document("<Range><minInValue>0</minInValue></Range>")), "in pairs");
    EXPECT_PRED2(Contains, ClfReadError(Document("<LUT3D></LUT3D>")), "holds no Array");
    EXPECT_PRED2(Contains, ClfReadError("<lut><data/></lut>"), "no ProcessList");
    std::string many;
    for (int i = 0; i < 65; ++i)
        many +=
            "<Range inBitDepth=\"32f\" "
            "outBitDepth=\"32f\"><minInValue>0</minInValue><minOutValue>0</minOutValue></Range>";
    EXPECT_PRED2(Contains, ClfReadError(Document(many)), "more than 64 operators");
    EXPECT_TRUE(LooksLikeClf("<?xml?>\n<processlist id=\"1\">"));
    EXPECT_FALSE(LooksLikeClf("<lut><LUT3D>"));
}

TEST(ClfFormatTest, ChainsAreEvaluatedExactlyAndDocumentsCutShortAreRefused) {
    // A range that clamps at its output bounds: the chain gives the bound
    // itself where a baked curve would blend two entries.
    const std::string range = Document(
        "<Range inBitDepth=\"8i\" outBitDepth=\"32f\"><minInValue>16</minInValue><maxInValue>240</maxInValue>"
        "<minOutValue>-0.5</minOutValue><maxOutValue>2</maxOutValue></Range>"
        "<Log inBitDepth=\"32f\" outBitDepth=\"32f\" style=\"antiLog2\"/>");
    auto lut = std::make_unique<TLUT>();
    ReadClf(range, *lut);
    ASSERT_TRUE(lut->Chain);
    TRGBDouble out;
    lut->LookupNormalized({0.0627, 0.5, 1.0}, out);
    EXPECT_EQ(out.Red, std::exp2(-0.5));
    EXPECT_NEAR(out.Green, std::exp2(-0.5 + (127.5 - 16) * 2.5 / 224), 1e-12);
    EXPECT_EQ(out.Blue, 4.0);

    // Every prefix of the document is refused; the whole reads.
    for (std::size_t cut = 1; cut + 1 < range.size(); ++cut)
        ASSERT_NE(ClfReadError(range.substr(0, cut)), "(no error)") << range.substr(0, cut);
}

TEST(ClfFormatTest, IllegalListsAreRefusedWithWhatIsWrong) {
    const std::string matrix =
        "<Matrix inBitDepth=\"32f\" outBitDepth=\"16f\"><Array dim=\"3 3\">1 0 0 0 1 0 0 0 1</Array></Matrix>";
    const std::string curve = "<LUT1D inBitDepth=\"32f\" outBitDepth=\"32f\"><Array dim=\"2 1\">0 1</Array></LUT1D>";
    EXPECT_PRED2(Contains, ClfReadError(Document(matrix + curve)),
                 "inBitDepth \"32f\" differs from the outBitDepth \"16f\"");
    EXPECT_PRED2(Contains, ClfReadError(Document("<LUT1D outBitDepth=\"8i\"><Array dim=\"2 1\">0 1</Array></LUT1D>")),
                 "has no inBitDepth");
    EXPECT_PRED2(Contains, ClfReadError(Document("")), "holds no operator");
    EXPECT_PRED2(Contains, ClfReadError(Document(curve).substr(0, Document(curve).size() - 16)), "ends before");
    EXPECT_PRED2(Contains, ClfReadError("<ProcessList id=\"x\">" + curve + "</ProcessLst>"),
                 "closed by \"</ProcessLst>\"");
    EXPECT_PRED2(Contains, ClfReadError("<ProcessList id=\"x\" compCLFversion=\"3.2\">" + curve + "</ProcessList>"),
                 "newer than 3.0");
    EXPECT_PRED2(Contains, ClfReadError("<ProcessList compCLFversion=\"3\">" + curve + "</ProcessList>"), "no id");
    EXPECT_PRED2(
        Contains,
        ClfReadError(Document("<Range inBitDepth=\"32f\" outBitDepth=\"32f\" "
                              "style=\"noClamp\"><minInValue>0</minInValue><minOutValue>0</minOutValue></Range>")),
        "noClamp");
    EXPECT_PRED2(
        Contains,
        ClfReadError(Document("<LUT1D inBitDepth=\"32f\" outBitDepth=\"32f\" halfDomain=\"false\"><Array dim=\"2 "
                              "1\">0 1</Array></LUT1D>")),
        "only value it takes is \"true\"");
    EXPECT_PRED2(
        Contains,
        ClfReadError(Document(
            "<LUT1D inBitDepth=\"32f\" outBitDepth=\"32f\" hueAdjust=\"dw3\"><Array dim=\"2 1\">0 1</Array></LUT1D>")),
        "hueAdjust");
    EXPECT_PRED2(
        Contains,
        ClfReadError(Document("<Exponent inBitDepth=\"32f\" outBitDepth=\"32f\" "
                              "style=\"monCurveFwd\"><ExponentParams exponent=\"0.9\" offset=\"0\"/></Exponent>")),
        "exponent of 1 or more");
    EXPECT_PRED2(Contains,
                 ClfReadError(Document("<ASC_CDL inBitDepth=\"32f\" outBitDepth=\"32f\"><SOPNode><Slope>1 1 "
                                       "1</Slope><Offset>0 0 0</Offset><Power>1 0 1</Power></SOPNode></ASC_CDL>")),
                 "above 0");
    EXPECT_PRED2(Contains, ClfReadError(Document("<Array dim=\"2 1\">1</Array>")), "\"Array\"");
}

// A colour transform file (.ctf) may hold elements the format does not
// know between its operators: they are skipped. A Common LUT Format
// document refuses them by name, as its standard asks; operators that are
// not read, and anything with bit depths, stay refused in both.
TEST(ClfFormatTest, UnknownElementsBetweenOperatorsAreSkippedInTransformFiles) {
    auto errorIn = [](const std::string& text, const std::string& name) {
        auto lut = std::make_unique<TLUT>();
        try {
            FindLutFormat("clf")->Read(text, name, *lut);
        } catch (const EError& error) {
            return std::string(error.what());
        }
        return std::string("(no error)");
    };
    auto transform = [](const std::string& elements) {
        return "<?xml version=\"1.0\"?>\n<ProcessList id=\"x\" version=\"1.3\">\n" + elements + "</ProcessList>\n";
    };
    const std::string curve =
        "<LUT1D inBitDepth=\"32f\" outBitDepth=\"32f\"><Array dim=\"2 1\">0.25 0.75</Array></LUT1D>\n";
    const std::string unknown = "<Ignore>\nThis is a \"difficult\" but legal file.\n</Ignore>\n" + curve +
                                "<just_ignore/>\n<Notes><just_ignore>text</just_ignore></Notes>\n";
    auto lut = std::make_unique<TLUT>();
    FindLutFormat("clf")->Read(transform(unknown), "look.ctf", *lut);
    ASSERT_EQ(lut->Kind, lkCurve);
    ASSERT_EQ(lut->CurveSize, 2);
    EXPECT_DOUBLE_EQ(lut->Curve[0].Green, 0.25);
    EXPECT_DOUBLE_EQ(lut->Curve[1].Blue, 0.75);

    EXPECT_PRED2(Contains, errorIn(transform(unknown), "look.clf"), "operator \"Ignore\" is not supported");
    EXPECT_PRED2(Contains, errorIn(Document(unknown), "look.ctf"), "operator \"Ignore\" is not supported");
    EXPECT_PRED2(Contains,
                 errorIn(transform("<Ignore/>" + curve +
                                   "<FixedFunction inBitDepth=\"32f\" outBitDepth=\"32f\" style=\"RedMod03Fwd\"/>"),
                         "look.ctf"),
                 "operator \"FixedFunction\" is not supported");
    EXPECT_PRED2(Contains, errorIn(transform(curve + "<Swirl inBitDepth=\"32f\" outBitDepth=\"32f\"/>"), "look.ctf"),
                 "operator \"Swirl\" is not supported");
    EXPECT_PRED2(Contains, errorIn(transform(curve + "<Array dim=\"2 1\">1</Array>"), "look.ctf"), "\"Array\"");
    EXPECT_PRED2(Contains, errorIn(transform("<Ignore/><just_ignore/>"), "look.ctf"), "holds no operator");
}

}  // namespace
