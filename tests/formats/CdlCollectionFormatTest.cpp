#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/lut/LutChain.h"
#include "formats/CdlCollectionFormat.h"
#include "tests/formats/FormatTestSupport.h"

namespace {

using formattest::Contains;

// Laid out as OpenColorIO's cdl_test1.ccc: several corrections, one with a
// Description, one without a saturation, one spelling it "SatNode", one
// without a SOPNode.
const std::string kCollection = R"(<?xml version="1.0" encoding="UTF-8"?>
<ColorCorrectionCollection xmlns="urn:ASC:CDL:v1.2">
    <ColorCorrection id="cc0001">
        <SOPNode>
            <Description>this is a description</Description>
            <Slope>1.0 1.0 0.9</Slope>
            <Offset>-0.03 -0.02 0</Offset>
            <Power>1.25 1 1</Power>
        </SOPNode>
        <SATNode>
            <Saturation>1.7</Saturation>
        </SATNode>
    </ColorCorrection>
    <ColorCorrection id="cc0002">
        <SOPNode>
            <Slope>0.9 0.7 0.6</Slope>
            <Offset>0.1 0.1 0.1</Offset>
            <Power>0.9 0.9 0.9</Power>
        </SOPNode>
    </ColorCorrection>
    <ColorCorrection id="cc0003">
        <SOPNode>
            <Slope>1.2 1.1 1.0</Slope>
            <Offset>0 0 0</Offset>
            <Power>0.8 0.8 0.8</Power>
        </SOPNode>
        <SatNode>
            <Saturation>0.5</Saturation>
        </SatNode>
    </ColorCorrection>
    <ColorCorrection id="cc0004">
        <SATNode><Saturation>0</Saturation></SATNode>
    </ColorCorrection>
</ColorCorrectionCollection>
)";

// As cdl_test1.cdl: the corrections inside ColorDecision elements.
const std::string kDecisionList = R"(<?xml version="1.0" encoding="UTF-8"?>
<ColorDecisionList xmlns="urn:ASC:CDL:v1.2">
    <ColorDecision>
        <ColorCorrection id="cc0001">
            <SOPNode>
                <Slope>1.0 1.0 0.9</Slope>
                <Offset>-0.03 -0.02 0</Offset>
                <Power>1.25 1 1</Power>
            </SOPNode>
            <SATNode><Saturation>1.7</Saturation></SATNode>
        </ColorCorrection>
    </ColorDecision>
    <ColorDecision>
        <MediaRef ref="shot2.dpx"/>
        <ColorCorrection id="cc0002">
            <SOPNode><Slope>0.9 0.7 0.6</Slope><Offset>0.1 0.1 0.1</Offset><Power>0.9 0.9 0.9</Power></SOPNode>
        </ColorCorrection>
    </ColorDecision>
</ColorDecisionList>
)";

std::string ErrorOf(const std::string& text, const std::string& id) {
    try {
        ChooseCdlCorrection(text, id);
    } catch (const EError& error) {
        return error.what();
    }
    return "(no error)";
}

TEST(CdlCollectionFormatTest, BothDocumentKindsGiveTheirCorrectionsInOrder) {
    const std::vector<TCDLData> corrections = ReadCdlCorrections(kCollection);
    ASSERT_EQ(corrections.size(), 4u);
    EXPECT_EQ(corrections[0].Id, "cc0001");
    EXPECT_FLOAT_EQ(corrections[0].Blue.Slope, 0.9f);
    EXPECT_FLOAT_EQ(corrections[0].Red.Offset, -0.03f);
    EXPECT_FLOAT_EQ(corrections[0].Red.Power, 1.25f);
    EXPECT_FLOAT_EQ(corrections[0].Saturation, 1.7f);
    EXPECT_FLOAT_EQ(corrections[1].Saturation, 1.0f);
    EXPECT_FLOAT_EQ(corrections[2].Saturation, 0.5f);
    EXPECT_FLOAT_EQ(corrections[3].Green.Slope, 1.0f);
    EXPECT_FLOAT_EQ(corrections[3].Saturation, 0.0f);

    const std::vector<TCDLData> decisions = ReadCdlCorrections(kDecisionList);
    ASSERT_EQ(decisions.size(), 2u);
    EXPECT_EQ(decisions[1].Id, "cc0002");
    EXPECT_FLOAT_EQ(decisions[1].Green.Slope, 0.7f);
}

TEST(CdlCollectionFormatTest, TheChosenCorrectionIsBakedAsFilesAreRead) {
    EXPECT_EQ(ChooseCdlCorrection(kCollection, "").Id, "cc0001");
    const TCDLData chosen = ChooseCdlCorrection(kCollection, "cc0003");
    EXPECT_EQ(chosen.Id, "cc0003");
    auto lut = std::make_unique<TLUT>();
    BakeCdlCorrection(chosen, *lut);
    ASSERT_EQ(lut->Kind, lkCube);
    ASSERT_EQ(lut->CubeSize, 33);
    EXPECT_EQ(lut->Comments, std::vector<std::string>{"Name: cc0003"});
    // The table holds the file's own chain at its grid points.
    ASSERT_TRUE(lut->Chain);
    TRGBDouble atPoint{8 / 32.0, 16 / 32.0, 30 / 32.0};
    lut->Chain->Apply(atPoint);
    EXPECT_EQ(lut->Cube[8][16][30].Red, atPoint.Red);
    EXPECT_EQ(lut->Cube[8][16][30].Blue, atPoint.Blue);
    // Saturation 0.5 around the mean: not the plain slope and power.
    EXPECT_GT(std::abs(lut->Cube[8][16][30].Red - std::pow(1.2 * 0.25, 0.8)), 0.01);

    EXPECT_PRED2(Contains, ErrorOf(kDecisionList, "cc0009"), "ids are \"cc0001\", \"cc0002\"");
    EXPECT_PRED2(Contains, ErrorOf("<ColorCorrectionCollection/>", ""), "holds no ColorCorrection");
    EXPECT_PRED2(Contains,
                 ErrorOf("<ColorCorrectionCollection><ColorCorrection id=\"a\"><SOPNode><Slope>1 1</Slope>"
                         "</SOPNode></ColorCorrection></ColorCorrectionCollection>",
                         ""),
                 "Slope of the correction \"a\" is not three numbers");
}

TEST(CdlCollectionFormatTest, CutCollectionsAndAmbiguousIdsAreRefused) {
    // A collection cut anywhere inside its elements is damaged, not an identity.
    const std::string whole(kCollection);
    const std::size_t end = whole.rfind('>');
    for (std::size_t cut = whole.find("<SOPNode>") + 1; cut < end; cut += 7)
        EXPECT_THROW(ReadCdlCorrections(whole.substr(0, cut)), EError) << cut;
    EXPECT_NO_THROW(ReadCdlCorrections(whole));

    const std::string twice =
        "<ColorCorrectionCollection><ColorCorrection id=\"a\"/><ColorCorrection id=\"a\"/>"
        "</ColorCorrectionCollection>";
    EXPECT_PRED2(Contains, ErrorOf(twice, "a"), "more than one correction with the id \"a\"");
}

}  // namespace
