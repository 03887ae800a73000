#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "app/Application.h"
#include "app/ImageViewer.h"
#include "app/MainForm.h"
#include "engine/base/Error.h"
#include "engine/colour/ColorSpace.h"
#include "engine/look/LookControls.h"
#include "engine/look/LookTransfer.h"
#include "engine/lut/LUT.h"
#include "engine/picture/DeepGrade.h"
#include "engine/picture/ImageResize.h"
#include "engine/picture/Thumbnail.h"
#include "imageio/DeepImageFile.h"
#include "imageio/ImageFile.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/SavedFiles.h"
#include "tests/support/TemporaryHome.h"

namespace {

const char* const kSaturationBars[] = {"tbrSaturation", "tbrYellow", "tbrOrange", "tbrRed",    "tbrViolet",
                                       "tbrBlue",       "tbrGreen",  "tbrLow",    "tbrMiddle", "tbrHi"};
const char* const kPercentLabels[] = {"lblColorGain", "lblSatOverall", "lblSatYellow", "lblSatOrange",
                                      "lblSatRed",    "lblSatViolet",  "lblSatBlue",   "lblSatGreen",
                                      "lblSatLow",    "lblSatMid",     "lblSatHi"};

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
    std::string LibPath(const QString& name) const { return (Lib() + "/" + name).toStdString(); }
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

    QListWidgetItem* ItemCaptioned(const QString& caption) const {
        const auto found = window->Library().List()->findItems(caption, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.first();
    }
    void Select(const QString& caption) {
        QListWidgetItem* item = ItemCaptioned(caption);
        ASSERT_NE(item, nullptr) << caption.toStdString();
        item->setSelected(true);
    }

    // A library with one reference picture and a preview opened from a file.
    void PrepareGrading(int previewWidth = 800, int previewHeight = 400) {
        SaveJpegFile(LibPath("meadow.jpeg"), ColourfulPicture(150, 100));
        SaveImageFile(PicturePath("frame.bmp"), ColourfulPicture(previewWidth, previewHeight));
        Open();
        dialogs.PicturesToOpen.push_back(QString::fromStdString(PicturePath("frame.bmp")));
        window->Preview().OpenClick();
    }

    // The look rebuilt independently of the window from a library file.
    std::unique_ptr<TLUT> ExpectedLut(const std::string& libraryFile, const TLookPositions& positions) {
        TImage picture;
        LoadImageFile(libraryFile, picture);
        const TImage cell = MakeThumbnailCell(picture);
        TColorStats stats;
        ComputeColorStats(cell, stats);
        const TLookSettings settings = MakeLookSettings(stats, positions);
        auto lut = std::make_unique<TLUT>();
        lut->Kind = lkCube;
        lut->CubeSize = 33;
        BuildLookCube(settings, settings.Factors, *lut);
        return lut;
    }

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

TEST_F(MainFormTest, ScanLeavesOutUnreadableFilesAndNamesThem) {
    SaveJpegFile(LibPath("good.jpeg"), ColourfulPicture(120, 80));
    SaveJpegFile(LibPath("sunset.jpg"), ColourfulPicture(60, 90));
    QFile bad(Lib() + "/broken.jpeg");
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not a picture");
    bad.close();
    QFile notes(Lib() + "/notes.txt");
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.close();
    QDir().mkpath(Lib() + "/folder.jpeg");

    Open(false);
    EXPECT_EQ(window->Library().List()->count(), 0);  // filled when shown
    window->show();
    QApplication::processEvents();

    QStringList captions;
    for (int i = 0; i < window->Library().List()->count(); ++i) captions << window->Library().List()->item(i)->text();
    captions.sort();
    EXPECT_EQ(captions, (QStringList{"good", "sunset"}));
    ASSERT_EQ(dialogs.Errors.size(), 1);
    const QString message = dialogs.Errors.first();
    EXPECT_TRUE(message.contains("broken.jpeg: JPEG error #")) << message.toStdString();
    EXPECT_TRUE(message.contains("notes.txt: Unknown picture file extension (.txt)")) << message.toStdString();
    EXPECT_FALSE(message.contains("good"));

    // Each item knows its file and its cell.
    QListWidgetItem* sunset = ItemCaptioned("sunset");
    ASSERT_NE(sunset, nullptr);
    EXPECT_EQ(sunset->data(TLibraryPanel::kFileNameRole).toString(), "sunset.jpg");
    const int index = sunset->data(TLibraryPanel::kImageIndexRole).toInt();
    ASSERT_LT(index, static_cast<int>(window->Library().Cells().size()));
    TImage picture;
    LoadImageFile(LibPath("sunset.jpg"), picture);
    EXPECT_TRUE(window->Library().Cells()[index].SamePixels(MakeThumbnailCell(picture)));
    Screenshot("main_library.png");

    // A missing folder gives an empty list and no message.
    dialogs.Errors.clear();
    TfrmMain missing(dir.filePath("nothing").toStdString());
    missing.show();
    QApplication::processEvents();
    EXPECT_EQ(missing.Library().List()->count(), 0);
    EXPECT_TRUE(dialogs.Errors.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("nothing")));
}

TEST_F(MainFormTest, AddingFitsStoresAndAsksBeforeReplacing) {
    Open();
    SaveImageFile(PicturePath("wide.bmp"), ColourfulPicture(300, 100));
    SaveImageFile(PicturePath("tall.png"), ColourfulPicture(50, 400));
    dialogs.FilesToOpen.push_back(
        {QString::fromStdString(PicturePath("wide.bmp")), QString::fromStdString(PicturePath("tall.png"))});
    window->Library().AddClick();
    EXPECT_TRUE(dialogs.Questions.isEmpty());
    TImage stored;
    LoadImageFile(LibPath("wide.jpeg"), stored);
    EXPECT_EQ(stored.Width(), 150);
    EXPECT_EQ(stored.Height(), 50);
    LoadImageFile(LibPath("tall.jpeg"), stored);
    EXPECT_EQ(stored.Width(), 19);
    EXPECT_EQ(stored.Height(), 150);
    ASSERT_EQ(window->Library().List()->count(), 2);

    // The cell of the wide picture: 50 white rows above and below.
    QListWidgetItem* wide = ItemCaptioned("wide");
    ASSERT_NE(wide, nullptr);
    const TImage& cell = window->Library().Cells()[wide->data(TLibraryPanel::kImageIndexRole).toInt()];
    ASSERT_EQ(cell.Width(), 150);
    ASSERT_EQ(cell.Height(), 150);
    auto whiteRow = [&](int y) {
        for (int i = 0; i < 450; ++i)
            if (cell.Row(y)[i] != 255) return false;
        return true;
    };
    for (int y : {0, 49, 100, 149}) EXPECT_TRUE(whiteRow(y)) << y;
    for (int y : {50, 75, 99}) EXPECT_FALSE(whiteRow(y)) << y;

    // The name is taken: No keeps the old file, Cancel stops adding.
    const QByteArray before = FileBytes(Lib() + "/wide.jpeg");
    SaveImageFile(PicturePath("wide.png"), ColourfulPicture(90, 90));
    SaveImageFile(PicturePath("new.bmp"), ColourfulPicture(90, 90));
    dialogs.FilesToOpen.push_back({QString::fromStdString(PicturePath("wide.png"))});
    dialogs.Answers.push_back(QMessageBox::No);
    window->Library().AddClick();
    ASSERT_EQ(dialogs.Questions.size(), 1);
    EXPECT_EQ(dialogs.Questions.first(), "A library image named \"wide\" already exists. Replace it?");
    EXPECT_EQ(FileBytes(Lib() + "/wide.jpeg"), before);

    dialogs.FilesToOpen.push_back(
        {QString::fromStdString(PicturePath("wide.png")), QString::fromStdString(PicturePath("new.bmp"))});
    dialogs.Answers.push_back(QMessageBox::Cancel);
    window->Library().AddClick();
    EXPECT_EQ(FileBytes(Lib() + "/wide.jpeg"), before);
    EXPECT_FALSE(QFileInfo::exists(Lib() + "/new.jpeg"));

    // Yes replaces it.
    dialogs.FilesToOpen.push_back({QString::fromStdString(PicturePath("wide.png"))});
    dialogs.Answers.push_back(QMessageBox::Yes);
    window->Library().AddClick();
    LoadImageFile(LibPath("wide.jpeg"), stored);
    EXPECT_EQ(stored.Width(), 90);

    // A picture that cannot be loaded: the error reaches the caller, the
    // files written before it are listed.
    QFile bad(Pictures() + "/bad.jpg");
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.close();
    dialogs.FilesToOpen.push_back(
        {QString::fromStdString(PicturePath("new.bmp")), QString::fromStdString(PicturePath("bad.jpg"))});
    EXPECT_THROW(window->Library().AddClick(), EError);
    EXPECT_NE(ItemCaptioned("new"), nullptr);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainFormTest, RenameAndDeleteAddressTheRealFile) {
    SaveJpegFile(LibPath("sunset.jpg"), ColourfulPicture(60, 60));
    SaveJpegFile(LibPath("taken.jpeg"), ColourfulPicture(40, 40));
    Open();
    const QByteArray sunsetBytes = FileBytes(Lib() + "/sunset.jpg");
    QListWidgetItem* item = ItemCaptioned("sunset");
    ASSERT_NE(item, nullptr);

    // Refused names leave file and caption alone.
    for (const char* bad : {"", "a/b", "taken"}) {
        EXPECT_THROW(window->Library().Edited(item, bad), EError) << bad;
        EXPECT_EQ(item->text(), "sunset");
    }
    EXPECT_EQ(FileBytes(Lib() + "/sunset.jpg"), sunsetBytes);

    // Through the list's own editor: the refusal is shown, the caption stays.
    window->Library().List()->setFocus();
    item->setSelected(true);
    window->Library().List()->setCurrentItem(item);
    window->Library().RenameClick();
    QApplication::processEvents();
    auto* editor = window->Library().List()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText("taken");
    QTest::keyClick(editor, Qt::Key_Return);
    // The editor commits, then the refusal is shown, each from the event loop.
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(item->text(), "sunset");
    ASSERT_EQ(dialogs.Errors.size(), 1);
    EXPECT_TRUE(dialogs.Errors.first().contains("already exists"));

    window->Library().Edited(item, "newname");
    EXPECT_EQ(item->text(), "newname");
    EXPECT_EQ(item->data(TLibraryPanel::kFileNameRole).toString(), "newname.jpg");
    EXPECT_FALSE(QFileInfo::exists(Lib() + "/sunset.jpg"));
    EXPECT_EQ(FileBytes(Lib() + "/newname.jpg"), sunsetBytes);

    // Delete asks first; Cancel keeps everything.
    window->Library().List()->clearSelection();
    window->Library().DeleteClick();
    EXPECT_TRUE(dialogs.Questions.isEmpty());  // nothing selected: nothing asked
    item->setSelected(true);
    dialogs.Answers.push_back(QMessageBox::Cancel);
    window->Library().DeleteClick();
    ASSERT_EQ(dialogs.Questions.size(), 1);
    EXPECT_EQ(dialogs.Questions.first(), "Are you sure you want to remove the \"newname\" image from the library?");
    EXPECT_TRUE(QFileInfo::exists(Lib() + "/newname.jpg"));
    EXPECT_EQ(window->Library().List()->count(), 2);

    dialogs.Answers.push_back(QMessageBox::Yes);
    window->Library().DeleteClick();
    EXPECT_FALSE(QFileInfo::exists(Lib() + "/newname.jpg"));
    EXPECT_EQ(window->Library().List()->count(), 1);
    EXPECT_TRUE(QFileInfo::exists(Lib() + "/taken.jpeg"));

    // A file that cannot be deleted (gone behind our back): the item stays.
    QListWidgetItem* taken = ItemCaptioned("taken");
    ASSERT_NE(taken, nullptr);
    QFile::remove(Lib() + "/taken.jpeg");
    taken->setSelected(true);
    dialogs.Answers.push_back(QMessageBox::Yes);
    EXPECT_THROW(window->Library().DeleteClick(), EError);
    EXPECT_EQ(window->Library().List()->count(), 1);
}

TEST_F(MainFormTest, OpeningFitsThePreviewAndKeepsTheLook) {
    SaveJpegFile(LibPath("meadow.jpeg"), ColourfulPicture(150, 100));
    SaveImageFile(PicturePath("wide.bmp"), ColourfulPicture(4000, 1000));
    SaveImageFile(PicturePath("small.bmp"), ColourfulPicture(800, 400));
    Open();

    dialogs.PicturesToOpen.push_back(QString::fromStdString(PicturePath("wide.bmp")));
    window->Preview().OpenClick();
    EXPECT_EQ(window->Grading().Preview().Width(), 1000);
    EXPECT_EQ(window->Grading().Preview().Height(), 250);
    EXPECT_EQ(window->Grading().PreviewFile(), PicturePath("wide.bmp"));
    EXPECT_TRUE(window->Preview().Viewer()->HasImage());

    Select("meadow");
    EXPECT_TRUE(window->Grading().LookBuilt());
    dialogs.PicturesToOpen.push_back(QString::fromStdString(PicturePath("small.bmp")));
    window->Preview().OpenClick();
    // The chosen reference stays and grades the new preview at once.
    ASSERT_EQ(window->Library().List()->selectedItems().size(), 1);
    EXPECT_EQ(window->Library().List()->selectedItems().first()->text(), "meadow");
    EXPECT_TRUE(window->Grading().Preview().SamePixels(ColourfulPicture(800, 400)));
    TImage graded = window->Preview().Viewer()->Scaled().Clone();
    window->Grading().Lut().ApplyToImage(graded);
    EXPECT_TRUE(window->Preview().Viewer()->Display().SamePixels(graded));
    EXPECT_FALSE(graded.SamePixels(window->Preview().Viewer()->Scaled()));
    // The buttons stay enabled once a look was built.
    EXPECT_TRUE(Find<QToolButton>("sbnCreateLUT")->isEnabled());
    EXPECT_TRUE(Find<QToolButton>("sbnShowOriginal")->isEnabled());

    // A preview that fails to load changes nothing.
    Select("meadow");
    QFile bad(Pictures() + "/bad.jpg");
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("garbage");
    bad.close();
    dialogs.PicturesToOpen.push_back(QString::fromStdString(PicturePath("bad.jpg")));
    EXPECT_THROW(window->Preview().OpenClick(), EError);
    EXPECT_EQ(window->Grading().PreviewFile(), PicturePath("small.bmp"));
    EXPECT_EQ(window->Library().List()->selectedItems().size(), 1);
    EXPECT_EQ(window->Grading().Preview().Width(), 800);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // Cancelling the dialog changes nothing either.
    window->Preview().OpenClick();
    EXPECT_EQ(window->Library().List()->selectedItems().size(), 1);
}

TEST_F(MainFormTest, ControlsRegradeThroughOneHandler) {
    Open();
    SaveJpegFile(LibPath("meadow.jpeg"), ColourfulPicture(150, 100));
    // Without a preview a slider only changes its label.
    Bar("tbrYellow")->setValue(150);
    EXPECT_EQ(LabelText("lblSatYellow"), "150%");
    EXPECT_EQ(window->Grading().BuildCount(), 0);
    EXPECT_FALSE(window->Grading().LookBuilt());
    Bar("tbrYellow")->setValue(100);

    window.reset();
    PrepareGrading();
    EXPECT_EQ(window->Grading().BuildCount(), 0);  // no reference selected yet
    Select("meadow");
    EXPECT_EQ(window->Grading().BuildCount(), 1);

    // The screen shows the preview graded with the look of the reference.
    const auto expected = ExpectedLut(LibPath("meadow.jpeg"), TLookPositions{});
    TImage graded = window->Preview().Viewer()->Scaled().Clone();
    expected->ApplyToImage(graded);
    EXPECT_TRUE(window->Preview().Viewer()->Display().SamePixels(graded));
    EXPECT_FALSE(window->Preview().Viewer()->Display().SamePixels(window->Preview().Viewer()->Scaled()));

    // Color Gain 0 and 200.
    Bar("tbrColorGain")->setValue(0);
    EXPECT_EQ(window->Grading().LastSettings().Gain, 0.0);
    EXPECT_EQ(LabelText("lblColorGain"), "0%");
    Bar("tbrColorGain")->setValue(200);
    EXPECT_EQ(window->Grading().LastSettings().Gain, 5.0 / 200);
    EXPECT_EQ(LabelText("lblColorGain"), "200%");

    // Every control reaches the settings.
    Find<QCheckBox>("CheckBox1")->setChecked(true);
    EXPECT_TRUE(window->Grading().LastSettings().CompressSaturation);
    Find<QCheckBox>("cbxLevels")->setChecked(false);
    EXPECT_FALSE(window->Grading().LastSettings().AdvancedAnalysis);
    Bar("tbrHi")->setValue(30);
    EXPECT_EQ(window->Grading().LastSettings().Factors.High, 0.3f);
    EXPECT_EQ(LabelText("lblSatHi"), "30%");

    // Saturation defaults with all ten moved: exactly one rebuild.
    for (const char* name : kSaturationBars) Bar(name)->setValue(170);
    const int before = window->Grading().BuildCount();
    Find<QPushButton>("sbnDefaults")->click();
    EXPECT_EQ(window->Grading().BuildCount(), before + 1);
    for (const char* name : kPercentLabels) {
        if (std::string(name) != "lblColorGain") {
            EXPECT_EQ(LabelText(name), "100%") << name;
        }
    }
    EXPECT_EQ(window->Grading().LastSettings().Factors.Overall, 1.0f);

    // General defaults: gain back to 100 and the analysis checked; two
    // changes, two rebuilds; Compress Saturation keeps its state.
    const int beforeGeneral = window->Grading().BuildCount();
    Find<QPushButton>("sbnGeneralDefaults")->click();
    EXPECT_EQ(window->Grading().BuildCount(), beforeGeneral + 2);
    EXPECT_EQ(window->Grading().LastSettings().Gain, 0.05);
    EXPECT_TRUE(window->Grading().LastSettings().AdvancedAnalysis);
    EXPECT_TRUE(Find<QCheckBox>("CheckBox1")->isChecked());

    // Back at the defaults apart from Compress Saturation: the screen matches.
    TLookPositions positions;
    positions.CompressSaturation = true;
    const auto again = ExpectedLut(LibPath("meadow.jpeg"), positions);
    graded = window->Preview().Viewer()->Scaled().Clone();
    again->ApplyToImage(graded);
    EXPECT_TRUE(window->Preview().Viewer()->Display().SamePixels(graded));

    // With nothing selected a control change shows the ungraded preview.
    window->Library().List()->clearSelection();
    const int unselected = window->Grading().BuildCount();
    Bar("tbrRed")->setValue(120);
    EXPECT_EQ(window->Grading().BuildCount(), unselected);
    EXPECT_TRUE(window->Preview().Viewer()->Display().SamePixels(window->Preview().Viewer()->Scaled()));
}

TEST_F(MainFormTest, ShowOriginalAndResizeKeepTheGradeRight) {
    PrepareGrading();
    auto* original = Find<QToolButton>("sbnShowOriginal");
    Select("meadow");
    ASSERT_TRUE(original->isEnabled());
    TImage graded = window->Preview().Viewer()->Display().Clone();

    original->click();
    EXPECT_TRUE(original->isChecked());
    EXPECT_TRUE(window->Preview().Viewer()->Display().SamePixels(window->Preview().Viewer()->Scaled()));
    original->click();
    EXPECT_FALSE(original->isChecked());
    EXPECT_TRUE(window->Preview().Viewer()->Display().SamePixels(graded));

    // A regrade releases the button.
    original->click();
    Bar("tbrGreen")->setValue(90);
    EXPECT_FALSE(original->isChecked());
    EXPECT_FALSE(window->Preview().Viewer()->Display().SamePixels(window->Preview().Viewer()->Scaled()));

    // Growing the window gives the viewer a larger working copy once the
    // size settles, and brings the grade back on it.
    window->resize(1100, 900);
    QApplication::processEvents();
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->Preview().Viewer()->Scaled().Width() != graded.Width(); }));
    const TImage& scaled = window->Preview().Viewer()->Scaled();
    EXPECT_NE(scaled.Width(), graded.Width());
    TImage expected = scaled.Clone();
    window->Grading().Lut().ApplyToImage(expected);
    EXPECT_TRUE(window->Preview().Viewer()->Display().SamePixels(expected));

    // Closing the library panel, which gives the viewer its height, does the same.
    const int viewerHeight = window->Preview().Viewer()->height();
    window->Dock().Dock()->hide();
    QApplication::processEvents();
    EXPECT_GT(window->Preview().Viewer()->height(), viewerHeight);
    expected = window->Preview().Viewer()->Scaled().Clone();
    window->Grading().Lut().ApplyToImage(expected);
    EXPECT_TRUE(window->Preview().Viewer()->Display().SamePixels(expected));
    Screenshot("main_graded.png");

    // While the ungraded preview is asked for, a resize keeps it ungraded.
    original->click();
    ASSERT_TRUE(original->isChecked());
    window->resize(1000, 800);
    QApplication::processEvents();
    EXPECT_TRUE(window->Preview().Viewer()->Display().SamePixels(window->Preview().Viewer()->Scaled()));
}

TEST_F(MainFormTest, SavingGradesTheFullResolutionFile) {
    SaveJpegFile(LibPath("meadow.jpeg"), ColourfulPicture(150, 100));
    SaveJpegFile(PicturePath("large.jpg"), ColourfulPicture(2400, 1600));
    Open();
    const QString target = dir.filePath("graded.jpeg");

    // No reference selected: nothing happens, nothing is asked.
    window->Preview().SaveGradedClick();
    EXPECT_EQ(dialogs.SaveDialogs, 0);
    // A reference but no preview: refused with the prompt.
    Select("meadow");
    try {
        window->Preview().SaveGradedClick();
        ADD_FAILURE() << "saving without a preview was not refused";
    } catch (const EError& error) {
        EXPECT_STREQ(error.what(), "Please open a preview image.");
    }
    EXPECT_EQ(dialogs.SaveDialogs, 0);

    dialogs.PicturesToOpen.push_back(QString::fromStdString(PicturePath("large.jpg")));
    window->Preview().OpenClick();
    EXPECT_EQ(window->Grading().Preview().Width(), 750);
    // Opening keeps the chosen reference: the new picture is graded at once.
    EXPECT_EQ(window->Grading().Reference().toStdString(), "meadow.jpeg");

    Select("meadow");
    Bar("tbrSaturation")->setValue(140);
    dialogs.FilesToSave.push_back(target);
    window->Preview().SaveGradedClick();
    EXPECT_EQ(dialogs.SaveDialogs, 1);

    TLookPositions positions;
    positions.Saturation = 140;
    const auto lut = ExpectedLut(LibPath("meadow.jpeg"), positions);
    TImage expected;
    LoadImageFile(PicturePath("large.jpg"), expected);
    lut->ApplyToImage(expected);
    const std::string expectedBytes = EncodeJpeg(expected, 100);
    const QByteArray saved = FileBytes(target);
    EXPECT_EQ(saved.size(), static_cast<qsizetype>(expectedBytes.size()));
    EXPECT_TRUE(saved == QByteArray::fromStdString(expectedBytes));
    TImage reloaded;
    LoadImageFile(target.toStdString(), reloaded);
    EXPECT_EQ(reloaded.Width(), 2400);
    EXPECT_EQ(reloaded.Height(), 1600);

    // Cancelling the save dialog writes nothing.
    QFile::remove(target);
    window->Preview().SaveGradedClick();
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainFormTest, DeepPreviewSavesAtItsOwnDepth) {
    SaveJpegFile(LibPath("meadow.jpeg"), ColourfulPicture(150, 100));
    // A 16-bit TIFF whose values lie between the 8-bit levels.
    TDeepImage frame(1200, 300, false);
    for (int y = 0; y < frame.Height(); ++y)
        for (int x = 0; x < frame.Width(); ++x) {
            float* p = frame.Row(y) + 3 * x;
            p[0] = static_cast<float>(x) / 1199.0f;
            p[1] = static_cast<float>(y) / 299.0f;
            p[2] = 0.3f;
        }
    const std::string tiff = PicturePath("frame.tif");
    SaveDeepImageFile(tiff, frame, {"tiff", TSampleKind::Integer, 16, ""});
    Open();
    dialogs.PicturesToOpen.push_back(QString::fromStdString(tiff));
    window->Preview().OpenClick();
    // Shown through the 8-bit road: the rounded picture, fitted.
    EXPECT_EQ(window->Grading().Preview().Width(), 1000);
    const TDeepImage loaded = LoadDeepImageFile(tiff);
    EXPECT_TRUE(window->Grading().Preview().SamePixels(FitImage(DeepToImage(loaded), 1000, 500)));

    Select("meadow");
    const QString target = dir.filePath("graded.tif");
    dialogs.FilesToSave.push_back(target);
    window->Preview().SaveGradedClick();
    // The dialog offers the frame's own format first and suggests the
    // frame's and the look's names with its extension.
    EXPECT_TRUE(dialogs.LastSaveFilter.startsWith("the preview's own format and depth|*.tif|Jpeg Files|"));
    EXPECT_EQ(QFileInfo(dialogs.LastStart).fileName(), "frame - meadow.tif");
    EXPECT_TRUE(window->statusBar()->currentMessage().contains(QDir::toNativeSeparators(target)));
    TDeepImage expected = LoadDeepImageFile(tiff);
    GradeDeepImage(*ExpectedLut(LibPath("meadow.jpeg"), TLookPositions{}), expected);
    const TDeepImage saved = LoadDeepImageFile(target.toStdString());
    EXPECT_EQ(saved.Depth.Bits, 16);
    ASSERT_EQ(saved.Width(), 1200);
    double worst = 0;
    for (int y = 0; y < saved.Height(); ++y)
        for (int i = 0; i < 3 * saved.Width(); ++i)
            worst = std::max(worst, std::fabs(double(saved.Row(y)[i]) - expected.Row(y)[i]));
    EXPECT_LE(worst, 0.5 / 65535 + 1e-7);

    // JPEG too is graded at full precision, as the command line grades it,
    // and only then rounded to 8 bits.
    const QString jpeg = dir.filePath("graded.jpg");
    dialogs.FilesToSave.push_back(jpeg);
    window->Preview().SaveGradedClick();
    TDeepImage graded = LoadDeepImageFile(tiff);
    GradeDeepImage(window->Grading().Lut(), graded);
    EXPECT_TRUE(FileBytes(jpeg) == QByteArray::fromStdString(EncodeJpeg(DeepToImage(graded), 100)));
}

TEST_F(MainFormTest, PastingKeepsTheFullSize) {
    SaveJpegFile(LibPath("meadow.jpeg"), ColourfulPicture(150, 100));
    Open();
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    window->Preview().MenuPopup();
    EXPECT_FALSE(Find<QAction>("miPaste")->isEnabled());
    window->Preview().PasteClick();
    EXPECT_FALSE(window->Preview().Viewer()->HasImage());

    QImage picture(1800, 1200, QImage::Format_RGB32);
    picture.fill(QColor(200, 120, 40));
    clipboard->setImage(picture);
    window->Preview().MenuPopup();
    EXPECT_TRUE(Find<QAction>("miPaste")->isEnabled());
    Select("meadow");
    window->Preview().PasteClick();
    EXPECT_EQ(window->Grading().Preview().Width(), 1800);
    EXPECT_EQ(window->Grading().Preview().Height(), 1200);
    EXPECT_TRUE(window->Grading().Preview().SamePixels(FlatPicture(1800, 1200, 40, 120, 200)));
    EXPECT_TRUE(window->Grading().PreviewFile().empty());
    // The reference stays chosen and grades the pasted picture.
    ASSERT_EQ(window->Library().List()->selectedItems().size(), 1);
    EXPECT_EQ(window->Library().List()->selectedItems().first()->text(), "meadow");
    TImage pastedGraded = window->Preview().Viewer()->Scaled().Clone();
    window->Grading().Lut().ApplyToImage(pastedGraded);
    EXPECT_TRUE(window->Preview().Viewer()->Display().SamePixels(pastedGraded));

    // Saved at the pasted size.
    Select("meadow");
    const QString target = dir.filePath("pasted.jpg");
    dialogs.FilesToSave.push_back(target);
    window->Preview().SaveGradedClick();
    TImage saved;
    LoadImageFile(target.toStdString(), saved);
    EXPECT_EQ(saved.Width(), 1800);
    EXPECT_EQ(saved.Height(), 1200);
    clipboard->clear();
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

TEST_F(MainFormTest, ListShortcutsWorkWhileTheListHasTheFocus) {
    SaveJpegFile(LibPath("sunset.jpeg"), ColourfulPicture(60, 60));
    Open();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QListWidget* list = window->Library().List();
    list->setFocus();
    QListWidgetItem* item = ItemCaptioned("sunset");
    ASSERT_NE(item, nullptr);
    list->setCurrentItem(item);
    item->setSelected(true);

    dialogs.Answers.push_back(QMessageBox::Cancel);
    QTest::keyClick(list, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(dialogs.Questions.size(), 1);

    QTest::keyClick(list, Qt::Key_F2);
    QApplication::processEvents();
    EXPECT_NE(list->findChild<QLineEdit*>(), nullptr);
}

// A damaged library picture (a JPEG cut short, a bitmap missing rows) is
// named in the scan's message like any other unreadable file, not shown as a
// grey or black thumbnail; a library folder that cannot be read gives one
// message saying why.
TEST_F(MainFormTest, DamagedPicturesAndUnreadableFoldersAreReported) {
    SaveJpegFile(LibPath("good.jpeg"), ColourfulPicture(120, 80));
    const std::string jpeg = EncodeJpeg(ColourfulPicture(100, 100), 100);
    QFile cut(Lib() + "/cut.jpeg");
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(QByteArray::fromStdString(jpeg.substr(0, jpeg.size() / 2) + "\xFF\xD9"));
    cut.close();
    SaveImageFile(PicturePath("whole.bmp"), ColourfulPicture(40, 40));
    QFile whole(QString::fromStdString(PicturePath("whole.bmp")));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    QFile shortBitmap(Lib() + "/short.bmp");
    ASSERT_TRUE(shortBitmap.open(QIODevice::WriteOnly));
    shortBitmap.write(whole.readAll().chopped(100));
    shortBitmap.close();

    Open();
    ASSERT_EQ(window->Library().List()->count(), 1);
    EXPECT_EQ(window->Library().List()->item(0)->text(), "good");
    ASSERT_EQ(dialogs.Errors.size(), 1);
    const QString message = dialogs.Errors.first();
    EXPECT_TRUE(message.contains("cut.jpeg: JPEG error #")) << message.toStdString();
    EXPECT_TRUE(message.contains("short.bmp: Bitmap image is not valid")) << message.toStdString();

    dialogs.Errors.clear();
    const QString loop = dir.filePath("loop");
    ASSERT_TRUE(QFile::link(loop, loop));
    TfrmMain unreadable(loop.toStdString());
    unreadable.show();
    QApplication::processEvents();
    EXPECT_EQ(unreadable.Library().List()->count(), 0);
    ASSERT_EQ(dialogs.Errors.size(), 1);
    EXPECT_EQ(dialogs.Errors.first(),
              "Cannot read the library folder \"" + loop + "\": Too many levels of symbolic links");
}
