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
#include "app/StatusLine.h"
#include "imageio/ImageFile.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/GradingRig.h"
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
    std::unique_ptr<TGradingRig> panels;

    QString Lib() const { return dir.filePath("lib"); }
    QString Trash() const { return dir.filePath("data/Trash"); }

    void SetUp() override {
        QDir().mkpath(Lib());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
        SaveJpegFile((Lib() + "/amber.jpeg").toStdString(), CastPicture(1.0));
        SaveJpegFile((Lib() + "/birch.jpeg").toStdString(), CastPicture(0.6));
        SaveJpegFile((Lib() + "/cedar.jpeg").toStdString(), CastPicture(0.3));
        SaveImageFile(dir.filePath("frame.bmp").toStdString(), ColourfulPicture(400, 200));
        panels = std::make_unique<TGradingRig>(Lib());
        dialogs.PicturesToOpen.push_back(dir.filePath("frame.bmp"));
        panels->Preview().OpenClick();
    }
    void TearDown() override { panels.reset(); }

    void Select(const QString& caption) {
        const auto found = panels->Library().List()->findItems(caption, Qt::MatchExactly);
        ASSERT_FALSE(found.isEmpty()) << caption.toStdString();
        // As a click does: the item becomes the current one too.
        panels->Library().List()->setCurrentItem(found.first());
        QApplication::processEvents();
    }
    void Delete() {
        dialogs.Answers.push_back(QMessageBox::Yes);
        panels->Library().DeleteClick();
        QApplication::processEvents();
    }
    void Trigger(const char* action) {
        panels->Host().findChild<QAction*>(action)->trigger();
        QApplication::processEvents();
    }
    QStringList Captions() const {
        QStringList captions;
        for (int row = 0; row < panels->Library().List()->count(); ++row)
            captions << panels->Library().List()->item(row)->text();
        return captions;
    }
    QByteArray Cube() const {
        const TLUT& lut = panels->Grading().Lut();
        return QByteArray(reinterpret_cast<const char*>(lut.Cube[0]), sizeof(TLUT::TCubePlane) * lut.CubeSize);
    }
    QString StatusText() const { return panels->StatusLine()->Text(); }
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
    const QString now = QFileInfo(panels->Grading().Reference()).completeBaseName();
    ASSERT_FALSE(now.isEmpty());
    const QString message = panels->Host().statusBar()->currentMessage();
    EXPECT_TRUE(message.contains("\"birch\"")) << message.toStdString();
    EXPECT_TRUE(message.contains("now graded with \"" + now + "\"")) << message.toStdString();
    EXPECT_TRUE(StatusText().contains(now)) << StatusText().toStdString();
    // The status line, which takes the bar's width, steps aside while the
    // message is shown.
    EXPECT_FALSE(panels->StatusLine()->isVisible());
    panels->Host().statusBar()->clearMessage();
    EXPECT_TRUE(panels->StatusLine()->isVisible());
    const QByteArray nowCube = Cube();
    EXPECT_NE(nowCube, birchCube);

    // Undo: the file is back where it was, chosen and grading again.
    Trigger("miUndo");
    EXPECT_EQ(FileBytes(Lib() + "/birch.jpeg"), birch);
    EXPECT_FALSE(QFileInfo::exists(Trash() + "/files/birch.jpeg"));
    EXPECT_FALSE(QFileInfo::exists(Trash() + "/info/birch.jpeg.trashinfo"));
    EXPECT_EQ(Captions(), QStringList({"amber", "birch", "cedar"}));
    EXPECT_EQ(panels->Grading().Reference(), "birch.jpeg");
    EXPECT_EQ(Cube(), birchCube);
    EXPECT_TRUE(StatusText().contains("birch")) << StatusText().toStdString();

    // Redo deletes it again and grades with the reference chosen then.
    Trigger("miRedo");
    EXPECT_FALSE(QFileInfo::exists(Lib() + "/birch.jpeg"));
    EXPECT_EQ(FileBytes(Trash() + "/files/birch.jpeg"), birch);
    EXPECT_EQ(QFileInfo(panels->Grading().Reference()).completeBaseName(), now);
    EXPECT_EQ(Cube(), nowCube);
    EXPECT_EQ(Captions(), QStringList({"amber", "cedar"}));
    Trigger("miUndo");
    EXPECT_EQ(panels->Grading().Reference(), "birch.jpeg");
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
    EXPECT_TRUE(panels->Grading().Reference().isEmpty());
    EXPECT_TRUE(panels->Host().statusBar()->currentMessage().contains("no reference"))
        << panels->Host().statusBar()->currentMessage().toStdString();
}
