#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <memory>

#include "app/Dialogs.h"
#include "imageio/ImageFile.h"
#include "imageio/JpegCodec.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/GradingRig.h"

// Each kind of file the dialogs ask for starts in the folder last used for
// that kind, kept in the settings; the preview and library panels ask there.
namespace {

QString Fallback() {
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return QFileInfo(pictures).isDir() ? QDir::cleanPath(pictures) : QDir::homePath();
}

void ForgetFolders() {
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "tarnwerk", "Ombrane").remove("folders");
}

}  // namespace

TEST(DialogFoldersTest, EachKindStartsInItsOwnLastFolder) {
    ForgetFolders();
    QTemporaryDir dir;
    for (const char* sub : {"refs", "luts", "gone", "saves"}) QDir().mkpath(dir.filePath(sub));
    const QString refs = dir.filePath("refs"), luts = dir.filePath("luts");

    // Nothing used yet: the user's pictures or home.
    EXPECT_EQ(StartFolder(TFileKind::Reference, false), Fallback());
    EXPECT_EQ(StartFolder(TFileKind::GradedPicture, true), Fallback());

    RememberFolder(TFileKind::Reference, refs + "/a.jpg");
    RememberFolder(TFileKind::LutPreview, luts + "/b.cube");
    EXPECT_EQ(StartFolder(TFileKind::Reference, false), refs);
    EXPECT_EQ(StartFolder(TFileKind::LutPreview, false), luts);
    // Two kinds never share a folder.
    EXPECT_EQ(StartFolder(TFileKind::PreviewPicture, false), Fallback());
    EXPECT_EQ(StartFolder(TFileKind::LutExport, true), Fallback());
    // A cancelled dialog (no file) changes nothing.
    RememberFolder(TFileKind::Reference, QString());
    EXPECT_EQ(StartFolder(TFileKind::Reference, false), refs);

    // A folder that has gone, or a file where it was, is not started in.
    RememberFolder(TFileKind::LearnPair, dir.filePath("gone/c.png"));
    EXPECT_EQ(StartFolder(TFileKind::LearnPair, false), dir.filePath("gone"));
    QDir(dir.filePath("gone")).removeRecursively();
    EXPECT_EQ(StartFolder(TFileKind::LearnPair, false), Fallback());
    QFile file(dir.filePath("gone"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(StartFolder(TFileKind::LearnPair, false), Fallback());

    // A save never starts in a folder it cannot write (not testable as root,
    // who writes everywhere).
    const QString saves = dir.filePath("saves");
    RememberFolder(TFileKind::GradedPicture, saves + "/d.jpeg");
    EXPECT_EQ(StartFolder(TFileKind::GradedPicture, true), saves);
    if (!QFile::setPermissions(saves, QFile::ReadOwner | QFile::ExeOwner)) FAIL();
    if (!QFileInfo(saves).isWritable()) {
        EXPECT_EQ(StartFolder(TFileKind::GradedPicture, true), Fallback());
        EXPECT_EQ(StartFolder(TFileKind::GradedPicture, false), saves);
    }
    QFile::setPermissions(saves, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // The settings outlive the run: a fresh store reads the same folder.
    EXPECT_EQ(QSettings(QSettings::NativeFormat, QSettings::UserScope, "tarnwerk", "Ombrane")
                  .value("folders/reference")
                  .toString(),
              refs);
}

TEST(DialogFoldersTest, WindowDialogsStartWhereTheirKindWasLastChosen) {
    ForgetFolders();
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("lib"));
    QDir().mkpath(dir.filePath("frames"));
    QDir().mkpath(dir.filePath("pictures"));
    const QString frame = dir.filePath("frames/shot.jpg");
    SaveJpegFile(frame.toStdString(), ColourfulPicture(64, 48), 95);
    TFakeDialogs dialogs;
    TGradingRig panels(dir.filePath("lib"));

    dialogs.PicturesToOpen.push_back(frame);
    panels.Preview().OpenClick();
    EXPECT_EQ(dialogs.LastStart, Fallback());
    panels.Preview().OpenClick();  // cancelled
    EXPECT_EQ(dialogs.LastStart, dir.filePath("frames"));

    // Adding references starts elsewhere, and remembers its own choice.
    const QString reference = dir.filePath("pictures/dusk.png");
    SaveImageFile(reference.toStdString(), ColourfulPicture(40, 30));
    dialogs.FilesToOpen.push_back({reference});
    panels.Library().AddClick();
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("lib/dusk.jpeg")));
    EXPECT_EQ(dialogs.LastStart, Fallback());
    panels.Library().AddClick();
    EXPECT_EQ(dialogs.LastStart, dir.filePath("pictures"));
    panels.Preview().PreviewLutFileClick();
    EXPECT_EQ(dialogs.LastStart, Fallback());
    panels.Preview().OpenClick();
    EXPECT_EQ(dialogs.LastStart, dir.filePath("frames"));
}
