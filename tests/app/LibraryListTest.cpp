#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <memory>

#include "app/Application.h"
#include "app/LibraryPanel.h"
#include "engine/base/Error.h"
#include "engine/picture/Thumbnail.h"
#include "grading/GradingSession.h"
#include "imageio/ColourProfile.h"
#include "imageio/ImageFile.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/LibraryFolders.h"
#include "tests/app/SavedFiles.h"
#include "tests/support/TemporaryHome.h"

// The library panel over a grading session: scanning the folder, adding,
// renaming and deleting its pictures, and the list's own keys.

namespace {

class LibraryListTest : public TLibraryFoldersTest {
protected:
    // Deleted references go to a trash of the test's own.
    TTemporaryHome home{dir.path()};
    TFakeDialogs dialogs;
    TGradingSession state;
    // The thumbnails are drawn as they are: no display profile.
    TDisplayTransform display;
    QWidget host;
    std::unique_ptr<TLibraryPanel> panel;

    void SetUp() override {
        TLibraryFoldersTest::SetUp();
        new QVBoxLayout(&host);
        host.resize(600, 400);
    }
    void TearDown() override { panel.reset(); }

    // The panel over a library folder, its list in the host, which shows;
    // the highlight chooses the reference, as in the window.
    void Open(const QString& folder, bool scan = true) {
        panel.reset();
        panel = std::make_unique<TLibraryPanel>(folder.toStdString(), state, &host, &host);
        panel->CreateMenu();
        panel->SetDisplay(&display);
        state.SetCellSource([this](const QString& file) { return panel->CellOf(file); });
        QObject::connect(panel->List(), &QListWidget::itemSelectionChanged, panel.get(),
                         [this] { RunHandler([this] { panel->HighlightChanged(); }); });
        host.layout()->addWidget(panel->List());
        host.show();
        QApplication::processEvents();
        if (scan) Scan();
    }
    void Open() { Open(Lib()); }
    // The scan the window starts when it shows; its failure is reported.
    void Scan() {
        RunHandler([this] { panel->ScanLibrary(); });
    }

    QListWidgetItem* ItemCaptioned(const QString& caption) const {
        const auto found = panel->List()->findItems(caption, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.first();
    }
    void Screenshot(const char* name) {
        QDir().mkpath(SCREENSHOT_DIR);
        QApplication::processEvents();
        EXPECT_TRUE(host.grab().save(QString(SCREENSHOT_DIR) + "/" + name));
    }
};

}  // namespace

TEST_F(LibraryListTest, ScanLeavesOutUnreadableFilesAndNamesThem) {
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

    Open(Lib(), false);
    EXPECT_EQ(panel->List()->count(), 0);  // filled by the scan
    Scan();

    QStringList captions;
    for (int i = 0; i < panel->List()->count(); ++i) captions << panel->List()->item(i)->text();
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
    ASSERT_LT(index, static_cast<int>(panel->Cells().size()));
    TImage picture;
    LoadImageFile(LibPath("sunset.jpg"), picture);
    EXPECT_TRUE(panel->Cells()[index].SamePixels(MakeThumbnailCell(picture)));
    Screenshot("library_list.png");

    // A missing folder gives an empty list and no message.
    dialogs.Errors.clear();
    Open(dir.filePath("nothing"));
    EXPECT_EQ(panel->List()->count(), 0);
    EXPECT_TRUE(dialogs.Errors.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("nothing")));
}

TEST_F(LibraryListTest, AddingFitsStoresAndAsksBeforeReplacing) {
    Open();
    SaveImageFile(PicturePath("wide.bmp"), ColourfulPicture(300, 100));
    SaveImageFile(PicturePath("tall.png"), ColourfulPicture(50, 400));
    dialogs.FilesToOpen.push_back(
        {QString::fromStdString(PicturePath("wide.bmp")), QString::fromStdString(PicturePath("tall.png"))});
    panel->AddClick();
    EXPECT_TRUE(dialogs.Questions.isEmpty());
    TImage stored;
    LoadImageFile(LibPath("wide.jpeg"), stored);
    EXPECT_EQ(stored.Width(), 150);
    EXPECT_EQ(stored.Height(), 50);
    LoadImageFile(LibPath("tall.jpeg"), stored);
    EXPECT_EQ(stored.Width(), 19);
    EXPECT_EQ(stored.Height(), 150);
    ASSERT_EQ(panel->List()->count(), 2);

    // The cell of the wide picture: 50 white rows above and below.
    QListWidgetItem* wide = ItemCaptioned("wide");
    ASSERT_NE(wide, nullptr);
    const TImage& cell = panel->Cells()[wide->data(TLibraryPanel::kImageIndexRole).toInt()];
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
    panel->AddClick();
    ASSERT_EQ(dialogs.Questions.size(), 1);
    EXPECT_EQ(dialogs.Questions.first(), "A library image named \"wide\" already exists. Replace it?");
    EXPECT_EQ(FileBytes(Lib() + "/wide.jpeg"), before);

    dialogs.FilesToOpen.push_back(
        {QString::fromStdString(PicturePath("wide.png")), QString::fromStdString(PicturePath("new.bmp"))});
    dialogs.Answers.push_back(QMessageBox::Cancel);
    panel->AddClick();
    EXPECT_EQ(FileBytes(Lib() + "/wide.jpeg"), before);
    EXPECT_FALSE(QFileInfo::exists(Lib() + "/new.jpeg"));

    // Yes replaces it.
    dialogs.FilesToOpen.push_back({QString::fromStdString(PicturePath("wide.png"))});
    dialogs.Answers.push_back(QMessageBox::Yes);
    panel->AddClick();
    LoadImageFile(LibPath("wide.jpeg"), stored);
    EXPECT_EQ(stored.Width(), 90);

    // A picture that cannot be loaded: the error reaches the caller, the
    // files written before it are listed.
    QFile bad(Pictures() + "/bad.jpg");
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.close();
    dialogs.FilesToOpen.push_back(
        {QString::fromStdString(PicturePath("new.bmp")), QString::fromStdString(PicturePath("bad.jpg"))});
    EXPECT_THROW(panel->AddClick(), EError);
    EXPECT_NE(ItemCaptioned("new"), nullptr);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(LibraryListTest, RenameAndDeleteAddressTheRealFile) {
    SaveJpegFile(LibPath("sunset.jpg"), ColourfulPicture(60, 60));
    SaveJpegFile(LibPath("taken.jpeg"), ColourfulPicture(40, 40));
    Open();
    const QByteArray sunsetBytes = FileBytes(Lib() + "/sunset.jpg");
    QListWidgetItem* item = ItemCaptioned("sunset");
    ASSERT_NE(item, nullptr);

    // Refused names leave file and caption alone.
    for (const char* bad : {"", "a/b", "taken"}) {
        EXPECT_THROW(panel->Edited(item, bad), EError) << bad;
        EXPECT_EQ(item->text(), "sunset");
    }
    EXPECT_EQ(FileBytes(Lib() + "/sunset.jpg"), sunsetBytes);

    // Through the list's own editor: the refusal is shown, the caption stays.
    panel->List()->setFocus();
    item->setSelected(true);
    panel->List()->setCurrentItem(item);
    panel->RenameClick();
    QApplication::processEvents();
    auto* editor = panel->List()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText("taken");
    QTest::keyClick(editor, Qt::Key_Return);
    // The editor commits, then the refusal is shown, each from the event loop.
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(item->text(), "sunset");
    ASSERT_EQ(dialogs.Errors.size(), 1);
    EXPECT_TRUE(dialogs.Errors.first().contains("already exists"));

    panel->Edited(item, "newname");
    EXPECT_EQ(item->text(), "newname");
    EXPECT_EQ(item->data(TLibraryPanel::kFileNameRole).toString(), "newname.jpg");
    EXPECT_FALSE(QFileInfo::exists(Lib() + "/sunset.jpg"));
    EXPECT_EQ(FileBytes(Lib() + "/newname.jpg"), sunsetBytes);

    // Delete asks first; Cancel keeps everything.
    panel->List()->clearSelection();
    panel->DeleteClick();
    EXPECT_TRUE(dialogs.Questions.isEmpty());  // nothing selected: nothing asked
    item->setSelected(true);
    dialogs.Answers.push_back(QMessageBox::Cancel);
    panel->DeleteClick();
    ASSERT_EQ(dialogs.Questions.size(), 1);
    EXPECT_EQ(dialogs.Questions.first(), "Are you sure you want to remove the \"newname\" image from the library?");
    EXPECT_TRUE(QFileInfo::exists(Lib() + "/newname.jpg"));
    EXPECT_EQ(panel->List()->count(), 2);

    dialogs.Answers.push_back(QMessageBox::Yes);
    panel->DeleteClick();
    EXPECT_FALSE(QFileInfo::exists(Lib() + "/newname.jpg"));
    EXPECT_EQ(panel->List()->count(), 1);
    EXPECT_TRUE(QFileInfo::exists(Lib() + "/taken.jpeg"));

    // A file that cannot be deleted (gone behind our back): the item stays.
    QListWidgetItem* taken = ItemCaptioned("taken");
    ASSERT_NE(taken, nullptr);
    QFile::remove(Lib() + "/taken.jpeg");
    taken->setSelected(true);
    dialogs.Answers.push_back(QMessageBox::Yes);
    EXPECT_THROW(panel->DeleteClick(), EError);
    EXPECT_EQ(panel->List()->count(), 1);
}

TEST_F(LibraryListTest, ListShortcutsWorkWhileTheListHasTheFocus) {
    SaveJpegFile(LibPath("sunset.jpeg"), ColourfulPicture(60, 60));
    Open();
    host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    QListWidget* list = panel->List();
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
TEST_F(LibraryListTest, DamagedPicturesAndUnreadableFoldersAreReported) {
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
    ASSERT_EQ(panel->List()->count(), 1);
    EXPECT_EQ(panel->List()->item(0)->text(), "good");
    ASSERT_EQ(dialogs.Errors.size(), 1);
    const QString message = dialogs.Errors.first();
    EXPECT_TRUE(message.contains("cut.jpeg: JPEG error #")) << message.toStdString();
    EXPECT_TRUE(message.contains("short.bmp: Bitmap image is not valid")) << message.toStdString();

    dialogs.Errors.clear();
    const QString loop = dir.filePath("loop");
    ASSERT_TRUE(QFile::link(loop, loop));
    Open(loop);
    EXPECT_EQ(panel->List()->count(), 0);
    ASSERT_EQ(dialogs.Errors.size(), 1);
    EXPECT_EQ(dialogs.Errors.first(),
              "Cannot read the library folder \"" + loop + "\": Too many levels of symbolic links");
}
