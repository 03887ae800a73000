#include "grading/GradingSession.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <vector>

#include "SampleLooks.h"
#include "engine/colour/ColorSpace.h"
#include "engine/look/GradingRoad.h"
#include "engine/picture/ImageResize.h"

namespace {

// Every point of two cubes of the same size alike.
bool SameCubeValues(const TLUT& a, const TLUT& b) {
    if (a.CubeSize != b.CubeSize || a.CubeSize == 0) return false;
    for (int r = 0; r < a.CubeSize; ++r)
        for (int g = 0; g < a.CubeSize; ++g)
            for (int b2 = 0; b2 < a.CubeSize; ++b2) {
                const TRGBDouble& p = a.Cube[r][g][b2];
                const TRGBDouble& q = b.Cube[r][g][b2];
                if (p.Red != q.Red || p.Green != q.Green || p.Blue != q.Blue) return false;
            }
    return true;
}

// The look of a cell and positions built by the engine's own road, without
// matching.
std::unique_ptr<TLUT> EngineLook(const TImage& cell, const TLookPositions& positions) {
    TColorStats stats{};
    ComputeColorStats(cell, stats);
    auto lut = std::make_unique<TLUT>();
    lut->Kind = lkCube;
    lut->CubeSize = kLookCubeSize;
    BuildLookLut(MakeLookSettings(stats, positions), *lut);
    return lut;
}

// A session with a frame and a library of cells by file name; it records
// what it announces.
struct GradingSessionTest : ::testing::Test {
    TGradingSession session;
    std::map<QString, TImage> library;
    std::vector<bool> regrades;
    int conversions = 0;

    void SetUp() override {
        library["warm.jpg"] = SampleCell(1);
        library["cold.jpg"] = SampleCell(2);
        session.SetCellSource([this](const QString& file) -> const TImage* {
            const auto found = library.find(file);
            return found == library.end() ? nullptr : &found->second;
        });
        QObject::connect(&session, &TGradingSession::Regraded, [this](bool built) { regrades.push_back(built); });
        QObject::connect(&session, &TGradingSession::FootageConverted, [this] { ++conversions; });
    }
    void OpenFrame() { session.SetPreview(SampleCell(7)); }
};

}  // namespace

// The decision to regrade: nothing without a frame; with one, the chosen
// reference's look is built from its cell (as the engine builds it) and the
// regrade announced; a reference whose cell is gone, or none, is announced
// without a build.
TEST_F(GradingSessionTest, RegradeBuildsTheChosenReferencesLookOnceThereIsAFrame) {
    session.SetReference("warm.jpg");
    session.Regrade();
    EXPECT_TRUE(regrades.empty());
    EXPECT_FALSE(session.LookBuilt());

    OpenFrame();
    session.SetPosition(&TLookPositions::Saturation, 140);
    session.Regrade();
    ASSERT_EQ(regrades, std::vector<bool>{true});
    EXPECT_EQ(session.BuildCount(), 1);
    EXPECT_TRUE(session.Graded());
    EXPECT_TRUE(SameCubeValues(session.Lut(), *EngineLook(library["warm.jpg"], session.Positions())));
    EXPECT_TRUE(session.ReferenceCell().SamePixels(library["warm.jpg"]));

    session.SetReference("gone.jpg");
    session.Regrade();
    EXPECT_EQ(regrades, (std::vector<bool>{true, false}));
    EXPECT_EQ(session.BuildCount(), 1);

    session.SetReference(QString());
    session.Regrade();
    EXPECT_EQ(regrades, (std::vector<bool>{true, false, false}));
    EXPECT_FALSE(session.Graded());
}

// A previewed LUT grades instead of the look until it ends.
TEST_F(GradingSessionTest, APreviewedLutIsTheActiveLutUntilItEnds) {
    OpenFrame();
    session.SetReference("warm.jpg");
    session.Regrade();
    auto lut = SampleCubeLut(17, 3);
    session.SetPreviewLut(lut, "film.cube");
    EXPECT_EQ(&session.ActiveLut(), lut.get());
    EXPECT_EQ(session.CurrentLook().LutName, "film.cube");
    EXPECT_TRUE(session.EndPreviewLut());
    EXPECT_FALSE(session.EndPreviewLut());
    EXPECT_EQ(&session.ActiveLut(), &session.Lut());
}

// A control moved announces a look change, except while quiet; every change
// is an edit.
TEST_F(GradingSessionTest, ControlsAnnounceChangesUnlessQuiet) {
    int changes = 0, edits = 0;
    QObject::connect(&session, &TGradingSession::LookChanged, [&] { ++changes; });
    QObject::connect(&session, &TGradingSession::LookEdited, [&] { ++edits; });
    session.SetPosition(&TLookPositions::Gain, 80);
    session.SetQuiet(true);
    session.SetSwitch(&TLookPositions::CompressSaturation, true);
    session.SetMatchPreview(true);
    session.SetQuiet(false);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(edits, 3);
    const TLook look = session.CurrentLook();
    EXPECT_EQ(look.Positions.Gain, 80);
    EXPECT_TRUE(look.Positions.CompressSaturation);
    EXPECT_TRUE(look.Match);
}

// A renamed library file: the choice, the history's steps and the
// snapshots' looks follow it.
TEST_F(GradingSessionTest, ARenamedReferenceIsFollowedEverywhereTheSessionKeepsIt) {
    const auto now = TLookHistory::TClock::now();
    session.SetReference("warm.jpg");
    session.History().Record(session.CurrentLook(), now);
    session.Snapshots().Store(0, session.CurrentLook());
    session.SetReference("cold.jpg");
    session.History().Record(session.CurrentLook(), now);
    session.SetReference("warm.jpg");

    session.RenameReference("warm.jpg", "sunset.jpg");
    EXPECT_EQ(session.Reference(), "sunset.jpg");
    EXPECT_EQ(session.Snapshots().Look(0).Reference, "sunset.jpg");
    EXPECT_EQ(session.History().Undo().Reference, "sunset.jpg");
}

// The snapshot compared with: its LUT is built from its own reference and
// positions, whatever the current look is; no comparison, no LUT.
TEST_F(GradingSessionTest, TheComparisonLutIsTheComparedSnapshotsLook) {
    OpenFrame();
    session.SetReference("cold.jpg");
    session.SetPosition(&TLookPositions::Blue, 40);
    session.Snapshots().Store(1, session.CurrentLook());
    const TLookPositions stored = session.Positions();
    session.SetReference("warm.jpg");
    session.SetPosition(&TLookPositions::Blue, 160);

    session.UpdateComparison();
    EXPECT_EQ(session.ComparisonLut(), nullptr);
    session.Snapshots().SetComparison(1);
    session.UpdateComparison();
    ASSERT_NE(session.ComparisonLut(), nullptr);
    EXPECT_TRUE(SameCubeValues(*session.ComparisonLut(), *EngineLook(library["cold.jpg"], stored)));
    session.Snapshots().SetComparison(-1);
    session.UpdateComparison();
    EXPECT_EQ(session.ComparisonLut(), nullptr);
}

// Another footage space converts the frame, then regrades; the history
// starts from the space the spaces came with, so taking them is no step.
TEST_F(GradingSessionTest, AFootageSpaceConvertsTheFrameThenRegrades) {
    TFootageSpaces spaces;
    ASSERT_GT(spaces.Entries().size(), 1u);
    ASSERT_TRUE(spaces.ChooseKept(spaces.Entries()[1].Key));
    session.SetFootageSpaces(std::move(spaces));
    EXPECT_EQ(session.CurrentLook().Footage, 1);
    session.History().Record(session.CurrentLook(), TLookHistory::TClock::now());
    EXPECT_FALSE(session.History().CanUndo());

    session.ChooseFootage(0);
    EXPECT_EQ(conversions, 0);  // no frame: nothing to convert or regrade
    EXPECT_TRUE(regrades.empty());

    OpenFrame();
    session.Footage().PreviewChanged(session.Preview());
    const TColorStats display = *session.MatchStats();
    session.SetReference("warm.jpg");
    session.ChooseFootage(1);
    EXPECT_EQ(conversions, 1);
    EXPECT_EQ(regrades, std::vector<bool>{true});
    EXPECT_EQ(session.Footage().Chosen(), 1);
    ASSERT_NE(session.Footage().Conversion(), nullptr);
    // Matching measures the converted frame now.
    EXPECT_NE(session.MatchStats()->Ranges[1].MeanU, display.Ranges[1].MeanU);
}

// A frame handed over to be fitted when first read is, to everything that
// reads it, the frame fitted at once: the preview's bytes, and the look
// matched to it. Until then the session has a frame but has not fitted it.
TEST_F(GradingSessionTest, AFrameFittedWhenFirstReadIsTheFrameFittedAtOnce) {
    TImage frame = SampleCell(7);
    frame = FitImage(frame, 1600, 1200);  // larger than the box, so fitting resamples
    const TImage fitted = FitImage(frame, 1000, 500);
    session.SetReference("warm.jpg");
    session.SetMatchPreview(true);

    session.SetPreview(fitted.Clone());
    session.Regrade();
    const std::shared_ptr<const TLUT> eager = session.LookLut(library["warm.jpg"], session.Positions(), true);
    ASSERT_TRUE(SameCubeValues(session.Lut(), *eager));

    session.SetPreviewOf(std::make_shared<const TImage>(frame.Clone()), 1000, 500);
    session.ForgetPreviewStats();
    EXPECT_TRUE(session.HasPreview());
    session.Regrade();
    EXPECT_TRUE(SameCubeValues(session.Lut(), *eager));
    EXPECT_TRUE(session.Preview().SamePixels(fitted));

    // Another frame: the look is matched to it, not to the one fitted before.
    session.SetPreviewOf(std::make_shared<const TImage>(SampleCell(2)), 1000, 500);
    session.ForgetPreviewStats();
    session.Regrade();
    EXPECT_FALSE(SameCubeValues(session.Lut(), *eager));
    EXPECT_TRUE(session.Preview().SamePixels(FitImage(SampleCell(2), 1000, 500)));
    session.SetPreview(TImage());
    EXPECT_FALSE(session.HasPreview());
}
