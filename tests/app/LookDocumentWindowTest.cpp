#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QSettings>
#include <QSlider>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <memory>
#include <vector>

#include "app/DocumentCells.h"
#include "app/KeysDialog.h"
#include "app/LookFiles.h"
#include "app/LookPanel.h"
#include "app/MainForm.h"
#include "app/MenuBar.h"
#include "app/StatusLine.h"
#include "app/WindowStart.h"
#include "engine/lut/LUT.h"
#include "grading/LookDocument.h"
#include "grading/ReferenceHash.h"
#include "imageio/ImageFile.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/PanelsOrWindow.h"
#include "tests/app/SavedFiles.h"

// Save Look, Open Look and Recent Looks of the File menu: the grade comes
// back as it was, as one undo step, with the reference from the library
// when it holds the file and from the document when it does not. Tested on
// the look documents over the panels and the grading session (LookFilesTest);
// on the whole window (LookDocumentWindowTest) where the window's menu, its
// keys and its key list, or a look named at the start, are what is checked.

namespace {

// The cube's values, size first, for comparing looks built at different times.
std::vector<double> CubeValues(const TLUT& lut) {
    std::vector<double> values{static_cast<double>(lut.Kind), static_cast<double>(lut.CubeSize)};
    for (int r = 0; r < lut.CubeSize; ++r)
        for (int g = 0; g < lut.CubeSize; ++g)
            for (int b = 0; b < lut.CubeSize; ++b) {
                const TRGBDouble& c = lut.Cube[r][g][b];
                values.insert(values.end(), {c.Red, c.Green, c.Blue});
            }
    return values;
}

// The panels over a session, or the whole window where a test needs it.
class TLookDocumentBase : public ::testing::Test, protected TPanelsOrWindow {
protected:
    QTemporaryDir dir;
    TFakeDialogs dialogs;
    virtual bool WholeWindow() const = 0;

    QString Path(const QString& name) const { return dir.filePath(name); }

    void SetUp() override {
        QDir().mkpath(Path("lib"));
        QDir().mkpath(Path("other"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Path("config"));
        SaveJpegFile(Path("lib/meadow.jpeg").toStdString(), ColourfulPicture(150, 100));
        SaveJpegFile(Path("lib/dusk.jpeg").toStdString(), FlatPicture(120, 90, 140, 60, 30));
        SaveImageFile(Path("frame.bmp").toStdString(), ColourfulPicture(640, 320));
    }
    void TearDown() override { CloseBoth(); }

    void Open(const QString& library = QString()) {
        OpenOn(library.isEmpty() ? Path("lib") : library, WholeWindow());
        dialogs.PicturesToOpen.push_back(Path("frame.bmp"));
        Preview().OpenClick();
    }
    void Select(const QString& caption) {
        const auto found = Library().List()->findItems(caption, Qt::MatchExactly);
        ASSERT_FALSE(found.isEmpty()) << caption.toStdString();
        found.first()->setSelected(true);
        QApplication::processEvents();
    }
    QSlider* Bar(const char* name) const { return Root()->findChild<QSlider*>(name); }
    QCheckBox* MatchBox() const { return Root()->findChild<QCheckBox*>("cbxMatchPreview"); }
    QAction* Action(const char* name) const { return Root()->findChild<QAction*>(name); }
    // A graded look with every part moved, and snapshot A kept.
    void Grade() {
        Select("meadow");
        Bar("tbrSaturation")->setValue(140);
        Bar("tbrStrength")->setValue(60);
        MatchBox()->setChecked(true);
        Grading().StoreSnapshot(0);
        Bar("tbrRed")->setValue(170);
        QApplication::processEvents();
    }
    // Save Look…: the dialog's part, as the menu runs it.
    QString SaveThroughMenu(const QString& name) {
        dialogs.FilesToSave.push_back(Path(name));
        RunHandler([this] { LookFiles().SaveClick(); });
        QApplication::processEvents();
        return Path(name);
    }
    // Open Look…: the dialog's part, as the menu runs it.
    void OpenThroughMenu(const QString& file) {
        dialogs.PicturesToOpen.push_back(file);
        RunHandler([this] { LookFiles().OpenClick(); });
        QApplication::processEvents();
    }
    QString Status() const { return StatusLine()->Text(); }
    // Opens Recent Looks and chooses the entry, as the menu does.
    void ChooseRecent(const QString& text) {
        QMenu* menu = LookFiles().RecentMenu();
        emit menu->aboutToShow();
        const QList<QAction*> entries = menu->actions();
        const auto found =
            std::find_if(entries.begin(), entries.end(), [&](const QAction* a) { return a->text() == text; });
        ASSERT_NE(found, entries.end()) << text.toStdString();
        (*found)->trigger();
        QApplication::processEvents();
    }
};

class LookFilesTest : public TLookDocumentBase {
protected:
    bool WholeWindow() const override { return false; }
};

class LookDocumentWindowTest : public TLookDocumentBase {
protected:
    bool WholeWindow() const override { return true; }
};

}  // namespace

TEST_F(LookFilesTest, OpenLookRestoresTheGradeAsOneUndoStep) {
    Open();
    Grade();
    const std::vector<double> saved = CubeValues(Grading().Lut());
    const QString file = SaveThroughMenu("grade.olook");
    ASSERT_TRUE(QFileInfo(file).isFile());
    EXPECT_EQ(dialogs.LastSaveFilter, "Look Documents|*.olook");
    EXPECT_EQ(QFileInfo(dialogs.LastStart).fileName(), "meadow.olook");

    // Another grade, then the document again.
    Select("dusk");
    Bar("tbrSaturation")->setValue(60);
    Bar("tbrRed")->setValue(100);
    MatchBox()->setChecked(false);
    Grading().StoreSnapshot(0);
    Grading().StoreSnapshot(1);
    QApplication::processEvents();
    ASSERT_NE(CubeValues(Grading().Lut()), saved);

    OpenThroughMenu(file);
    EXPECT_TRUE(dialogs.Errors.isEmpty()) << dialogs.Errors.join("\n").toStdString();
    EXPECT_EQ(Grading().Reference(), "meadow.jpeg");
    EXPECT_EQ(Bar("tbrSaturation")->value(), 140);
    EXPECT_EQ(Bar("tbrStrength")->value(), 60);
    EXPECT_EQ(Bar("tbrRed")->value(), 170);
    EXPECT_TRUE(MatchBox()->isChecked());
    EXPECT_EQ(CubeValues(Grading().Lut()), saved);
    EXPECT_EQ(Status().contains("reference: meadow"), true) << Status().toStdString();
    EXPECT_FALSE(Status().contains("(from the look)"));
    // The snapshots are the document's: A as it was kept, B empty.
    ASSERT_TRUE(Grading().Snapshots().Has(0));
    EXPECT_EQ(Grading().Snapshots().Look(0).Positions.Red, 100);
    EXPECT_EQ(Grading().Snapshots().Look(0).Positions.Saturation, 140);
    EXPECT_FALSE(Grading().Snapshots().Has(1));

    // One Undo goes back to the look before the document.
    Grading().Undo();
    QApplication::processEvents();
    EXPECT_EQ(Grading().Reference(), "dusk.jpeg");
    EXPECT_EQ(Bar("tbrSaturation")->value(), 60);
    EXPECT_EQ(Bar("tbrRed")->value(), 100);
    EXPECT_FALSE(MatchBox()->isChecked());
}

TEST_F(LookFilesTest, AReferenceTheLibraryLacksIsBuiltFromTheDocument) {
    Open();
    Grade();
    const std::vector<double> made = CubeValues(Grading().Lut());
    const QString file = SaveThroughMenu("grade.olook");
    rig.reset();

    // A library without the reference: the document's cell grades.
    Open(Path("other"));
    OpenThroughMenu(file);
    EXPECT_TRUE(dialogs.Errors.isEmpty()) << dialogs.Errors.join("\n").toStdString();
    EXPECT_TRUE(TDocumentCells::IsDocumentReference(Grading().Reference()));
    EXPECT_TRUE(Status().contains("reference: meadow (from the look)")) << Status().toStdString();
    EXPECT_EQ(CubeValues(Grading().Lut()), made);
    EXPECT_TRUE(Library().List()->selectedItems().isEmpty());
    // Saved again, the look still names its reference and its hash.
    const TLookDocument again = LoadLookDocument(SaveThroughMenu("again.olook").toStdString());
    EXPECT_EQ(again.Look.ReferenceName, "meadow.jpeg");
    EXPECT_EQ(again.Look.ReferenceHash, ReferenceFileHash(Path("lib/meadow.jpeg").toStdString()));
    rig.reset();

    // The same file under another name is found by its content.
    ASSERT_TRUE(QFile::copy(Path("lib/meadow.jpeg"), Path("other/renamed.jpeg")));
    Open(Path("other"));
    OpenThroughMenu(file);
    EXPECT_EQ(Grading().Reference(), "renamed.jpeg");
    EXPECT_TRUE(Status().contains("reference: renamed")) << Status().toStdString();
    rig.reset();

    // Another file under the reference's name is not taken for it.
    SaveJpegFile(Path("other/meadow.jpeg").toStdString(), FlatPicture(150, 100, 10, 200, 10));
    QFile::remove(Path("other/renamed.jpeg"));
    Open(Path("other"));
    OpenThroughMenu(file);
    EXPECT_TRUE(TDocumentCells::IsDocumentReference(Grading().Reference()));
    EXPECT_EQ(CubeValues(Grading().Lut()), made);
}

TEST_F(LookFilesTest, RecentLooksKeepTheLastEightAndForgetAFileThatIsGone) {
    Open();
    Select("meadow");
    for (int i = 0; i < 9; ++i) LookFiles().Save(Path(QString("look%1.olook").arg(i)));
    const QStringList recent = TLookFiles::Recent();
    ASSERT_EQ(recent.size(), 8);
    EXPECT_EQ(recent.first(), Path("look8.olook"));
    EXPECT_EQ(recent.last(), Path("look1.olook"));

    QMenu* menu = LookFiles().RecentMenu();
    emit menu->aboutToShow();
    ASSERT_EQ(menu->actions().size(), 8);
    EXPECT_EQ(menu->actions().first()->text(), "look8.olook");

    // A file that went away: chosen, it is taken off with a message.
    ASSERT_TRUE(QFile::remove(Path("look5.olook")));
    ChooseRecent("look5.olook");
    ASSERT_EQ(dialogs.Errors.size(), 1);
    EXPECT_TRUE(dialogs.Errors.first().contains("look5.olook")) << dialogs.Errors.first().toStdString();
    EXPECT_EQ(TLookFiles::Recent().size(), 7);
    EXPECT_TRUE(menu->menuAction()->isEnabled());
    EXPECT_FALSE(TLookFiles::Recent().contains(Path("look5.olook")));

    // Opening one puts it first.
    Bar("tbrSaturation")->setValue(30);
    ChooseRecent("look2.olook");
    EXPECT_EQ(TLookFiles::Recent().first(), Path("look2.olook"));
    EXPECT_EQ(Bar("tbrSaturation")->value(), 100);
}

TEST_F(LookDocumentWindowTest, TheMenuKeysAreTheirOwnAndListed) {
    Open();
    const QList<QAction*> actions = WindowActions(*window);
    for (const char* name : {"miSaveLook", "miOpenLook"}) {
        QAction* action = Action(name);
        ASSERT_NE(action, nullptr) << name;
        EXPECT_TRUE(actions.contains(action)) << name;
        for (QAction* other : actions)
            if (other != action)
                EXPECT_NE(other->shortcut(), action->shortcut()) << PlainActionText(*other).toStdString();
    }
    EXPECT_EQ(Action("miSaveLook")->shortcut(), QKeySequence("Ctrl+Shift+S"));
    EXPECT_EQ(Action("miOpenLook")->shortcut(), QKeySequence("Ctrl+Shift+O"));
    EXPECT_EQ(PlainActionText(*Action("miSaveLook")), "Save Look");
    // The keys dialog lists them.
    window->ShowKeys();
    QTableWidget* table = window->KeysDialog()->Table();
    QStringList rows;
    for (int row = 0; row < table->rowCount(); ++row)
        rows << table->item(row, 0)->text() + " = " + table->item(row, 1)->text();
    EXPECT_TRUE(rows.contains("Save Look = Ctrl+Shift+S")) << rows.join("\n").toStdString();
    EXPECT_TRUE(rows.contains("Open Look = Ctrl+Shift+O")) << rows.join("\n").toStdString();
    window->KeysDialog()->close();
    // The file menu holds Recent Looks.
    auto* fileMenu = window->findChild<QMenu*>("mnuFile");
    ASSERT_NE(fileMenu, nullptr);
    EXPECT_TRUE(fileMenu->actions().contains(LookFiles().RecentMenu()->menuAction()));

    // The menu's entries run the look documents' dialogs.
    Select("meadow");
    Bar("tbrSaturation")->setValue(140);
    dialogs.FilesToSave.push_back(Path("menu.olook"));
    Action("miSaveLook")->trigger();
    QApplication::processEvents();
    ASSERT_TRUE(QFileInfo(Path("menu.olook")).isFile());
    EXPECT_EQ(dialogs.LastSaveFilter, "Look Documents|*.olook");
    Bar("tbrSaturation")->setValue(60);
    dialogs.PicturesToOpen.push_back(Path("menu.olook"));
    Action("miOpenLook")->trigger();
    QApplication::processEvents();
    EXPECT_EQ(Bar("tbrSaturation")->value(), 140);
    EXPECT_TRUE(dialogs.Errors.isEmpty()) << dialogs.Errors.join("\n").toStdString();
}

TEST_F(LookDocumentWindowTest, ALookDroppedOrNamedAtTheStartOpens) {
    Open();
    Select("meadow");
    Bar("tbrSaturation")->setValue(150);
    const QString file = Path("dropped.olook");
    LookFiles().Save(file);
    Bar("tbrSaturation")->setValue(100);

    Preview().Drop({file});
    EXPECT_EQ(Bar("tbrSaturation")->value(), 150);

    Bar("tbrSaturation")->setValue(100);
    OpenStartFile(*window, file);
    EXPECT_EQ(Bar("tbrSaturation")->value(), 150);

    // A damaged document leaves the look as it is and names the file.
    QFile damaged(Path("damaged.olook"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("{\"format\": \"ombrane-look\", ");
    damaged.close();
    Bar("tbrSaturation")->setValue(90);
    try {
        LookFiles().Open(Path("damaged.olook"));
        ADD_FAILURE() << "a damaged document was opened";
    } catch (const std::exception& error) {
        EXPECT_NE(std::string(error.what()).find("damaged.olook"), std::string::npos) << error.what();
    }
    EXPECT_EQ(Bar("tbrSaturation")->value(), 90);
}
