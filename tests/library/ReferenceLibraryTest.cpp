#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include "engine/base/Error.h"
#include "engine/picture/ImageResize.h"
#include "imageio/ImageFile.h"
#include "library/ReferenceLibrary.h"
#include "tests/library/ReadBytes.h"
#include "tests/support/TemporaryHome.h"

namespace {

TImage Gradient(int width, int height) {
    TImage image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = image.Row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(255 * x / std::max(1, width - 1));
            p[1] = static_cast<std::uint8_t>(255 * y / std::max(1, height - 1));
            p[2] = static_cast<std::uint8_t>(255 * (x + y) / (width + height));
        }
    return image;
}

bool Throws(const std::function<void()>& action, std::string* message = nullptr) {
    try {
        action();
    } catch (const EError& error) {
        if (message) *message = error.what();
        return true;
    }
    return false;
}

bool IsWhiteRow(const TImage& image, int y) {
    const std::uint8_t* row = image.Row(y);
    return std::all_of(row, row + 3 * image.Width(), [](std::uint8_t v) { return v == 255; });
}

class ReferenceLibraryTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    // Removed files go to the trash of a home of the test's own.
    TTemporaryHome home{dir.path()};
    QString Folder() const { return dir.filePath("lib"); }
    QString Trash() const { return dir.filePath("data/Trash"); }
    void SetUp() override { QDir().mkpath(Folder()); }
    TReferenceLibrary Library() const { return TReferenceLibrary(Folder().toStdString()); }
};

}  // namespace

TEST_F(ReferenceLibraryTest, FilesNamesAndCaptions) {
    TReferenceLibrary library = Library();
    for (const char* name : {"a.jpeg", ".hidden.jpeg", "notes.txt"}) {
        QFile file(Folder() + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QDir().mkpath(Folder() + "/sub.jpeg");
    std::vector<std::string> files = library.Files();
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{".hidden.jpeg", "a.jpeg", "notes.txt"}));
    EXPECT_TRUE(TReferenceLibrary("/no/such/folder").Files().empty());

    EXPECT_EQ(library.NameForAdd("/photos/holiday.bmp"), "holiday.jpeg");
    EXPECT_EQ(library.NameForAdd("my.trip.JPG"), "my.trip.jpeg");
    EXPECT_EQ(TReferenceLibrary::CaptionOf("sunset.jpg"), "sunset");
    EXPECT_EQ(TReferenceLibrary::CaptionOf("my.trip.jpeg"), "my.trip");
    EXPECT_TRUE(library.Contains("a.jpeg"));
    EXPECT_FALSE(library.Contains("b.jpeg"));
}

TEST_F(ReferenceLibraryTest, AddStoresAFittedJpegAndCellsCentreIt) {
    TReferenceLibrary library = Library();
    const TImage picture = Gradient(300, 100);
    SaveImageFile(dir.filePath("wide.bmp").toStdString(), picture);
    library.Add(dir.filePath("wide.bmp").toStdString());
    ASSERT_TRUE(library.Contains("wide.jpeg"));

    TImage stored;
    LoadImageFile(library.PathOf("wide.jpeg"), stored);
    ASSERT_EQ(stored.Width(), 150);
    ASSERT_EQ(stored.Height(), 50);
    // The stored picture is the Lanczos reduction, give or take JPEG's error.
    const TImage fitted = FitImage(picture, 150, 150);
    int worst = 0;
    for (int y = 0; y < 50; ++y)
        for (int i = 0; i < 150 * 3; ++i) worst = std::max(worst, std::abs(stored.Row(y)[i] - fitted.Row(y)[i]));
    EXPECT_LE(worst, 12);
    EXPECT_TRUE(ReduceLikeLibrary(picture).SamePixels(stored));

    const TImage cell = library.LoadCell("wide.jpeg");
    ASSERT_EQ(cell.Width(), 150);
    ASSERT_EQ(cell.Height(), 150);
    for (int y = 0; y < 50; ++y) EXPECT_TRUE(IsWhiteRow(cell, y)) << y;
    for (int y = 100; y < 150; ++y) EXPECT_TRUE(IsWhiteRow(cell, y)) << y;
    for (int y = 50; y < 100; ++y) EXPECT_EQ(std::memcmp(cell.Row(y), stored.Row(y - 50), 150 * 3), 0) << y;

    // A picture larger than the cell put there by hand shows its centre.
    const TImage big = Gradient(400, 400);
    SaveImageFile(library.PathOf("big.bmp"), big);
    const TImage centre = library.LoadCell("big.bmp");
    for (int y = 0; y < 150; ++y) EXPECT_EQ(std::memcmp(centre.Row(y), big.Row(y + 125) + 3 * 125, 150 * 3), 0);

    // An unreadable file fails with the loader's message.
    std::string message;
    QFile text(Folder() + "/notes.txt");
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.close();
    EXPECT_TRUE(Throws([&] { library.LoadCell("notes.txt"); }, &message));
    EXPECT_EQ(message, "Unknown picture file extension (.txt)");
}

TEST_F(ReferenceLibraryTest, RenameAndRemoveAddressTheRealFileAndRefuseSafely) {
    TReferenceLibrary library = Library();
    SaveJpegFile(library.PathOf("sunset.jpg"), Gradient(20, 20));
    SaveJpegFile(library.PathOf("taken.jpg"), Gradient(30, 10));
    const QByteArray sunset = ReadBytes(Folder() + "/sunset.jpg");
    const QByteArray taken = ReadBytes(Folder() + "/taken.jpg");

    std::string message;
    SaveJpegFile(library.PathOf("other.jpeg"), Gradient(30, 10));
    for (const char* bad : {"", "   ", "a/b", "a\\b", "taken", "..", "other"}) {
        EXPECT_TRUE(Throws([&] { library.Rename("sunset.jpg", bad); }, &message)) << bad;
        EXPECT_FALSE(message.empty());
    }
    EXPECT_EQ(ReadBytes(Folder() + "/sunset.jpg"), sunset);
    EXPECT_EQ(ReadBytes(Folder() + "/taken.jpg"), taken);

    EXPECT_EQ(library.Rename("sunset.jpg", "sunset"), "sunset.jpg");
    EXPECT_EQ(library.Rename("sunset.jpg", "newname"), "newname.jpg");
    EXPECT_FALSE(library.Contains("sunset.jpg"));
    EXPECT_EQ(ReadBytes(Folder() + "/newname.jpg"), sunset);

    // A file that is gone cannot be renamed; the reason is given.
    EXPECT_TRUE(Throws([&] { library.Rename("gone.jpeg", "fresh"); }, &message));
    EXPECT_NE(message.find("gone.jpeg"), std::string::npos);

    library.Remove("newname.jpg");
    EXPECT_FALSE(library.Contains("newname.jpg"));
    EXPECT_TRUE(Throws([&] { library.Remove("newname.jpg"); }, &message));
    EXPECT_NE(message.find("newname.jpg"), std::string::npos);
    EXPECT_EQ(ReadBytes(Folder() + "/taken.jpg"), taken);
}

// Remove moves to the trash and Restore brings the file back, never over
// a file that took the name meanwhile.
TEST_F(ReferenceLibraryTest, RemoveGoesToTheTrashAndRestoreNeverReplaces) {
    TReferenceLibrary library = Library();
    SaveJpegFile(library.PathOf("sunset.jpeg"), Gradient(20, 20));
    const QByteArray sunset = ReadBytes(Folder() + "/sunset.jpeg");
    const std::string trashed = library.Remove("sunset.jpeg");
    EXPECT_EQ(QString::fromStdString(trashed), Trash() + "/files/sunset.jpeg");
    EXPECT_EQ(ReadBytes(Trash() + "/files/sunset.jpeg"), sunset);
    EXPECT_FALSE(library.Contains("sunset.jpeg"));

    SaveJpegFile(library.PathOf("sunset.jpeg"), Gradient(30, 10));
    const QByteArray newer = ReadBytes(Folder() + "/sunset.jpeg");
    std::string message;
    EXPECT_TRUE(Throws([&] { library.Restore("sunset.jpeg", trashed); }, &message));
    EXPECT_EQ(message, "A library image named \"sunset\" already exists.");
    EXPECT_EQ(ReadBytes(Folder() + "/sunset.jpeg"), newer);
    EXPECT_EQ(ReadBytes(Trash() + "/files/sunset.jpeg"), sunset);

    EXPECT_TRUE(Throws([&] { library.Restore("../sunset.jpeg", trashed); }));
    QFile::remove(Folder() + "/sunset.jpeg");
    library.Restore("sunset.jpeg", trashed);
    EXPECT_EQ(ReadBytes(Folder() + "/sunset.jpeg"), sunset);
    EXPECT_FALSE(QFileInfo::exists(Trash() + "/info/sunset.jpeg.trashinfo"));
    EXPECT_TRUE(Throws([&] { library.Restore("sunset.jpeg", trashed); }, &message));
    EXPECT_EQ(message, "The trash no longer holds \"sunset.jpeg\".");
}

namespace {

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

// Library operations name files of the folder, never paths, and touch
// nothing outside it: not through "..", not through a link.
TEST_F(ReferenceLibraryTest, NothingOutsideTheFolderIsTouched) {
    TReferenceLibrary library = Library();
    SaveJpegFile(dir.filePath("outside.jpeg").toStdString(), Gradient(10, 10));
    SaveJpegFile(library.PathOf("sunset.jpeg"), Gradient(20, 20));
    const QByteArray outside = ReadBytes(dir.filePath("outside.jpeg"));
    const std::string absolute = dir.filePath("outside.jpeg").toStdString();
    std::string message;
    for (const std::string& path : {std::string("../outside.jpeg"), absolute}) {
        EXPECT_TRUE(Throws([&] { library.Remove(path); }, &message)) << path;
        EXPECT_EQ(message, "A library picture is named by its caption, not by a path: \"" + path + "\".");
        EXPECT_TRUE(Throws([&] { library.Rename(path, "moved"); }, &message)) << path;
    }
    EXPECT_TRUE(Throws([&] { library.Remove(".."); }, &message));
    EXPECT_EQ(message, "The library holds no picture \"..\".");
    EXPECT_TRUE(Throws([&] { library.Rename("sunset.jpeg", "../escaped"); }));
    EXPECT_EQ(ReadBytes(dir.filePath("outside.jpeg")), outside);
    EXPECT_EQ(Sorted(library.Files()), std::vector<std::string>{"sunset.jpeg"});

    // A dangling link where a picture is added: without permission to replace
    // the add is refused; with it the link itself is replaced.
    const QString target = dir.filePath("target.jpeg");
    ASSERT_TRUE(QFile::link(target, Folder() + "/linked.jpeg"));
    SaveImageFile(dir.filePath("linked.bmp").toStdString(), Gradient(30, 30));
    EXPECT_TRUE(library.Contains("linked.jpeg"));
    EXPECT_THROW(library.Add(dir.filePath("linked.bmp").toStdString(), false), ELibraryNameTaken);
    library.Add(dir.filePath("linked.bmp").toStdString(), true);
    EXPECT_FALSE(QFileInfo(Folder() + "/linked.jpeg").isSymLink());
    EXPECT_FALSE(QFileInfo::exists(target));
    // Deleting a link removes the link only.
    ASSERT_TRUE(QFile::link(dir.filePath("outside.jpeg"), Folder() + "/alias.jpeg"));
    library.Remove("alias.jpeg");
    EXPECT_EQ(ReadBytes(dir.filePath("outside.jpeg")), outside);
}

// What the folder holds as the library shows it: temporary files of
// unfinished writes are not pictures, control characters in a source name
// do not reach a caption, and an unreadable folder says why.
TEST_F(ReferenceLibraryTest, ListingNamingAndUnreadableFolders) {
    TReferenceLibrary library = Library();
    SaveJpegFile(library.PathOf("kept.jpeg"), Gradient(10, 10));
    QFile leftover(Folder() + "/.kept.jpeg.~ombrane-4242-0.tmp");
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    leftover.close();
    EXPECT_EQ(library.Files(), std::vector<std::string>{"kept.jpeg"});

    EXPECT_EQ(library.NameForAdd("/photos/two\nlines\t.bmp"), "two_lines_.jpeg");
    SaveImageFile(dir.filePath("a\x7f\x01z.bmp").toStdString(), Gradient(12, 12));
    library.Add(dir.filePath("a\x7f\x01z.bmp").toStdString(), false);
    EXPECT_TRUE(library.Contains("a__z.jpeg"));

    // A folder that cannot be read (here a link to itself) is not empty.
    const QString loop = dir.filePath("loop");
    ASSERT_TRUE(QFile::link(loop, loop));
    std::string message;
    EXPECT_TRUE(Throws([&] { TReferenceLibrary(loop.toStdString()).Files(); }, &message));
    EXPECT_EQ(message,
              "Cannot read the library folder \"" + loop.toStdString() + "\": Too many levels of symbolic links");
    EXPECT_TRUE(TReferenceLibrary(dir.filePath("missing").toStdString()).Files().empty());
}

// Two renames onto one caption, or two adds of one name without permission
// to replace, at the same time: exactly one wins and no picture is lost.
TEST_F(ReferenceLibraryTest, RacingRenamesAndAddsNeverReplace) {
    TReferenceLibrary library = Library();
    QDir().mkpath(dir.filePath("one"));
    QDir().mkpath(dir.filePath("two"));
    SaveImageFile(dir.filePath("one/same.bmp").toStdString(), Gradient(20, 20));
    SaveImageFile(dir.filePath("two/same.bmp").toStdString(), Gradient(30, 30));
    for (int attempt = 0; attempt < 20; ++attempt) {
        SaveJpegFile(library.PathOf("a.jpeg"), Gradient(10, 10));
        SaveJpegFile(library.PathOf("b.jpeg"), Gradient(11, 11));
        std::atomic<int> renamed{0}, added{0};
        std::vector<std::thread> racers;
        for (const char* name : {"a.jpeg", "b.jpeg"})
            racers.emplace_back([&, name] { renamed += !Throws([&] { library.Rename(name, "goal"); }); });
        for (const char* folder : {"one", "two"})
            racers.emplace_back([&, folder] {
                const std::string source = dir.filePath(QString(folder) + "/same.bmp").toStdString();
                added += !Throws([&] { library.Add(source, false); });
            });
        for (std::thread& racer : racers) racer.join();
        EXPECT_EQ(renamed.load(), 1) << attempt;
        EXPECT_EQ(added.load(), 1) << attempt;
        EXPECT_EQ(library.Files().size(), 3u) << attempt;
        for (const std::string& name : library.Files()) library.Remove(name);
    }
}
