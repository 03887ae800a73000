#include "grading/LookDocument.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <cstdlib>

#include "engine/base/Error.h"
#include "engine/look/LookControls.h"
#include "engine/lut/LutChain.h"
#include "formats/ClfFormat.h"
#include "grading/EmbeddedLut.h"
#include "tests/grading/SampleLooks.h"

namespace {

void ExpectSameLut(const TLUT& a, const TLUT& b) {
    ASSERT_EQ(a.Kind, b.Kind);
    if (a.Kind != lkCurve) ASSERT_EQ(a.CubeSize, b.CubeSize);
    EXPECT_EQ(a.Comments, b.Comments);
    EXPECT_FALSE(b.Chain);
    if (a.Kind == lkCurve || a.Kind == lkCurveThenCube) {
        ASSERT_EQ(a.CurveSize, b.CurveSize);
        for (int i = 0; i < a.CurveSize; ++i) {
            ASSERT_TRUE(SameBits(a.Curve[i].Red, b.Curve[i].Red)) << i;
            ASSERT_TRUE(SameBits(a.Curve[i].Green, b.Curve[i].Green)) << i;
            ASSERT_TRUE(SameBits(a.Curve[i].Blue, b.Curve[i].Blue)) << i;
        }
    }
    if (a.Kind == lkCurve) return;
    const int n = a.CubeSize;
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b2 = 0; b2 < n; ++b2) {
                const TRGBDouble& x = a.Cube[r][g][b2];
                const TRGBDouble& y = b.Cube[r][g][b2];
                ASSERT_TRUE(SameBits(x.Red, y.Red) && SameBits(x.Green, y.Green) && SameBits(x.Blue, y.Blue))
                    << r << " " << g << " " << b2;
            }
}

void ExpectSameStats(const TColorStats& a, const TColorStats& b) {
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(SameBits(a.Ranges[i].MeanU, b.Ranges[i].MeanU)) << i;
        EXPECT_TRUE(SameBits(a.Ranges[i].DevU, b.Ranges[i].DevU)) << i;
        EXPECT_TRUE(SameBits(a.Ranges[i].MeanV, b.Ranges[i].MeanV)) << i;
        EXPECT_TRUE(SameBits(a.Ranges[i].DevV, b.Ranges[i].DevV)) << i;
        EXPECT_EQ(a.PixelCounts[i], b.PixelCounts[i]) << i;
    }
}

void ExpectSameRecipe(const TLookRecipe& a, const TLookRecipe& b) {
    EXPECT_EQ(a.ReferenceName, b.ReferenceName);
    EXPECT_EQ(a.ReferenceHash, b.ReferenceHash);
    EXPECT_TRUE(a.ReferenceCell.SamePixels(b.ReferenceCell));
    for (const TLookControl& control : LookControls())
        EXPECT_EQ(a.Positions.*control.Position, b.Positions.*control.Position) << control.Key;
    for (const TLookSwitch& option : LookSwitches())
        EXPECT_EQ(a.Positions.*option.Position, b.Positions.*option.Position) << option.Key;
    EXPECT_EQ(a.Match, b.Match);
    if (a.Match) {
        ExpectSameStats(a.MatchStats, b.MatchStats);
        EXPECT_EQ(a.MatchedTo, b.MatchedTo);
    }
    EXPECT_EQ(a.Footage, b.Footage);
    EXPECT_EQ(a.FootageConfig, b.FootageConfig);
    EXPECT_EQ(a.Interpolation, b.Interpolation);
    ASSERT_EQ(bool(a.Lut), bool(b.Lut));
    if (a.Lut) ExpectSameLut(*a.Lut, *b.Lut);
    EXPECT_EQ(a.LutName, b.LutName);
}

}  // namespace

TEST(LookDocument, EveryFieldReadsBackAsWritten) {
    const TLookDocument document = SampleDocument();
    const TLookDocument back = LookDocumentFromText(LookDocumentText(document), "a.olook");
    ExpectSameRecipe(document.Look, back.Look);
    for (std::size_t i = 0; i < 4; ++i) {
        ASSERT_EQ(document.Snapshots[i].has_value(), back.Snapshots[i].has_value()) << i;
        if (document.Snapshots[i]) ExpectSameRecipe(*document.Snapshots[i], *back.Snapshots[i]);
    }
    EXPECT_EQ(back.Description, document.Description);
    EXPECT_EQ(back.ProgramVersion, "1.00");
    EXPECT_EQ(back.Date, "2026-12-09T20:15:00Z");
}

TEST(LookDocument, ReadThenWrittenGivesTheSameBytes) {
    const std::string text = LookDocumentText(SampleDocument());
    EXPECT_EQ(LookDocumentText(LookDocumentFromText(text, "a.olook")), text);
    EXPECT_EQ(LookDocumentText(SampleDocument()), text);  // the same document, the same bytes
    const std::string plain = LookDocumentText(TLookDocument{});
    EXPECT_EQ(LookDocumentText(LookDocumentFromText(plain, "b.olook")), plain);
}

TEST(LookDocument, NamesItsFormatAndVersionAndSortsItsKeys) {
    const std::string text = LookDocumentText(SampleDocument());
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
    EXPECT_EQ(root["format"].toString(), "ombrane-look");
    EXPECT_EQ(root["version"].toInt(), kLookDocumentVersion);
    EXPECT_EQ(root["look"].toObject()["positions"].toObject()["gain"].toInt(), 120);
    EXPECT_EQ(root["look"].toObject()["switches"].toObject()["basic-analysis"].toBool(), true);
    EXPECT_TRUE(root["snapshots"].toObject()["B"].isNull());
    EXPECT_LT(text.find("\"date\""), text.find("\"description\""));
    EXPECT_LT(text.find("\"look\""), text.find("\"snapshots\""));
}

TEST(LookDocument, StatisticsComeBackBitForBit) {
    for (unsigned seed = 1; seed < 200; ++seed) {
        TLookDocument document;
        document.Look = SampleRecipe(seed);
        const TLookDocument back = LookDocumentFromText(LookDocumentText(document), "s.olook");
        ExpectSameStats(document.Look.MatchStats, back.Look.MatchStats);
    }
    TLookDocument document;
    document.Look = SampleRecipe(4);
    EXPECT_TRUE(
        std::signbit(LookDocumentFromText(LookDocumentText(document), "z.olook").Look.MatchStats.Ranges[1].MeanV));
}

TEST(LookDocument, KeptLutsComeBackWithExactlyTheirValues) {
    for (const auto& lut : {SampleCubeLut(33, 3), SampleCubeLut(2, 4), SampleCurveThenCubeLut(5)}) {
        TLookDocument document;
        document.Look.Lut = lut;
        document.Look.LutName = "kept";
        ExpectSameLut(*lut, *LookDocumentFromText(LookDocumentText(document), "l.olook").Look.Lut);
    }
    auto curve = SampleCurveThenCubeLut(6);
    curve->Kind = lkCurve;
    curve->Curve[3] = {1e-300, -0.0, 123456.789012345678};
    TLookDocument document;
    document.Look.Lut = curve;
    ExpectSameLut(*curve, *LookDocumentFromText(LookDocumentText(document), "c.olook").Look.Lut);
}

TEST(LookDocument, TheProfilesClfWriterKeepsItsNineDigits) {
    // The exact writer is a second form; the LUT profile's files are as before.
    const auto lut = SampleCubeLut(2, 9);
    const std::string file = WriteClf(*lut, "dusk");
    EXPECT_NE(file.find("<Description>dusk</Description>"), std::string::npos);
    TLUT back;
    ReadClf(file, "dusk.clf", back);
    EXPECT_FALSE(SameBits(back.Cube[1][0][1].Red, lut->Cube[1][0][1].Red));
    EXPECT_NEAR(back.Cube[1][0][1].Red, lut->Cube[1][0][1].Red, 1e-8);
}

TEST(LookDocument, ALutThatIsAChainIsRefusedWhenWritten) {
    auto lut = SampleCubeLut(3, 1);
    lut->Chain = std::make_shared<TLutChain>();
    TLookDocument document;
    document.Look.Lut = lut;
    try {
        LookDocumentText(document);
        FAIL() << "written";
    } catch (const EError& error) {
        EXPECT_EQ(std::string(error.what()).rfind("look.lut: ", 0), 0u) << error.what();
    }
}

TEST(LookDocument, ALutValueThatWouldNotComeBackIsRefusedWhenWritten) {
    for (const double value : {std::nan(""), HUGE_VAL, -1e39}) {
        auto lut = SampleCurveThenCubeLut(2);
        TLookDocument document;
        document.Look.Lut = lut;
        EXPECT_NO_THROW(LookDocumentText(document));
        lut->Cube[4][0][3].Green = value;
        try {
            LookDocumentText(document);
            ADD_FAILURE() << value << " written";
        } catch (const EError& error) {
            EXPECT_EQ(std::string(error.what()),
                      "look.lut: the LUT holds a value that is not a finite 32-bit float number");
        }
        lut->Cube[4][0][3].Green = 0.5;
        lut->Curve[16].Red = value;
        EXPECT_THROW(LookDocumentText(document), EError) << value;
    }
}

TEST(LookDocument, SavesAtomicallyAndLoadsTheFile) {
    QTemporaryDir folder;
    const std::string name = folder.filePath("grade.olook").toStdString();
    SaveLookDocument(SampleDocument(), name);
    EXPECT_EQ(LookDocumentText(LoadLookDocument(name)), LookDocumentText(SampleDocument()));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    TLookDocument bad;
    bad.Look.ReferenceCell = SampleCell(1);  // a reference without its hash
    try {
        SaveLookDocument(bad, name);
        FAIL() << "saved";
    } catch (const EError& error) {
        EXPECT_EQ(std::string(error.what()).rfind("\"" + name + "\": look.reference.hash", 0), 0u) << error.what();
    }
    EXPECT_EQ(LookDocumentText(LoadLookDocument(name)), LookDocumentText(SampleDocument()));
}

TEST(LookDocument, KnowsItsNamesAndDate) {
    EXPECT_TRUE(IsLookDocumentName("a.olook"));
    EXPECT_TRUE(IsLookDocumentName("/x/B.OLook"));
    EXPECT_FALSE(IsLookDocumentName("a.olook.png"));
    EXPECT_FALSE(IsLookDocumentName("olook"));
    EXPECT_STREQ(kLookDocumentMimeType, "application/x-ombrane-look");
    EXPECT_EQ(LookProgramVersion(), "1.00");
    const char* previous = std::getenv("SOURCE_DATE_EPOCH");
    const std::string kept = previous ? previous : "";
    setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    EXPECT_EQ(LookDocumentDate(), "2023-11-14T22:13:20Z");
    unsetenv("SOURCE_DATE_EPOCH");
    const std::string now = LookDocumentDate();
    EXPECT_EQ(now.size(), 20u);
    EXPECT_EQ(now.back(), 'Z');
    if (previous) setenv("SOURCE_DATE_EPOCH", kept.c_str(), 1);
}
