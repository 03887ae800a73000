#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "app/Application.h"
#include "app/ImageViewer.h"
#include "app/MainForm.h"
#include "app/PanelJoins.h"
#include "engine/base/Error.h"
#include "engine/look/LookControls.h"
#include "engine/lut/LUT.h"
#include "imageio/ImageFile.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/LookPanelNames.h"
#include "tests/support/TemporaryHome.h"

// The window as a whole: what it shows at the start, that it takes Alt from
// its controls, that it lists the library once it shows, that it joins its
// panels to each other, and that its tool strip's clicks reach the handler
// that reports errors. These need the window itself: its tool strip, its key
// filter, its first show and its wiring. The library's
// and the preview's own features are tested on their panels
// (LibraryListTest, PreviewGradeTest).

namespace {

// Counts the key presses of one key that reach a widget.
class TKeyCounter : public QObject {
public:
    explicit TKeyCounter(int key) : key_(key) {}
    int Count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == key_) ++Count;
        return false;
    }

private:
    int key_;
};

class MainFormTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    // Deleted references go to a trash of the test's own.
    TTemporaryHome home{dir.path()};
    TFakeDialogs dialogs;
    std::unique_ptr<TfrmMain> window;

    QString Lib() const { return dir.filePath("lib"); }
    QString Pictures() const { return dir.filePath("pictures"); }
    std::string PicturePath(const QString& name) const { return (Pictures() + "/" + name).toStdString(); }

    void SetUp() override {
        QDir().mkpath(Lib());
        QDir().mkpath(Pictures());
    }
    void TearDown() override { window.reset(); }

    void Open(bool show = true) {
        window = std::make_unique<TfrmMain>(Lib().toStdString());
        if (show) {
            window->show();
            QApplication::processEvents();
        }
    }

    template <typename T>
    T* Find(const char* name) const {
        T* child = window->findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QSlider* Bar(const char* name) const { return Find<QSlider>(name); }
    QString LabelText(const char* name) const { return Find<QLabel>(name)->text(); }

    void Screenshot(const char* name) {
        QDir().mkpath(SCREENSHOT_DIR);
        QApplication::processEvents();
        EXPECT_TRUE(window->grab().save(QString(SCREENSHOT_DIR) + "/" + name));
    }
};

}  // namespace

TEST_F(MainFormTest, InitialStateByObjectName) {
    Open();
    EXPECT_EQ(window->windowTitle(), "Quor Ombrane");
    // The smallest size, or wider where the texts of the tool strip and the panels need it.
    EXPECT_EQ(window->minimumHeight(), TfrmMain::kMinimumHeight);
    EXPECT_GE(window->minimumWidth(), TfrmMain::kMinimumWidth);
    EXPECT_GE(window->minimumWidth(), window->minimumSizeHint().width());

    auto* open = Find<QToolButton>("sbnOpenPreviewImage");
    EXPECT_EQ(open->text(), "Open Preview Image");
    EXPECT_EQ(open->toolTip(), "Open a preview image (Ctrl+O)");
    EXPECT_TRUE(open->isEnabled());
    auto* create = Find<QToolButton>("sbnCreateLUT");
    EXPECT_EQ(create->text(), "Create 3D LUT");
    EXPECT_EQ(create->toolTip(), "Create the 3D LUT file (Ctrl+E)");
    EXPECT_FALSE(create->isEnabled());
    EXPECT_EQ(Find<QToolButton>("sbnAddToLib")->toolTip(), "Add reference images to the library");
    auto* original = Find<QToolButton>("sbnShowOriginal");
    EXPECT_EQ(original->toolTip(), "Show the ungraded preview image (\\)");
    EXPECT_TRUE(original->isCheckable());
    EXPECT_FALSE(original->isChecked());
    EXPECT_FALSE(original->isEnabled());
    auto* about = Find<QToolButton>("sbnAbout");
    EXPECT_EQ(about->toolTip(), "About");
    EXPECT_GT(about->mapTo(window.get(), QPoint()).x(), create->mapTo(window.get(), QPoint()).x());
    EXPECT_EQ(Find<QWidget>("pnlTools")->height(), 34);

    auto* gain = Bar("tbrColorGain");
    EXPECT_EQ(gain->minimum(), 0);
    EXPECT_EQ(gain->maximum(), 200);
    EXPECT_EQ(gain->value(), 100);
    EXPECT_EQ(gain->tickPosition(), QSlider::NoTicks);
    for (const char* name : kSaturationBars) {
        EXPECT_EQ(Bar(name)->minimum(), 0) << name;
        EXPECT_EQ(Bar(name)->maximum(), 200) << name;
        EXPECT_EQ(Bar(name)->value(), 100) << name;
    }
    for (const char* name : kPercentLabels) EXPECT_EQ(LabelText(name), "100%") << name;
    auto* levels = Find<QCheckBox>("cbxLevels");
    EXPECT_EQ(levels->text(), "Advanced Color Analysis");
    EXPECT_TRUE(levels->isChecked());
    EXPECT_EQ(levels->toolTip(), "Calculate the color statistics for Low, Middle and High ranges separately");
    auto* compress = Find<QCheckBox>("CheckBox1");
    EXPECT_EQ(compress->text(), "Compress Saturation");
    EXPECT_FALSE(compress->isChecked());
    EXPECT_EQ(Find<QPushButton>("sbnDefaults")->text(), "Defaults");
    EXPECT_EQ(Find<QPushButton>("sbnGeneralDefaults")->text(), "Defaults");
    // At least as wide as before; wider where the captions and the
    // footage entries need it in this font.
    EXPECT_GE(Find<QWidget>("pnlRight")->width(), 230);
    EXPECT_GE(Find<QWidget>("pnlRight")->width(), Find<QWidget>("pnlRight")->minimumSizeHint().width());

    // The library is a strip of thumbnails under the viewer, which takes the space.
    auto* library = Find<QDockWidget>("dckLibrary");
    EXPECT_EQ(library->widget(), window->Library().List());
    EXPECT_EQ(window->dockWidgetArea(library), Qt::BottomDockWidgetArea);
    EXPECT_TRUE(window->Library().Strip());
    EXPECT_GT(window->Preview().Viewer()->height(), window->Library().List()->height())
        << window->Preview().Viewer()->height() << " " << window->Library().List()->height() << " " << window->height();
    EXPECT_GE(window->Preview().Viewer()->height(), 60);
    EXPECT_FALSE(window->Preview().Viewer()->HasImage());
    EXPECT_EQ(window->Library().List()->count(), 0);
    EXPECT_EQ(window->Library().List()->objectName(), "lvwRefs");

    auto* refsMenu = Find<QMenu>("pmnRefs");
    QStringList captions;
    for (QAction* action : refsMenu->actions()) captions << action->text();
    EXPECT_EQ(captions, (QStringList{"Add Images To Library...", "Rename Image", "Delete Image"}));
    EXPECT_EQ(Find<QAction>("miRenameImage")->shortcut(), QKeySequence(Qt::Key_F2));
    EXPECT_EQ(Find<QAction>("miDeleteImage")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Delete));
    captions.clear();
    for (QAction* action : Find<QMenu>("pmnPreview")->actions()) captions << action->text();
    EXPECT_EQ(captions, (QStringList{"Open Preview Image...", "Open Image Sequence...",
                                     "Paste Preview Image from Clipboard", "Save Graded Image...",
                                     "Preview LUT File...", "Create Look from Graded Pair…", "Match Shot…"}));

    EXPECT_EQ(window->Grading().Lut().Kind, lkCube);
    EXPECT_EQ(window->Grading().Lut().CubeSize, 33);
    EXPECT_FALSE(window->Grading().LookBuilt());
    EXPECT_TRUE(window->Grading().PreviewFile().empty());
    EXPECT_TRUE(dialogs.Errors.isEmpty());
    Screenshot("main_empty.png");
}

TEST_F(MainFormTest, AltIsConsumedOtherKeysPass) {
    Open();
    QSlider* gain = Bar("tbrColorGain");
    TKeyCounter alt(Qt::Key_Alt), right(Qt::Key_Right);
    gain->installEventFilter(&alt);
    gain->installEventFilter(&right);
    QKeyEvent altDown(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
    QApplication::sendEvent(gain, &altDown);
    QKeyEvent rightDown(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QApplication::sendEvent(gain, &rightDown);
    EXPECT_EQ(alt.Count, 0);
    EXPECT_EQ(right.Count, 1);
    EXPECT_EQ(gain->value(), 101);
}

// The window lists the library when it first shows, not before, and joins
// its panels with the joins the panel tests' rig makes: the highlight builds
// the look, a moved control regrades, a LUT previewed takes the library's
// choice away, a snapshot compared with opens the split view against it, a
// deleted reference is one step of the look's history.
TEST_F(MainFormTest, ThePanelsAreJoinedAsInThePanelTests) {
    SaveJpegFile((Lib() + "/meadow.jpeg").toStdString(), ColourfulPicture(150, 100));
    SaveImageFile(PicturePath("frame.bmp"), ColourfulPicture(640, 320));
    Open(false);
    EXPECT_EQ(window->findChildren<TPanelJoins*>().size(), 1);
    EXPECT_EQ(window->Library().List()->count(), 0);  // filled when shown
    window->show();
    QApplication::processEvents();
    dialogs.PicturesToOpen.push_back(QString::fromStdString(PicturePath("frame.bmp")));
    window->Preview().OpenClick();
    QListWidget* list = window->Library().List();
    ASSERT_EQ(list->count(), 1);
    list->item(0)->setSelected(true);
    QApplication::processEvents();
    ASSERT_TRUE(window->Grading().LookBuilt());
    TImage before = ColourfulPicture(16, 8);
    TImage after = before.Clone();
    window->Grading().Lut().ApplyToImage(before);
    Bar("tbrColorGain")->setValue(160);
    QApplication::processEvents();
    window->Grading().Lut().ApplyToImage(after);
    EXPECT_FALSE(after.SamePixels(before));

    window->Grading().StoreSnapshot(0);
    window->Grading().Snapshots().SetComparison(0);
    QApplication::processEvents();
    EXPECT_TRUE(window->Preview().Viewer()->SplitView());
    EXPECT_TRUE(Find<QToolButton>("sbnSplitView")->isChecked());
    window->Grading().Snapshots().SetComparison(-1);
    QApplication::processEvents();
    EXPECT_FALSE(window->Preview().Viewer()->SplitView());

    const int steps = window->Grading().History().UndoCount();
    dialogs.Answers.push_back(QMessageBox::Yes);
    window->Library().DeleteClick();
    EXPECT_FALSE(QFileInfo::exists(Lib() + "/meadow.jpeg"));
    EXPECT_EQ(window->Grading().History().UndoCount(), steps + 1);
    window->Grading().Undo();
    QApplication::processEvents();
    EXPECT_TRUE(QFileInfo::exists(Lib() + "/meadow.jpeg"));
    ASSERT_EQ(list->count(), 1);

    list->item(0)->setSelected(true);
    QApplication::processEvents();
    ASSERT_FALSE(list->selectedItems().isEmpty());
    auto lut = std::make_unique<TLUT>();
    lut->Kind = lkCube;
    lut->CubeSize = 2;
    window->Preview().PreviewLut(std::move(lut), "plain.cube");
    QApplication::processEvents();
    EXPECT_TRUE(list->selectedItems().isEmpty());
    EXPECT_TRUE(window->Grading().Reference().isEmpty());
}

TEST_F(MainFormTest, ErrorsReachOneHandlerAndTheWindowStaysUsable) {
    Open();
    // A failing handler started by a click: the message is shown, the
    // cursor is back, and the next click works.
    QFile bad(Pictures() + "/bad.bmp");
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("BMxx");
    bad.close();
    SaveImageFile(PicturePath("good.bmp"), ColourfulPicture(320, 200));
    dialogs.PicturesToOpen.push_back(QString::fromStdString(PicturePath("bad.bmp")));
    Find<QToolButton>("sbnOpenPreviewImage")->click();
    EXPECT_EQ(dialogs.Errors, QStringList{"Bitmap image is not valid"});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    dialogs.PicturesToOpen.push_back(QString::fromStdString(PicturePath("good.bmp")));
    Find<QToolButton>("sbnOpenPreviewImage")->click();
    EXPECT_EQ(window->Grading().Preview().Width(), 320);
    EXPECT_EQ(dialogs.Errors.size(), 1);

    // Running out of memory is reported in words, not as a type name.
    RunHandler([] { throw std::bad_alloc(); });
    ASSERT_EQ(dialogs.Errors.size(), 2);
    EXPECT_EQ(dialogs.Errors.last(), "Not enough memory for this operation.");
    // A busy cursor left over by a failing handler is removed.
    RunHandler([] {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        throw EError("late failure");
    });
    EXPECT_EQ(dialogs.Errors.last(), "late failure");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
