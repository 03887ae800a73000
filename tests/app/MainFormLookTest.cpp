#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QUrl>
#include <memory>

#include "app/ImageViewer.h"
#include "app/MainForm.h"
#include "app/NaturalOrder.h"
#include "app/StatusLine.h"
#include "engine/look/GradingRoad.h"
#include "engine/lut/LUT.h"
#include "formats/FormatRegistry.h"
#include "formats/LookExport.h"
#include "formats/LutConvert.h"
#include "imageio/ImageFile.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/PanelsOrWindow.h"
#include "tests/app/SavedFiles.h"

// Look Strength, Match Preview Colours, LUT preview, dropped files, the
// split view and the order of the reference list, on the panels over a
// grading session (LookPanelGradeTest); the short-cuts and the divider the
// window starts with on the whole window (MainFormLookTest), since the keys
// are the window's actions and reach the panels only through it, and the
// window restores the divider when it is made.

namespace {

// A cube file that swaps red and blue: easy to recognise in a graded picture.
void WriteSwapCube(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("LUT_3D_SIZE 2\n");
    for (int b = 0; b < 2; ++b)
        for (int g = 0; g < 2; ++g)
            for (int r = 0; r < 2; ++r)
                file.write(QByteArray::number(b) + " " + QByteArray::number(g) + " " + QByteArray::number(r) + "\n");
}

void Drop(QWidget* target, const QStringList& files) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& file : files) urls << QUrl::fromLocalFile(file);
    data.setUrls(urls);
    const QPoint at(target->width() / 2, target->height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    EXPECT_TRUE(drop.isAccepted());
}

bool IsIdentity(const TLUT& lut) {
    const int n = lut.CubeSize;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k) {
                const TRGBDouble& c = lut.Cube[i][j][k];
                if (c.Red != i / (n - 1.0) || c.Green != j / (n - 1.0) || c.Blue != k / (n - 1.0)) return false;
            }
    return true;
}

// The panels over a session, or the whole window where a test needs it.
class TMainFormLookBase : public ::testing::Test, protected TPanelsOrWindow {
protected:
    QTemporaryDir dir;
    TFakeDialogs dialogs;
    virtual bool WholeWindow() const = 0;

    QString Lib() const { return dir.filePath("lib"); }
    QString Picture(const QString& name) const { return dir.filePath("pictures/" + name); }

    void SetUp() override {
        QDir().mkpath(Lib());
        QDir().mkpath(dir.filePath("pictures"));
        // The split position goes to a settings store of the test's own.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
    }
    void TearDown() override { CloseBoth(); }

    void Open() { OpenOn(Lib(), WholeWindow()); }
    // One reference in the library, a preview opened from a file, the reference selected.
    void OpenGraded() {
        SaveJpegFile((Lib() + "/meadow.jpeg").toStdString(), ColourfulPicture(150, 100));
        SaveImageFile(Picture("frame.bmp").toStdString(), FlatGradient(640, 320));
        Open();
        dialogs.PicturesToOpen.push_back(Picture("frame.bmp"));
        Preview().OpenClick();
        Select("meadow");
    }
    static TImage FlatGradient(int w, int h) {
        TImage image = ColourfulPicture(w, h);
        // A warm cast over the whole frame.
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                image.Row(y)[3 * x + 2] = static_cast<std::uint8_t>(std::min(255, image.Row(y)[3 * x + 2] + 40));
        return image;
    }
    template <typename T>
    T* Find(const char* name) const {
        return Root()->findChild<T*>(name);
    }
    void Select(const QString& caption) {
        const auto found = Library().List()->findItems(caption, Qt::MatchExactly);
        ASSERT_FALSE(found.isEmpty()) << caption.toStdString();
        found.first()->setSelected(true);
    }
    QStringList Captions() const {
        QStringList captions;
        for (int i = 0; i < Library().List()->count(); ++i) captions << Library().List()->item(i)->text();
        return captions;
    }
    QString SelectedCaption() const {
        const auto selected = Library().List()->selectedItems();
        return selected.isEmpty() ? QString() : selected.first()->text();
    }
    void Screenshot(const char* name) {
        QDir().mkpath(SCREENSHOT_DIR);
        QApplication::processEvents();
        EXPECT_TRUE(Root()->grab().save(QString(SCREENSHOT_DIR) + "/" + name));
    }
    // Runs the command-line tool with its settings in the test's folder.
    QByteArray Cli(const QStringList& arguments) {
        QProcess cli;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        cli.setProcessEnvironment(environment);
        cli.start(OMBRANE_CLI, arguments);
        EXPECT_TRUE(cli.waitForFinished(60000));
        EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
        return cli.readAllStandardOutput();
    }
};

class LookPanelGradeTest : public TMainFormLookBase {
protected:
    bool WholeWindow() const override { return false; }
};

class MainFormLookTest : public TMainFormLookBase {
protected:
    bool WholeWindow() const override { return true; }
};

}  // namespace

TEST_F(LookPanelGradeTest, StrengthDosesTheLookAndDefaultsBringItBack) {
    OpenGraded();
    auto* strength = Find<QSlider>("tbrStrength");
    ASSERT_NE(strength, nullptr);
    EXPECT_EQ(strength->maximum(), 100);
    EXPECT_EQ(strength->value(), 100);
    const std::unique_ptr<TLUT> full = MakeLookLut(Grading().LastSettings());
    EXPECT_FALSE(IsIdentity(*full));

    strength->setValue(0);
    EXPECT_EQ(Find<QLabel>("lblStrength")->text(), "0%");
    EXPECT_TRUE(IsIdentity(Grading().Lut()));
    EXPECT_TRUE(Preview().Viewer()->Display().SamePixels(Preview().Viewer()->Scaled()));

    Find<QPushButton>("sbnGeneralDefaults")->click();
    EXPECT_EQ(strength->value(), 100);
    EXPECT_EQ(Grading().LastSettings().Strength, 1.0);
    for (int i = 0; i < 33; i += 8)
        EXPECT_EQ(std::memcmp(Grading().Lut().Cube[i], full->Cube[i], sizeof(TLUT::TCubePlane)), 0);
}

TEST_F(LookPanelGradeTest, MatchedLutsOfTheWindowAndTheCommandLineAreTheSameBytes) {
    OpenGraded();
    auto* match = Find<QCheckBox>("cbxMatchPreview");
    ASSERT_NE(match, nullptr);
    EXPECT_FALSE(match->isChecked());
    EXPECT_FALSE(Grading().LastSettings().MatchSource);
    const TImage before = Preview().Viewer()->Display().Clone();
    match->setChecked(true);
    Find<QSlider>("tbrStrength")->setValue(60);
    EXPECT_TRUE(Grading().LastSettings().MatchSource);
    EXPECT_EQ(Grading().LastSettings().MatchedTo, "frame.bmp");
    EXPECT_FALSE(Preview().Viewer()->Display().SamePixels(before));
    Screenshot("main_matched.png");

    const TLutOutputProfile* davinci = FindOutputProfile("Cube 3D Davinci");
    ASSERT_NE(davinci, nullptr);
    const QString ours = dir.filePath("window.cube"), theirs = dir.filePath("cli.cube");
    ExportLook(Grading().LastSettings(), *davinci, 33, 0, ours.toStdString());
    Cli({"look", Lib() + "/meadow.jpeg", "-o", theirs, "--profile", "Cube 3D Davinci", "--strength", "60", "--match",
         Picture("frame.bmp")});
    const QByteArray bytes = FileBytes(ours);
    EXPECT_TRUE(bytes.startsWith("# matched to frame.bmp\n"));
    EXPECT_EQ(bytes, FileBytes(theirs));
}

TEST_F(LookPanelGradeTest, DroppedPicturesLutsAndOtherFiles) {
    OpenGraded();
    SaveImageFile(Picture("second.png").toStdString(), ColourfulPicture(300, 200));
    WriteSwapCube(Picture("swap.cube"));
    QFile notes(Picture("notes.txt"));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("not a picture, not a LUT");
    notes.close();

    // A picture opens as the preview, as Open Preview Image does.
    Drop(Preview().Viewer(), {Picture("second.png")});
    EXPECT_EQ(Grading().PreviewFile(), Picture("second.png").toStdString());
    EXPECT_EQ(Grading().Preview().Width(), 300);
    // The look stays chosen and grades the new picture at once.
    EXPECT_EQ(SelectedCaption(), "meadow");
    TImage graded = Preview().Viewer()->Scaled().Clone();
    Grading().Lut().ApplyToImage(graded);
    EXPECT_TRUE(Preview().Viewer()->Display().SamePixels(graded));

    // A LUT file grades the preview instead of a look; the window names it.
    Drop(Preview().Viewer(), {Picture("swap.cube")});
    ASSERT_NE(Grading().PreviewLut(), nullptr);
    EXPECT_TRUE(StatusLine()->Text().contains("LUT preview: swap.cube"));
    EXPECT_EQ(Root()->windowTitle(), QString("second.png ") + QChar(0x2014) + " Quor Ombrane");
    TImage swapped = Preview().Viewer()->Scaled().Clone();
    Grading().PreviewLut()->ApplyToImage(swapped);
    EXPECT_TRUE(Preview().Viewer()->Display().SamePixels(swapped));
    const std::uint8_t* scaled = Preview().Viewer()->Scaled().Row(10) + 30;
    const std::uint8_t* shown = Preview().Viewer()->Display().Row(10) + 30;
    EXPECT_EQ(shown[0], scaled[2]);
    Screenshot("main_lut_preview.png");

    // Save Graded Image writes with that LUT, at the file's full size.
    dialogs.FilesToSave.push_back(dir.filePath("saved.jpeg"));
    Preview().SaveGradedClick();
    TImage saved;
    LoadImageFile(dir.filePath("saved.jpeg").toStdString(), saved);
    EXPECT_EQ(saved.Width(), 300);

    // Anything else is refused in one message that names it; a picture
    // beside it still opens.
    Drop(Preview().Viewer(), {Picture("notes.txt"), Picture("frame.bmp")});
    ASSERT_EQ(dialogs.Errors.size(), 1);
    EXPECT_TRUE(dialogs.Errors[0].contains("notes.txt"));
    EXPECT_FALSE(dialogs.Errors[0].contains("frame.bmp"));
    EXPECT_EQ(Grading().PreviewFile(), Picture("frame.bmp").toStdString());
    ASSERT_NE(Grading().PreviewLut(), nullptr);  // the LUT preview stays for the new picture

    // A 1D LUT goes through the same lookups: this one inverts.
    QFile curve(Picture("invert.cube"));
    ASSERT_TRUE(curve.open(QIODevice::WriteOnly));
    curve.write("LUT_1D_SIZE 2\n1 1 1\n0 0 0\n");
    curve.close();
    Drop(Preview().Viewer(), {Picture("invert.cube")});
    ASSERT_NE(Grading().PreviewLut(), nullptr);
    EXPECT_EQ(Grading().PreviewLut()->Kind, lkCurve);
    const std::uint8_t* plain = Preview().Viewer()->Scaled().Row(5) + 60;
    const std::uint8_t* inverted = Preview().Viewer()->Display().Row(5) + 60;
    for (int c = 0; c < 3; ++c) EXPECT_EQ(inverted[c], 255 - plain[c]);

    // Clicking a reference returns to its look.
    Select("meadow");
    EXPECT_EQ(Grading().PreviewLut(), nullptr);
    EXPECT_FALSE(StatusLine()->Text().contains("LUT preview"));
    EXPECT_TRUE(StatusLine()->Text().contains("reference: meadow"));

    // Pictures dropped on the list join the library, with the add button's question.
    Drop(Library().List()->viewport(), {Picture("second.png"), Picture("swap.cube")});
    EXPECT_EQ(QStringList({"meadow", "second"}), Captions());
    ASSERT_EQ(dialogs.Errors.size(), 2);
    EXPECT_TRUE(dialogs.Errors[1].contains("swap.cube"));
    dialogs.Answers.push_back(QMessageBox::No);
    Drop(Library().List()->viewport(), {Picture("second.png")});
    ASSERT_EQ(dialogs.Questions.size(), 1);
    EXPECT_TRUE(dialogs.Questions[0].contains("\"second\" already exists. Replace it?"));
}

TEST_F(MainFormLookTest, ShortcutsReachTheirActionsFromTheWindow) {
    OpenGraded();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    SaveImageFile(Picture("other.bmp").toStdString(), ColourfulPicture(200, 100));
    WriteSwapCube(Picture("swap.cube"));

    auto* original = Find<QToolButton>("sbnShowOriginal");
    ASSERT_TRUE(original->isEnabled());
    // A button's short-cut clicks it as the mouse would, the release a moment later.
    QTest::keyClick(window.get(), Qt::Key_Backslash);
    QTest::qWait(250);
    EXPECT_TRUE(original->isChecked());
    EXPECT_TRUE(Preview().Viewer()->Display().SamePixels(Preview().Viewer()->Scaled()));
    QTest::keyClick(window.get(), Qt::Key_Backslash);
    QTest::qWait(250);
    EXPECT_FALSE(original->isChecked());
    // Ctrl+Backslash clicks Split View the same way.
    auto* split = Find<QToolButton>("sbnSplitView");
    QTest::keyClick(window.get(), Qt::Key_Backslash, Qt::ControlModifier);
    QTest::qWait(250);
    EXPECT_TRUE(split->isChecked());
    EXPECT_TRUE(Preview().Viewer()->SplitView());
    QTest::keyClick(window.get(), Qt::Key_Backslash, Qt::ControlModifier);
    QTest::qWait(250);
    EXPECT_FALSE(split->isChecked());

    dialogs.FilesToSave.push_back(dir.filePath("by-keys.jpeg"));
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(QFile::exists(dir.filePath("by-keys.jpeg")));

    dialogs.PicturesToOpen.push_back(Picture("swap.cube"));
    QTest::keyClick(window.get(), Qt::Key_L, Qt::ControlModifier);
    EXPECT_NE(Grading().PreviewLut(), nullptr);

    dialogs.PicturesToOpen.push_back(Picture("other.bmp"));
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(Grading().PreviewFile(), Picture("other.bmp").toStdString());

    QGuiApplication::clipboard()->setImage(QImage(64, 32, QImage::Format_RGB32));
    QTest::keyClick(window.get(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(Grading().PreviewFile().empty());
    EXPECT_EQ(Grading().Preview().Width(), 64);
    QGuiApplication::clipboard()->clear();

    // Ctrl+E belongs to the menu's Create 3D LUT, which clicks the button (the
    // button has no key of its own, which would make Ctrl+E ambiguous); each
    // key stands in its tool tip.
    EXPECT_EQ(Find<QAction>("sbnCreateLUTAction")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
    EXPECT_TRUE(Find<QToolButton>("sbnCreateLUT")->shortcut().isEmpty());
    EXPECT_TRUE(Find<QAction>("miPreviewLutFile")->toolTip().endsWith("(Ctrl+L)"));
    EXPECT_TRUE(Find<QAction>("miPaste")->toolTip().endsWith("(Ctrl+V)"));
    EXPECT_TRUE(original->toolTip().endsWith("(\\)"));
}

TEST_F(LookPanelGradeTest, SplitViewShowsBothSidesAndKeepsTheDividerInTheSettings) {
    OpenGraded();
    TImageViewer* viewer = Preview().Viewer();
    auto* split = Find<QToolButton>("sbnSplitView");
    ASSERT_NE(split, nullptr);
    split->click();
    EXPECT_TRUE(viewer->SplitView());
    const int x = viewer->DividerX();
    const int y = viewer->OffsetY() + viewer->Display().Height() / 2;
    QTest::mousePress(viewer, Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
    QTest::mouseMove(viewer, QPoint(viewer->OffsetX() + viewer->Display().Width() / 4, y));
    QTest::mouseRelease(viewer, Qt::LeftButton, Qt::NoModifier,
                        QPoint(viewer->OffsetX() + viewer->Display().Width() / 4, y));
    EXPECT_NEAR(viewer->SplitPosition(), 0.25, 0.01);
    EXPECT_FALSE(viewer->SelectionVisible());
    EXPECT_NEAR(QSettings(QSettings::NativeFormat, QSettings::UserScope, "tarnwerk", "Ombrane")
                    .value("splitPosition")
                    .toDouble(),
                0.25, 0.01);
    Screenshot("main_split_view.png");

    // Show Original shows the whole ungraded picture, without the divider.
    auto* original = Find<QToolButton>("sbnShowOriginal");
    original->click();
    EXPECT_FALSE(viewer->SplitView());
    original->click();
    EXPECT_TRUE(viewer->SplitView());

    // New panels start with the divider where it was left.
    rig.reset();
    Open();
    EXPECT_NEAR(Preview().Viewer()->SplitPosition(), 0.25, 0.01);
}

// The window starts with the split view's divider where it was left last.
TEST_F(MainFormLookTest, TheWindowStartsWithTheDividerWhereItWasLeft) {
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "tarnwerk", "Ombrane").setValue("splitPosition", 0.25);
    Open();
    EXPECT_NEAR(Preview().Viewer()->SplitPosition(), 0.25, 0.01);
}

TEST_F(LookPanelGradeTest, TheListKeepsNameOrderAndItsSelection) {
    for (const char* name : {"Shot 10", "shot 2", "Shot 1", "alpha", "Shot 02"})
        SaveJpegFile((Lib() + "/" + name + ".jpeg").toStdString(), ColourfulPicture(90, 60));
    SaveImageFile(Picture("Shot 3.bmp").toStdString(), ColourfulPicture(80, 80));
    SaveImageFile(Picture("frame.bmp").toStdString(), ColourfulPicture(200, 100));
    Open();
    EXPECT_EQ(Captions(), QStringList({"alpha", "Shot 1", "shot 2", "Shot 02", "Shot 10"}));
    dialogs.PicturesToOpen.push_back(Picture("frame.bmp"));
    Preview().OpenClick();
    Select("shot 2");
    const int builds = Grading().BuildCount();

    // An add rescans: the new file takes its place, the selection stays.
    dialogs.FilesToOpen.push_back({Picture("Shot 3.bmp")});
    Library().AddClick();
    EXPECT_EQ(Captions(), QStringList({"alpha", "Shot 1", "shot 2", "Shot 02", "Shot 3", "Shot 10"}));
    EXPECT_EQ(SelectedCaption(), "shot 2");
    EXPECT_EQ(Library().List()->currentItem()->text(), "shot 2");
    EXPECT_GT(Grading().BuildCount(), builds);  // the grade follows the re-selected reference

    // A rename moves the item to its place, still selected.
    QListWidgetItem* item = Library().List()->findItems("shot 2", Qt::MatchExactly).first();
    Library().Edited(item, "Shot 20");
    QApplication::processEvents();
    EXPECT_EQ(Captions(), QStringList({"alpha", "Shot 1", "Shot 02", "Shot 3", "Shot 10", "Shot 20"}));
    EXPECT_EQ(SelectedCaption(), "Shot 20");
}

TEST(NaturalOrderTest, DigitsAsNumbersLettersWithoutCase) {
    EXPECT_TRUE(NaturalLess("Shot 2", "Shot 10"));
    EXPECT_FALSE(NaturalLess("Shot 10", "Shot 2"));
    EXPECT_TRUE(NaturalLess("shot 2", "Shot 3"));
    EXPECT_TRUE(NaturalLess("Alpha", "beta"));
    EXPECT_TRUE(NaturalLess("a9b", "a10a"));
    EXPECT_TRUE(NaturalLess("x", "x1"));
    EXPECT_TRUE(NaturalLess("img 007", "img 8"));
    EXPECT_TRUE(NaturalLess("a99999999999999999999", "a100000000000000000000"));
    // Equal in value: fewer leading zeros first, then the exact text; never both ways.
    EXPECT_TRUE(NaturalLess("Shot 2", "Shot 02"));
    EXPECT_TRUE(NaturalLess("SHOT", "shot"));
    EXPECT_FALSE(NaturalLess("shot", "SHOT"));
    EXPECT_FALSE(NaturalLess("same", "same"));
}
