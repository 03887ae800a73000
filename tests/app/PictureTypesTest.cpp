#include <gtest/gtest.h>

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <memory>

#include "app/FileDrop.h"
#include "app/MainForm.h"
#include "imageio/PictureFormats.h"
#include "tests/app/FakeDialogs.h"

// The picture types the window offers, taken from the table of picture
// formats: the open dialogs' filters and the drop target.
namespace {

class TFilterDialogs : public TFakeDialogs {
public:
    QStringList Filters;
    QStringList OpenFiles(QWidget* parent, const QString& caption, const QString& filter) override {
        Filters << filter;
        return TFakeDialogs::OpenFiles(parent, caption, filter);
    }
    QString OpenPicture(QWidget* parent, const QString& caption, const QString& filter) override {
        Filters << filter;
        return TFakeDialogs::OpenPicture(parent, caption, filter);
    }
};

}  // namespace

TEST(PictureTypesTest, DialogFiltersAndDropsOfferEveryTypeTheLoadersRead) {
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("lib"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("settings"));
    TFilterDialogs dialogs;
    auto window = std::make_unique<TfrmMain>(dir.filePath("lib").toStdString());
    window->sbnAddToLibClick();
    window->sbnOpenPreviewImageClick();
    ASSERT_EQ(dialogs.Filters.size(), 2);
    EXPECT_EQ(dialogs.Filters[0], "Image Files|*.jpg;*.jpeg;*.bmp|All Files|*.*");

    const QStringList preview = dialogs.Filters[1].split('|');
    ASSERT_GE(preview.size(), 4);
    EXPECT_EQ(preview.front(), "All pictures");
    EXPECT_EQ(preview.mid(preview.size() - 2), QStringList({"All Files", "*.*"}));
    // Every type read has a filter of its own label; every written type is
    // among all pictures.
    QStringList labelled;
    for (int i = 3; i + 1 < preview.size(); i += 2) labelled << preview[i].split(';');
    const QStringList all = preview[1].split(';');
    QStringList dropped;
    for (const std::string& extension : PictureExtensions(TPictureRole::Read)) {
        const QString pattern = "*." + QString::fromStdString(extension);
        EXPECT_EQ(labelled.count(pattern), 1) << extension;
        EXPECT_EQ(all.contains(pattern), IsPictureName("x." + extension, TPictureRole::Written)) << extension;
        dropped << dir.filePath("missing." + QString::fromStdString(extension).toUpper());
    }
    // Dropped names of every type count as pictures, whether or not the file is there.
    const TDroppedFiles sorted = SortDroppedFiles(dropped + QStringList{dir.filePath("notes.txt")});
    EXPECT_EQ(sorted.Pictures, dropped);
    EXPECT_EQ(sorted.Others, QStringList{dir.filePath("notes.txt")});
}
