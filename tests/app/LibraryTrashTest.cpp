#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>

#include "app/LookPanel.h"
#include "app/MainForm.h"
#include "app/StatusLine.h"
#include "imageio/ImageFile.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/SavedFiles.h"
#include "tests/support/TemporaryHome.h"

// Deleting the chosen reference: its file goes to the desktop's trash, the
// status line names the reference that grades now, and Undo brings file
// and choice back (Redo deletes again).

namespace {

// A reference of its own cast: red scaled by `red`.
TImage CastPicture(double red) {
    TImage picture = ColourfulPicture(120, 90);
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x)
            picture.Row(y)[3 * x + 2] = static_cast<std::uint8_t>(picture.Row(y)[3 * x + 2] * red);
    return picture;
}

class LibraryTrashTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    // The trash of a home of the test's own, never the user's.
    TTemporaryHome home{dir.path()};
    TFakeDialogs dialogs;
    std::unique_ptr<TfrmMain> window;

    QString Lib() const { return dir.filePath("lib"); }
    QString Trash() const { return dir.filePath("data/Trash"); }

    void SetUp() override {
        QDir().mkpath(Lib());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
        SaveJpegFile((Lib() + "/amber.jpeg").toStdString(), CastPicture(1.0));
        SaveJpegFile((Lib() + "/birch.jpeg").toStdString(), CastPicture(0.6));
        SaveJpegFile((Lib() + "/cedar.jpeg").toStdString(), CastPicture(0.3));
        SaveImageFile(dir.filePath("frame.bmp").toStdString(), ColourfulPicture(400, 200));
        window = std::make_unique<TfrmMain>(Lib().toStdString());
        window->show();
        QApplication::processEvents();
        dialogs.PicturesToOpen.push_back(dir.filePath("frame.bmp"));
        window->Preview().OpenClick();
    }
    void TearDown() override { window.reset(); }

    void Select(const QString& caption) {
        const auto found = window->Library().List()->findItems(caption, Qt::MatchExactly);
        ASSERT_FALSE(found.isEmpty()) << caption.toStdString();
        // As a click does: the item becomes the current one too.
        window->Library().List()->setCurrentItem(found.first());
        QApplication::processEvents();
    }
    void Delete() {
        dialogs.Answers.push_back(QMessageBox::Yes);
        window->Library().DeleteClick();
        QApplication::processEvents();
    }
    void Trigger(const char* action) {
        window->findChild<QAction*>(action)->trigger();
        QApplication::processEvents();
    }
    QStringList Captions() const {
        QStringList captions;
        for (int row = 0; row < window->Library().List()->count(); ++row)
            captions << window->Library().List()->item(row)->text();
        return captions;
    }
    QByteArray Cube() const {
        const TLUT& lut = window->Grading().Lut();
        return QByteArray(reinterpret_cast<const char*>(lut.Cube[0]), sizeof(TLUT::TCubePlane) * lut.CubeSize);
    }
    QString StatusText() const { return window->StatusLine()->Text(); }
};

}  // namespace

TEST_F(LibraryTrashTest, DeletedReferenceGoesToTheTrashAndUndoBringsItBack) {
    const QByteArray birch = FileBytes(Lib() + "/birch.jpeg");
    Select("birch");
    const QByteArray birchCube = Cube();
    Delete();

    // The file lies in the trash with its record; the library has it no more.
    EXPECT_FALSE(QFileInfo::exists(Lib() + "/birch.jpeg"));
    EXPECT_EQ(FileBytes(Trash() + "/files/birch.jpeg"), birch);
    const QString info = QString::fromUtf8(FileBytes(Trash() + "/info/birch.jpeg.trashinfo"));
    EXPECT_TRUE(info.startsWith("[Trash Info]\n")) << info.toStdString();
    const QString path = QFileInfo(Lib() + "/birch.jpeg").absoluteFilePath();
    EXPECT_TRUE(info.contains("\nPath=" + QString::fromLatin1(QUrl::toPercentEncoding(path, "/")) + "\n"))
        << info.toStdString();
    EXPECT_TRUE(info.contains("\nDeletionDate=")) << info.toStdString();
    EXPECT_EQ(Captions(), QStringList({"amber", "cedar"}));

    // The reference that grades now is named, in the message and the line.
    const QString now = QFileInfo(window->Grading().Reference()).completeBaseName();
    ASSERT_FALSE(now.isEmpty());
    const QString message = window->statusBar()->currentMessage();
    EXPECT_TRUE(message.contains("\"birch\"")) << message.toStdString();
    EXPECT_TRUE(message.contains("now graded with \"" + now + "\"")) << message.toStdString();
    EXPECT_TRUE(StatusText().contains(now)) << StatusText().toStdString();
    // The status line, which takes the bar's width, steps aside while the
    // message is shown.
    EXPECT_FALSE(window->StatusLine()->isVisible());
    window->statusBar()->clearMessage();
    EXPECT_TRUE(window->StatusLine()->isVisible());
    const QByteArray nowCube = Cube();
    EXPECT_NE(nowCube, birchCube);

    // Undo: the file is back where it was, chosen and grading again.
    Trigger("miUndo");
    EXPECT_EQ(FileBytes(Lib() + "/birch.jpeg"), birch);
    EXPECT_FALSE(QFileInfo::exists(Trash() + "/files/birch.jpeg"));
    EXPECT_FALSE(QFileInfo::exists(Trash() + "/info/birch.jpeg.trashinfo"));
    EXPECT_EQ(Captions(), QStringList({"amber", "birch", "cedar"}));
    EXPECT_EQ(window->Grading().Reference(), "birch.jpeg");
    EXPECT_EQ(Cube(), birchCube);
    EXPECT_TRUE(StatusText().contains("birch")) << StatusText().toStdString();

    // Redo deletes it again and grades with the reference chosen then.
    Trigger("miRedo");
    EXPECT_FALSE(QFileInfo::exists(Lib() + "/birch.jpeg"));
    EXPECT_EQ(FileBytes(Trash() + "/files/birch.jpeg"), birch);
    EXPECT_EQ(QFileInfo(window->Grading().Reference()).completeBaseName(), now);
    EXPECT_EQ(Cube(), nowCube);
    EXPECT_EQ(Captions(), QStringList({"amber", "cedar"}));
    Trigger("miUndo");
    EXPECT_EQ(window->Grading().Reference(), "birch.jpeg");
}

TEST_F(LibraryTrashTest, ANameTakenInTheTrashGetsAnotherAndTheLastReferenceLeavesNone) {
    // The trash holds another birch.jpeg already: it is kept.
    QDir().mkpath(Trash() + "/files");
    QDir().mkpath(Trash() + "/info");
    QFile older(Trash() + "/files/birch.jpeg");
    ASSERT_TRUE(older.open(QIODevice::WriteOnly));
    older.write("older");
    older.close();
    const QByteArray birch = FileBytes(Lib() + "/birch.jpeg");
    Select("birch");
    Delete();
    EXPECT_EQ(FileBytes(Trash() + "/files/birch.jpeg"), "older");
    QStringList trashed = QDir(Trash() + "/files").entryList(QDir::Files);
    trashed.removeAll("birch.jpeg");
    ASSERT_EQ(trashed.size(), 1);
    const QString other = trashed.first();
    EXPECT_EQ(FileBytes(Trash() + "/files/" + other), birch);
    EXPECT_TRUE(QFileInfo::exists(Trash() + "/info/" + other + ".trashinfo"));
    Trigger("miUndo");
    EXPECT_EQ(FileBytes(Lib() + "/birch.jpeg"), birch);
    EXPECT_EQ(FileBytes(Trash() + "/files/birch.jpeg"), "older");

    // Deleting every reference leaves none chosen, and says so.
    while (!Captions().isEmpty()) {
        Select(Captions().first());
        Delete();
    }
    EXPECT_TRUE(window->Grading().Reference().isEmpty());
    EXPECT_TRUE(window->statusBar()->currentMessage().contains("no reference"))
        << window->statusBar()->currentMessage().toStdString();
}
