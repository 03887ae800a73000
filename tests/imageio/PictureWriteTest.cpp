#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <filesystem>
#include <functional>

#include "engine/base/Error.h"
#include "fileio/AtomicFile.h"
#include "imageio/ImageFile.h"
#include "tests/imageio/PictureTestSupport.h"
#include "tests/support/SmallFileSystem.h"
#include "tests/support/ThrownMessage.h"

// Pictures are written as LUT files are: completely or not at all, with the
// same rules for protected files and links and the same messages.

namespace {

namespace fs = std::filesystem;

QByteArray ReadQFile(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

TEST(PictureWriteTest, AFullDiskKeepsTheOldPicture) {
    TSmallFileSystem disk;
    if (!disk.Mounted()) GTEST_SKIP() << "mounting a small file system is not allowed here";
    const TImage small = Noise(20, 20);
    const TImage large = Noise(200, 200);  // far more than the 64 KiB of the disk
    for (const char* name : {"out.jpg", "out.bmp", "out.png"}) {
        const std::string path = disk.PathOf(name);
        SaveImageFile(path, small);
        const QByteArray before = ReadQFile(path);
        const std::string message = MessageOf([&] { SaveImageFile(path, large); });
        EXPECT_EQ(message, "Cannot write file \"" + path + "\": No space left on device") << name;
        EXPECT_EQ(ReadQFile(path), before) << name;
        fs::remove(path);
    }
    EXPECT_EQ(MessageOf([&] { SaveJpegFile(disk.PathOf("full.jpg"), large, 100); }),
              "Cannot write file \"" + disk.PathOf("full.jpg") + "\": No space left on device");
    EXPECT_TRUE(fs::is_empty(disk.PathOf("")));
}

TEST(PictureWriteTest, ProtectedFilesAndLinksAsForLutFiles) {
    QTemporaryDir dir;
    const TImage picture = Noise(10, 10);
    const std::string picturePath = dir.filePath("ro.jpg").toStdString();
    const std::string lutPath = dir.filePath("ro.cube").toStdString();
    SaveJpegFile(picturePath, picture);
    WriteFileAtomically(lutPath, "LUT_3D_SIZE 2\n");
    ASSERT_EQ(chmod(picturePath.c_str(), 0444), 0);
    ASSERT_EQ(chmod(lutPath.c_str(), 0444), 0);
    const std::string pictureMessage = MessageOf([&] { SaveImageFile(picturePath, picture); });
    const std::string lutMessage = MessageOf([&] { WriteFileAtomically(lutPath, "x"); });
    EXPECT_EQ(pictureMessage, "Cannot write file \"" + picturePath + "\": Permission denied");
    EXPECT_EQ(lutMessage, "Cannot write file \"" + lutPath + "\": Permission denied");

    // A link as the output is replaced by the picture; its destination,
    // existing or not, is never written.
    const std::string original = dir.filePath("original.jpg").toStdString();
    SaveJpegFile(original, Noise(12, 12));
    const QByteArray kept = ReadQFile(original);
    const std::string link = dir.filePath("link.jpg").toStdString();
    fs::create_symlink(original, link);
    SaveImageFile(link, picture);
    EXPECT_FALSE(fs::is_symlink(link));
    EXPECT_EQ(ReadQFile(original), kept);
    const std::string dangling = dir.filePath("dangling.png").toStdString();
    fs::create_symlink(dir.filePath("elsewhere.png").toStdString(), dangling);
    SaveImageFile(dangling, picture);
    EXPECT_FALSE(fs::is_symlink(dangling));
    EXPECT_FALSE(fs::exists(dir.filePath("elsewhere.png").toStdString()));
}
