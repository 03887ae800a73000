#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLayout>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <filesystem>
#include <memory>

#include "app/FootageChoice.h"
#include "app/FrameBar.h"
#include "app/ImageViewer.h"
#include "app/KeysDialog.h"
#include "app/LutSaveForm.h"
#include "app/MainForm.h"
#include "app/MatchShotDialog.h"
#include "app/StatusLine.h"
#include "clip/ClipFile.h"
#include "clip/ClipPicture.h"
#include "engine/footage/FootageLook.h"
#include "engine/look/GradingRoad.h"
#include "engine/lut/LUT.h"
#include "formats/LutConvert.h"
#include "tests/app/ExportThroughDialog.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/GradingRig.h"
#include "tests/app/NextModal.h"
#include "tests/app/SavedFiles.h"
#include "tests/cli/KnownLooks.h"
#include "tests/support/ClipMaking.h"
#include "tests/support/ShotPairs.h"

// "Match Shot…": the dialog on its own, then opened from the preview panel.
// One test builds the whole window: it checks that the Look menu's item and
// its key reach the panel there, and that the status line follows the look
// previewed.

namespace {

TImage GradedWith(const TLUT& lut, const TImage& picture) {
    TImage graded = picture.Clone();
    GradePicture(lut, graded);
    return graded;
}

// Two crops of a photograph (Debian's mate-backgrounds) that share about
// half of the scene: GRADED graded by a known look, FRAME as it is, and
// TRUTH, FRAME through the same look. FRAME reaches right and below
// GRADED's part of the photograph.
class MatchShotDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"Garden.jpg", "Dune.jpg"})
            if (!std::filesystem::exists(kPhotoFolder + name)) GTEST_SKIP() << kPhotoFolder + name << " is missing";
        ASSERT_TRUE(dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
        const TImage photo = LoadPhoto("Garden.jpg", 1280);
        look = SCurveHueTwist();
        SaveImageFile(Path("graded.png"), Graded(CropFitted(photo, 0, 0, 800, 500, 480, 300), *look));
        frame = CropFitted(photo, 240, 150, 800, 500, 480, 300);
        truth = Graded(frame, *look);
        SaveImageFile(Path("frame.png"), frame);
        SaveImageFile(Path("other.png"), LoadPhoto("Dune.jpg", 480));
    }

    std::string Path(const char* name) const { return dir.filePath(name).toStdString(); }
    QString QPath(const char* name) const { return dir.filePath(name); }

    // 'ombrane-cli' with the arguments; false when it fails.
    bool Cli(const QStringList& arguments) const {
        QProcess cli;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        cli.setProcessEnvironment(environment);
        cli.start(OMBRANE_CLI, arguments);
        return cli.waitForFinished(120000) && cli.exitCode() == 0;
    }

    QTemporaryDir dir;
    std::unique_ptr<TLUT> look;
    TImage frame;
    TImage truth;
};

}  // namespace

// With FRAME and the graded frame the look is matched and reported; it
// grades FRAME close to the truth, and exported it is the file 'match'
// writes, at the fit's size and at a smaller one.
TEST_F(MatchShotDialogTest, MatchesTheFrameAndExportsWhatTheCommandLineWrites) {
    TfrmMatchShot dialog;
    dialog.SetFrame(frame.Clone(), QPath("frame.png"));
    EXPECT_EQ(dialog.MatchedLut(), nullptr);
    dialog.SetGraded(QPath("graded.png"));
    ASSERT_NE(dialog.MatchedLut(), nullptr) << dialog.ReportText().toStdString();
    EXPECT_TRUE(dialog.ReportText().startsWith("Matched: ")) << dialog.ReportText().toStdString();
    EXPECT_TRUE(dialog.ReportText().contains("mean ΔE2000")) << dialog.ReportText().toStdString();
    const double untouched = MeanDifference(frame, truth);
    EXPECT_LT(MeanDifference(GradedWith(*dialog.MatchedLut(), frame), truth), untouched / 3);

    for (int size : {33, 17}) {
        SCOPED_TRACE(size);
        const QString windowFile = QPath("window.cube"), cliFile = QPath("cli.cube");
        QFile::remove(windowFile);
        ExportThroughDialog(dialog, "Cube 3D Davinci", size, windowFile);
        ASSERT_TRUE(Cli({"match", QPath("graded.png"), QPath("frame.png"), "-o", cliFile, "--profile",
                         "Cube 3D Davinci", "--size", QString::number(size)}));
        const QByteArray written = FileBytes(windowFile);
        ASSERT_FALSE(written.isEmpty());
        EXPECT_TRUE(written == FileBytes(cliFile));
        EXPECT_EQ(ReadLutFile(windowFile.toStdString())->CubeSize, size);
    }
}

// The report of a match takes more lines than the hint before it: the
// shown dialog grows to hold them instead of pressing its slots together.
TEST_F(MatchShotDialogTest, TheShownDialogGrowsWithItsReport) {
    TfrmMatchShot dialog;
    dialog.SetFrame(frame.Clone(), QPath("frame.png"));
    dialog.show();
    QCoreApplication::processEvents();
    const int before = dialog.height();
    dialog.SetGraded(QPath("graded.png"));
    ASSERT_NE(dialog.MatchedLut(), nullptr) << dialog.ReportText().toStdString();
    QCoreApplication::processEvents();
    dialog.layout()->activate();
    EXPECT_GE(dialog.height(), dialog.layout()->totalHeightForWidth(dialog.width()));
    EXPECT_GE(dialog.height(), before);
}

// Another scene is refused in the dialog, one line, and leaves nothing to
// preview or export; the graded frame of the scene matches again.
TEST_F(MatchShotDialogTest, AnotherSceneIsRefusedInOneLine) {
    TfrmMatchShot dialog;
    dialog.SetFrame(frame.Clone(), QPath("frame.png"));
    auto* preview = dialog.findChild<QPushButton*>("btnPreview");
    auto* exportLut = dialog.findChild<QPushButton*>("btnExport");
    ASSERT_NE(preview, nullptr);
    ASSERT_NE(exportLut, nullptr);
    dialog.SetGraded(QPath("other.png"));
    EXPECT_EQ(dialog.MatchedLut(), nullptr);
    EXPECT_TRUE(dialog.ReportText().contains("shows the scene of")) << dialog.ReportText().toStdString();
    EXPECT_FALSE(dialog.ReportText().contains('\n'));
    EXPECT_FALSE(preview->isEnabled());
    EXPECT_FALSE(exportLut->isEnabled());

    dialog.SetGraded(QPath("graded.png"));
    EXPECT_NE(dialog.MatchedLut(), nullptr);
    EXPECT_TRUE(preview->isEnabled());
    EXPECT_TRUE(exportLut->isEnabled());
}

// "Show matched region" tints FRAME's thumbnail where the region leaves
// pixels out and nowhere else; the part of FRAME outside GRADED's view
// (right and below) is left out, the part inside is matched.
TEST_F(MatchShotDialogTest, TheMatchedRegionTintsTheRestOfTheFrame) {
    TfrmMatchShot dialog;
    dialog.SetFrame(frame.Clone(), QPath("frame.png"));
    dialog.SetGraded(QPath("graded.png"));
    ASSERT_NE(dialog.MatchedLut(), nullptr);
    const TImage& region = dialog.MatchedRegion();
    ASSERT_FALSE(region.Empty());
    const auto at = [&region](double x, double y) {
        return region.Row(static_cast<int>(y * region.Height()))[3 * static_cast<int>(x * region.Width())];
    };
    EXPECT_EQ(at(0.3, 0.3), 255);
    EXPECT_EQ(at(0.95, 0.95), 0);

    const TImage plain = dialog.FrameThumbnail().Clone();
    EXPECT_TRUE(plain.SamePixels(FitImage(frame, plain.Width(), plain.Height())));
    auto* check = dialog.findChild<QCheckBox*>("chkRegion");
    ASSERT_NE(check, nullptr);
    check->setChecked(true);
    const TImage& tinted = dialog.FrameThumbnail();
    ASSERT_EQ(tinted.Width(), plain.Width());
    int changedOutside = 0, outside = 0, changedInside = 0;
    for (int y = 0; y < plain.Height(); ++y)
        for (int x = 0; x < plain.Width(); ++x) {
            // The region's pixel nearest to the thumbnail's, as the overlay samples it.
            const int regionY = static_cast<int>(std::int64_t(y) * region.Height() / plain.Height());
            const int regionX = static_cast<int>(std::int64_t(x) * region.Width() / plain.Width());
            const bool matched = region.Row(regionY)[3 * regionX] == 255;
            const bool changed = !std::equal(plain.Row(y) + 3 * x, plain.Row(y) + 3 * x + 3, tinted.Row(y) + 3 * x);
            outside += !matched;
            changedOutside += !matched && changed;
            changedInside += matched && changed;
        }
    EXPECT_GT(outside, plain.Width() * plain.Height() / 20);
    EXPECT_GT(changedOutside, outside * 9 / 10);
    EXPECT_EQ(changedInside, 0);

    check->setChecked(false);
    EXPECT_TRUE(dialog.FrameThumbnail().SamePixels(plain));
}

namespace {

// The preview panel with FRAME open as its frame, on a plain main window with
// the panels it works with.
class MatchShotPanelTest : public MatchShotDialogTest {
protected:
    void SetUp() override {
        MatchShotDialogTest::SetUp();
        if (IsSkipped()) return;
        QDir().mkpath(dir.filePath("lib"));
        Build();
    }
    void TearDown() override { panels.reset(); }
    virtual void Build() { panels = std::make_unique<TGradingRig>(dir.filePath("lib")); }
    virtual QWidget& Top() const { return panels->Host(); }
    virtual TPreviewPanel& Preview() const { return panels->Preview(); }
    virtual TGradingSession& Session() const { return panels->Grading(); }

    void OpenPreview(const QString& file) {
        dialogs.PicturesToOpen.push_back(file);
        Preview().OpenClick();
    }
    // Opens "Match Shot…" and runs `act` on the dialog.
    void InDialog(const std::function<void(TfrmMatchShot&)>& act) {
        QAction* action = Top().findChild<QAction*>("miMatchShot");
        ASSERT_NE(action, nullptr);
        bool reached = false;
        OnNextModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<TfrmMatchShot*>(modal);
            ASSERT_NE(dialog, nullptr);
            reached = true;
            act(*dialog);
        });
        action->trigger();
        EXPECT_TRUE(reached);
    }

    TFakeDialogs dialogs;
    std::unique_ptr<TGradingRig> panels;
};

// The whole window with FRAME open as its preview: its menu and key reach
// the panel's "Match Shot…", and the status line follows the previewed look.
class MatchShotWindowTest : public MatchShotPanelTest {
protected:
    void TearDown() override {
        window.reset();
        MatchShotPanelTest::TearDown();
    }
    void Build() override {
        window = std::make_unique<TfrmMain>(dir.filePath("lib").toStdString());
        window->show();
        QApplication::processEvents();
    }
    QWidget& Top() const override { return *window; }
    TPreviewPanel& Preview() const override { return window->Preview(); }
    TGradingSession& Session() const override { return window->Grading(); }

    std::unique_ptr<TfrmMain> window;
};

}  // namespace

// The Look menu's "Match Shot…" (Ctrl+Shift+M) takes the window's picture
// as FRAME; "Preview" grades the viewer with the matched look as a learned
// look is previewed; the graded picture saved then is "Last saved".
TEST_F(MatchShotWindowTest, TheMenuMatchesTheWindowsPictureAndPreviewsTheLook) {
    QAction* action = window->findChild<QAction*>("miMatchShot");
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), QString("Match Shot…"));
    EXPECT_EQ(action->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M));
    // The key is listed with the window's others, and no other action has it.
    window->ShowKeys();
    auto* keys = window->KeysDialog()->findChild<QTableWidget*>("tblKeys");
    ASSERT_NE(keys, nullptr);
    const QString key = QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M).toString(QKeySequence::NativeText);
    QStringList having;
    for (int row = 0; row < keys->rowCount(); ++row)
        if (keys->item(row, 1)->text().split(", ").contains(key)) having << keys->item(row, 0)->text();
    EXPECT_EQ(having, QStringList{"Match Shot"});
    window->KeysDialog()->hide();
    OpenPreview(QPath("frame.png"));

    std::unique_ptr<TLUT> matched;
    InDialog([&](TfrmMatchShot& dialog) {
        EXPECT_FALSE(dialog.findChild<QPushButton*>("btnLastSaved")->isEnabled());
        dialog.SetGraded(QPath("graded.png"));
        matched = dialog.CopyMatchedLut();
        dialog.btnPreviewClick();
    });
    ASSERT_NE(matched, nullptr);
    ASSERT_NE(window->Grading().PreviewLut(), nullptr);
    EXPECT_TRUE(GradedWith(*window->Grading().PreviewLut(), frame).SamePixels(GradedWith(*matched, frame)));
    EXPECT_TRUE(window->StatusLine()->Text().contains("LUT preview: matched shot"))
        << window->StatusLine()->Text().toStdString();
    EXPECT_TRUE(
        window->Preview().Viewer()->Display().SamePixels(GradedWith(*matched, window->Preview().Viewer()->Scaled())));
    EXPECT_LT(MeanDifference(GradedWith(*window->Grading().PreviewLut(), frame), truth),
              MeanDifference(frame, truth) / 3);

    dialogs.FilesToSave.push_back(QPath("saved.png"));
    window->Preview().SaveGradedClick();
    ASSERT_TRUE(QFile::exists(QPath("saved.png")));
    InDialog([&](TfrmMatchShot& dialog) {
        auto* lastSaved = dialog.findChild<QPushButton*>("btnLastSaved");
        EXPECT_TRUE(lastSaved->isEnabled());
        dialog.btnLastSavedClick();
        EXPECT_EQ(dialog.GradedFile(), QPath("saved.png"));
    });
}

// A clip in the graded slot gives the frame the frame bar shows when the
// window has that clip open, and the first frame of any other clip.
TEST_F(MatchShotPanelTest, AClipGivesTheFrameBarsFrameOrItsFirst) {
    const std::string open = Path("open.mkv"), other = Path("other.mkv");
    ASSERT_TRUE(MakeClip(open, 320, 200, 5, "-pix_fmt yuv444p10le -c:v ffv1"));
    ASSERT_TRUE(MakeClip(other, 320, 200, 5, "-pix_fmt yuv444p10le -c:v ffv1"));
    OpenPreview(QString::fromStdString(open));
    Preview().FrameBar()->ShowFrame(3);
    TClip clip(open);
    const TImage third = ClipFrameToImage(clip.Frame(3));
    const TImage first = ClipFrameToImage(clip.Frame(0));
    ASSERT_FALSE(third.SamePixels(first));
    InDialog([&](TfrmMatchShot& dialog) {
        dialog.SetGraded(QString::fromStdString(open));
        EXPECT_TRUE(dialog.GradedPicture().SamePixels(third));
        dialog.SetGraded(QString::fromStdString(other));
        EXPECT_TRUE(dialog.GradedPicture().SamePixels(first));
    });
}

// With footage chosen, FRAME is the picture converted from it, as the
// viewer shows it and the previewed look grades it.
TEST_F(MatchShotPanelTest, TheFrameIsConvertedFromTheFootage) {
    OpenPreview(QPath("frame.png"));
    auto* footage = Top().findChild<QComboBox*>("cbxFootage");
    ASSERT_NE(footage, nullptr);
    const int index = footage->findText("Sony S-Log3 / S-Gamut3.Cine");
    ASSERT_GE(index, 0);
    footage->setCurrentIndex(index);
    QApplication::processEvents();
    ASSERT_NE(Session().Footage().Conversion(), nullptr);
    TImage converted = frame.Clone();
    ConvertFootageImage(*Session().Footage().Conversion(), converted);
    ASSERT_FALSE(converted.SamePixels(frame));
    InDialog([&](TfrmMatchShot& dialog) { EXPECT_TRUE(dialog.Frame().SamePixels(converted)); });
}
