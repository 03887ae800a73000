#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include "app/ImageViewer.h"
#include "app/LutSaveForm.h"
#include "app/MainForm.h"
#include "engine/colour/ColorSpace.h"
#include "engine/look/GradingRoad.h"
#include "engine/look/LookControls.h"
#include "engine/look/LookTransfer.h"
#include "engine/lut/LUT.h"
#include "engine/picture/DeepGrade.h"
#include "engine/picture/Thumbnail.h"
#include "imageio/DeepImageFile.h"
#include "imageio/ImageFile.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/NextModal.h"
#include "tests/app/PanelsOrWindow.h"
#include "tests/app/SavedFiles.h"
#include "tests/support/TemporaryHome.h"

// The reference the user chose, driven through the real list and dialogs:
// the viewer, Save Graded Image and Create 3D LUT all use that one. On the
// panels over a grading session (LibraryChoiceTest); on the whole window
// (MainFormChoiceTest) where the window's keys (Ctrl+K, Ctrl+S, Ctrl+E) must
// reach the chosen look and its LUT must match the command line's byte for
// byte.

namespace {

// A full-range picture with a cast of its own, so that each reference gives
// another look.
TImage CastPicture(int red, int green, int blue) {
    TImage image = ColourfulPicture(150, 100);
    const int cast[3] = {blue, green, red};
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x)
            for (int c = 0; c < 3; ++c) {
                std::uint8_t& v = image.Row(y)[3 * x + c];
                v = static_cast<std::uint8_t>(std::clamp(v + cast[c], 0, 255));
            }
    return image;
}

// Answers the save dialog with the real file dialog, everything else like the fake.
class TRealSaveDialog : public TFakeDialogs {
public:
    QString SaveFile(QWidget* parent, const QString& caption, const QString& folder, const QString& filter,
                     const QString& extension) override {
        return TDialogs::SaveFile(parent, caption, folder, filter, extension);
    }
};

// The panels over a session, or the whole window where a test needs it.
class TMainFormChoiceBase : public ::testing::Test, protected TPanelsOrWindow {
protected:
    QTemporaryDir dir;
    // Deleted references go to a trash of the test's own.
    TTemporaryHome home{dir.path()};
    TFakeDialogs dialogs;
    int exports = 0;
    virtual bool WholeWindow() const = 0;

    QString Lib() const { return dir.filePath("lib"); }
    QString Picture(const QString& name) const { return dir.filePath("pictures/" + name); }
    QListWidget* List() const { return Library().List(); }

    void SetUp() override {
        QDir().mkpath(Lib());
        QDir().mkpath(dir.filePath("pictures"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
    }
    void TearDown() override { CloseBoth(); }
    void Open() { OpenOn(Lib(), WholeWindow()); }

    // Three references of clearly different looks, a frame opened, the window active.
    void OpenFrame() {
        SaveJpegFile((Lib() + "/Beach.jpeg").toStdString(), CastPicture(0, 30, 60));
        SaveJpegFile((Lib() + "/Dune.jpeg").toStdString(), CastPicture(70, 20, -40));
        SaveJpegFile((Lib() + "/Zinc.jpeg").toStdString(), CastPicture(-30, 50, 0));
        SaveImageFile(Picture("frame.bmp").toStdString(), ColourfulPicture(640, 320));
        Open();
        Root()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Root()));
        dialogs.PicturesToOpen.push_back(Picture("frame.bmp"));
        if (window)
            QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
        else
            Preview().OpenClick();
        ASSERT_EQ(Grading().PreviewFile(), Picture("frame.bmp").toStdString());
    }

    QListWidgetItem* Item(const QString& caption) const {
        const auto found = List()->findItems(caption, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.first();
    }
    QStringList Highlighted() const {
        QStringList captions;
        for (const QListWidgetItem* item : List()->selectedItems()) captions << item->text();
        return captions;
    }
    void Click(const QPoint& at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, modifiers, at);
        QApplication::processEvents();
    }
    void ClickItem(const QString& caption, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QListWidgetItem* item = Item(caption);
        ASSERT_NE(item, nullptr) << caption.toStdString();
        Click(List()->visualItemRect(item).center(), modifiers);
    }

    // The look of a library file, built as the engine builds it.
    static std::unique_ptr<TLUT> LookOf(const QString& libraryFile, const TLookPositions& positions = {}) {
        TImage picture;
        LoadImageFile(libraryFile.toStdString(), picture);
        TColorStats stats;
        ComputeColorStats(MakeThumbnailCell(picture), stats);
        const TLookSettings settings = MakeLookSettings(stats, positions);
        auto lut = std::make_unique<TLUT>();
        lut->Kind = lkCube;
        lut->CubeSize = kLookCubeSize;
        BuildLookCube(settings, settings.Factors, *lut);
        return lut;
    }

    bool ViewerShows(const TLUT& lut) const {
        TImage graded = Preview().Viewer()->Scaled().Clone();
        lut.ApplyToImage(graded);
        return Preview().Viewer()->Display().SamePixels(graded);
    }

    // Ctrl+E (on the panels: Create 3D LUT's dialog), the Davinci profile
    // at its default size; the file written.
    QString ExportByKeys() {
        const QString file = dir.filePath(QString("export%1.cube").arg(++exports));
        dialogs.FilesToSave = {file};
        OnNextModal([](QWidget* modal) {
            auto* formats = modal->findChild<QComboBox*>("cbxOutFormat");
            if (!formats) return;
            formats->setCurrentIndex(formats->findText("Cube 3D Davinci"));
            QTest::mouseClick(modal->findChild<QPushButton*>("btnSetLUTFile"), Qt::LeftButton);
            QTest::mouseClick(modal->findChild<QPushButton*>("btnSave"), Qt::LeftButton);
        });
        if (window) {
            QTest::keyClick(window.get(), Qt::Key_E, Qt::ControlModifier);
        } else {
            TGradingSession& state = Grading();
            RunHandler([&] {
                ShowSaveLutDialog(state.LastSettings(), Root(), state.Footage().Conversion(), LookName(state));
            });
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(file); }, 5000)) << "Ctrl+E wrote nothing";
        // The offscreen platform gives the focus back to no window.
        Root()->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(Root()));
        return file;
    }

    // The same profile written by the command line from a library file.
    QByteArray CliLook(const QString& libraryFile) {
        const QString file = dir.filePath(QString("cli%1.cube").arg(++exports));
        QProcess cli;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        cli.setProcessEnvironment(environment);
        cli.start(OMBRANE_CLI, {"look", libraryFile, "-o", file, "--profile", "Cube 3D Davinci"});
        EXPECT_TRUE(cli.waitForFinished(60000));
        EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
        const QByteArray bytes = FileBytes(file);
        EXPECT_FALSE(bytes.isEmpty());
        return bytes;
    }

    // Viewer, Ctrl+K, Ctrl+S and Ctrl+E all give the look of one library file.
    void ExpectEverythingUses(const QString& caption) {
        SCOPED_TRACE(caption.toStdString());
        EXPECT_EQ(Highlighted(), QStringList({caption}));
        const QString libraryFile = Lib() + "/" + caption + ".jpeg";
        const std::unique_ptr<TLUT> look = LookOf(libraryFile);
        EXPECT_TRUE(ViewerShows(*look));

        // The scopes panel shown and hidden, the window made wider and
        // narrower: the viewer re-fits its picture (a larger working copy
        // once the size settles) and grades it again.
        for (int i = 0; i < 2; ++i) {
            QTest::keyClick(window.get(), Qt::Key_K, Qt::ControlModifier);
            QApplication::processEvents();
            EXPECT_TRUE(ViewerShows(*look));
            TImageViewer* viewer = Preview().Viewer();
            const QSizeF shown = viewer->PictureRect().size();
            window->resize(window->width() + (i == 0 ? 120 : -120), window->height());
            QApplication::processEvents();
            EXPECT_NE(viewer->PictureRect().size(), shown);
            QTest::qWaitFor([&] { return viewer->Scaled().Width() >= viewer->PictureRect().width(); });
            EXPECT_GE(viewer->Scaled().Width(), viewer->PictureRect().width());
            EXPECT_TRUE(ViewerShows(*look));
        }

        const QString saved = dir.filePath("saved-" + caption + ".jpeg");
        dialogs.FilesToSave = {saved};
        QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
        TImage expected;
        LoadImageFile(Picture("frame.bmp").toStdString(), expected);
        look->ApplyToImage(expected);
        EXPECT_TRUE(FileBytes(saved) == QByteArray::fromStdString(EncodeJpeg(expected, 100)));

        EXPECT_EQ(FileBytes(ExportByKeys()), CliLook(libraryFile));
        EXPECT_TRUE(dialogs.Errors.isEmpty()) << dialogs.Errors.join("\n").toStdString();
    }
};

class LibraryChoiceTest : public TMainFormChoiceBase {
protected:
    bool WholeWindow() const override { return false; }
};

class MainFormChoiceTest : public TMainFormChoiceBase {
protected:
    bool WholeWindow() const override { return true; }
};

}  // namespace

TEST_F(MainFormChoiceTest, RenamedReferenceStaysTheOneGradedSavedAndExported) {
    OpenFrame();
    ClickItem("Dune");
    ExpectEverythingUses("Dune");

    // F2, a new name, Enter: the item moves to its place in name order.
    const struct {
        const char* From;
        const char* To;
        QStringList Order;
    } renames[] = {{"Dune", "Amber", {"Amber", "Beach", "Zinc"}}, {"Amber", "Yarrow", {"Beach", "Yarrow", "Zinc"}}};
    for (const auto& rename : renames) {
        List()->setFocus();
        QTest::keyClick(List(), Qt::Key_F2);
        auto* editor = List()->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->text(), rename.From);
        editor->selectAll();
        QTest::keyClicks(editor, rename.To);
        QTest::keyClick(editor, Qt::Key_Return);
        QApplication::processEvents();
        QApplication::processEvents();
        QStringList order;
        for (int i = 0; i < List()->count(); ++i) order << List()->item(i)->text();
        EXPECT_EQ(order, rename.Order);
        EXPECT_TRUE(QFileInfo::exists(Lib() + "/" + rename.To + ".jpeg"));
        ExpectEverythingUses(rename.To);
    }
}

TEST_F(MainFormChoiceTest, ClicksBesideTheItemsKeepTheChoice) {
    OpenFrame();
    ClickItem("Zinc");
    ExpectEverythingUses("Zinc");

    // Empty space of the list, and Ctrl with a click on the chosen item.
    const QPoint empty(List()->viewport()->width() - 5, List()->viewport()->height() - 5);
    ASSERT_FALSE(List()->indexAt(empty).isValid());
    Click(empty);
    ExpectEverythingUses("Zinc");
    ClickItem("Zinc", Qt::ControlModifier);
    ExpectEverythingUses("Zinc");

    // Another item is another choice, for everything at once.
    ClickItem("Beach");
    ExpectEverythingUses("Beach");

    // Deleting the chosen reference leaves no look on screen that the
    // highlight does not name.
    dialogs.Answers.push_back(QMessageBox::Yes);
    List()->setFocus();
    QTest::keyClick(List(), Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_EQ(dialogs.Questions.size(), 1);
    EXPECT_EQ(Item("Beach"), nullptr);
    const QStringList left = Highlighted();
    if (left.isEmpty()) {
        EXPECT_TRUE(Preview().Viewer()->Display().SamePixels(Preview().Viewer()->Scaled()));
        const int saves = dialogs.SaveDialogs;
        QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
        EXPECT_EQ(dialogs.SaveDialogs, saves);
    } else {
        ExpectEverythingUses(left.first());
    }
}

TEST_F(LibraryChoiceTest, SaveDialogFilterGivesTheExtension) {
    SaveJpegFile((Lib() + "/Dune.jpeg").toStdString(), CastPicture(70, 20, -40));
    TDeepImage frame(400, 200, false);
    for (int y = 0; y < frame.Height(); ++y)
        for (int x = 0; x < frame.Width(); ++x) {
            float* p = frame.Row(y) + 3 * x;
            p[0] = static_cast<float>(x) / 399.0f;
            p[1] = static_cast<float>(y) / 199.0f;
            p[2] = 0.3f;
        }
    SaveDeepImageFile(Picture("g16.tif").toStdString(), frame, {"tiff", TSampleKind::Integer, 16, ""});
    TRealSaveDialog real;
    Open();
    real.PicturesToOpen.push_back(Picture("g16.tif"));
    Preview().OpenClick();
    Item("Dune")->setSelected(true);

    // A name typed without extension under each filter, as a user would;
    // last with a LUT file previewed instead of the reference's look.
    QFile swap(Picture("swap.cube"));
    ASSERT_TRUE(swap.open(QIODevice::WriteOnly));
    swap.write("LUT_3D_SIZE 2\n0 0 0\n0 0 1\n0 1 0\n0 1 1\n1 0 0\n1 0 1\n1 1 0\n1 1 1\n");
    swap.close();
    const struct {
        const char* Name;
        int FilterKeys[2];  // the keys pressed on the filter box: the frame's own format first, then JPEG
        const char* Written;
        bool PreviewLut;
    } cases[] = {{"g16noext", {Qt::Key_End, Qt::Key_Home}, "g16noext.tif", false},
                 {"plain", {Qt::Key_Home, Qt::Key_Down}, "plain.jpeg", false},
                 {"swapped", {Qt::Key_End, Qt::Key_Home}, "swapped.tif", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        if (c.PreviewLut) Preview().PreviewLutFile(Picture("swap.cube"));
        const QString typed = dir.filePath(c.Name);
        const int first = c.FilterKeys[0], second = c.FilterKeys[1];
        QString suggested, chosenFilter;
        OnNextModal([typed, first, second, &suggested, &chosenFilter](QWidget* modal) {
            auto* types = modal->findChild<QComboBox*>("fileTypeCombo");
            auto* name = modal->findChild<QLineEdit*>("fileNameEdit");
            if (!types || !name) return;
            suggested = name->text();
            chosenFilter = types->currentText();
            QTest::keyClick(types, static_cast<Qt::Key>(first));  // away and back
            QTest::keyClick(types, static_cast<Qt::Key>(second));
            name->setText(typed);
            QTest::keyClick(name, Qt::Key_Return);
        });
        Preview().SaveGradedClick();
        // The dialog opens on the frame's own format with a name suggested.
        EXPECT_TRUE(chosenFilter.startsWith("the preview's own format and depth")) << chosenFilter.toStdString();
        EXPECT_EQ(suggested, c.PreviewLut ? "g16 - swap.tif" : "g16 - Dune.tif");
        const QString written = dir.filePath(c.Written);
        ASSERT_TRUE(QFileInfo::exists(written)) << QDir(dir.path()).entryList(QDir::Files).join(" ").toStdString();
        EXPECT_FALSE(QFileInfo::exists(typed));
        if (!written.endsWith(".tif")) {
            TImage saved;
            LoadImageFile(written.toStdString(), saved);
            EXPECT_EQ(saved.Width(), 400);
            EXPECT_TRUE(FileBytes(written).startsWith("\xff\xd8"));
            continue;
        }
        // The full-precision picture graded with what the viewer shows.
        EXPECT_FALSE(QFileInfo::exists(typed + ".jpeg"));
        const TDeepImage saved = LoadDeepImageFile(written.toStdString());
        EXPECT_EQ(saved.Depth.Bits, 16);
        TDeepImage expected = LoadDeepImageFile(Picture("g16.tif").toStdString());
        GradeDeepImage(c.PreviewLut ? *Grading().PreviewLut() : *LookOf(Lib() + "/Dune.jpeg"), expected);
        ASSERT_EQ(saved.Width(), expected.Width());
        double worst = 0;
        for (int y = 0; y < saved.Height(); ++y)
            for (int i = 0; i < 3 * saved.Width(); ++i)
                worst = std::max(worst, std::fabs(double(saved.Row(y)[i]) - expected.Row(y)[i]));
        EXPECT_LE(worst, 0.5 / 65535 + 1e-7);
    }
    // Create 3D LUT makes a file of a reference's look: it waits while a
    // LUT file is previewed, so it never exports a look other than the one shown.
    auto* createLut = Root()->findChild<QToolButton*>("sbnCreateLUT");
    ASSERT_NE(createLut, nullptr);
    EXPECT_FALSE(createLut->isEnabled());
    EXPECT_FALSE(createLut->toolTip().isEmpty());
    Item("Dune")->setSelected(true);
    EXPECT_TRUE(createLut->isEnabled());
    EXPECT_TRUE(real.Errors.isEmpty()) << real.Errors.join("\n").toStdString();
}

// A new frame is graded at once with the chosen reference's look, and the
// exported LUT is the same as for the frame before (Match Preview Colours off).
TEST_F(LibraryChoiceTest, TheLookCarriesOverToANewFrame) {
    OpenFrame();
    ClickItem("Dune");
    const QByteArray first = FileBytes(ExportByKeys());
    ASSERT_FALSE(first.isEmpty());

    SaveImageFile(Picture("second.bmp").toStdString(), CastPicture(-20, 10, 40));
    dialogs.PicturesToOpen.push_back(Picture("second.bmp"));
    Preview().OpenClick();
    ASSERT_EQ(Grading().PreviewFile(), Picture("second.bmp").toStdString());
    EXPECT_EQ(Highlighted(), QStringList({"Dune"}));
    const std::unique_ptr<TLUT> look = LookOf(Lib() + "/Dune.jpeg");
    EXPECT_TRUE(ViewerShows(*look));
    EXPECT_FALSE(Preview().Viewer()->Display().SamePixels(Preview().Viewer()->Scaled()));
    EXPECT_EQ(FileBytes(ExportByKeys()), first);

    // Show Original down, then a pasted frame: graded at once as well.
    rig->Strip().ShowOriginal->click();
    ASSERT_TRUE(Root()->findChild<QToolButton*>("sbnShowOriginal")->isChecked());
    QImage pasted(320, 200, QImage::Format_RGB32);
    pasted.fill(QColor(180, 90, 60));
    QGuiApplication::clipboard()->setImage(pasted);
    Preview().PasteClick();
    QGuiApplication::clipboard()->clear();
    EXPECT_TRUE(Grading().PreviewFile().empty());
    EXPECT_FALSE(Root()->findChild<QToolButton*>("sbnShowOriginal")->isChecked());
    EXPECT_TRUE(ViewerShows(*look));
    EXPECT_EQ(FileBytes(ExportByKeys()), first);
    EXPECT_TRUE(dialogs.Errors.isEmpty()) << dialogs.Errors.join("\n").toStdString();
}

// A rename starts on F2 (or the menu) only; clicking the chosen item again
// does not start one. Ctrl+Del in the caption editor edits the text and
// deletes no picture.
TEST_F(LibraryChoiceTest, RenameStartsOnlyOnF2AndCtrlDelEditsTheCaption) {
    OpenFrame();
    ClickItem("Zinc");
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    ClickItem("Zinc");
    QTest::qWait(QApplication::doubleClickInterval() + 100);
    QApplication::processEvents();
    EXPECT_EQ(List()->findChild<QLineEdit*>(), nullptr);

    List()->setFocus();
    QTest::keyClick(List(), Qt::Key_F2);
    auto* editor = List()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText("Zinc white");
    editor->setCursorPosition(5);
    QTest::keyClick(editor, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(editor->text(), "Zinc ");
    EXPECT_TRUE(dialogs.Questions.isEmpty());
    QTest::keyClick(editor, Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_TRUE(QFileInfo::exists(Lib() + "/Zinc.jpeg"));
    EXPECT_NE(Item("Zinc"), nullptr);

    // The menu's Rename Image starts it as well.
    Root()->findChild<QAction*>("miRenameImage")->trigger();
    EXPECT_NE(List()->findChild<QLineEdit*>(), nullptr);
}
