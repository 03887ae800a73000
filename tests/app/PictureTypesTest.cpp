#include <gtest/gtest.h>

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <memory>

#include "app/FileDrop.h"
#include "formats/FormatRegistry.h"
#include "imageio/PictureFormats.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/GradingRig.h"

// The picture types the library and preview panels offer, taken from the
// table of picture formats: the open dialogs' filters and the drop target.
namespace {

class TFilterDialogs : public TFakeDialogs {
public:
    QStringList Filters;
    QStringList OpenFiles(QWidget* parent, const QString& caption, const QString& filter,
                          const QString& start) override {
        Filters << filter;
        return TFakeDialogs::OpenFiles(parent, caption, filter, start);
    }
    QString OpenPicture(QWidget* parent, const QString& caption, const QString& filter, const QString& start) override {
        Filters << filter;
        return TFakeDialogs::OpenPicture(parent, caption, filter, start);
    }
};

}  // namespace

TEST(PictureTypesTest, DialogFiltersAndDropsOfferEveryTypeTheLoadersRead) {
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("lib"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("settings"));
    TFilterDialogs dialogs;
    TGradingRig panels(dir.filePath("lib"));
    panels.Library().AddClick();
    panels.Preview().OpenClick();
    panels.Preview().PreviewLutFileClick();
    ASSERT_EQ(dialogs.Filters.size(), 3);

    // Adding references: every type read, together and under its own label.
    const QStringList references = dialogs.Filters[0].split('|');
    ASSERT_GE(references.size(), 6);
    EXPECT_EQ(references.front(), "Image Files");
    EXPECT_EQ(references.mid(references.size() - 2), QStringList({"All Files", "*.*"}));
    const QStringList everyReference = references[1].split(';');
    QStringList labelledReferences;
    for (int i = 3; i + 2 < references.size(); i += 2) labelledReferences << references[i].split(';');
    EXPECT_TRUE(everyReference.contains("*.png"));
    for (const std::string& extension : PictureExtensions(TPictureRole::Read)) {
        const QString pattern = "*." + QString::fromStdString(extension);
        EXPECT_EQ(everyReference.count(pattern), 1) << extension;
        EXPECT_EQ(labelledReferences.count(pattern), 1) << extension;
    }

    // Previewing a LUT: the extensions of every format read, then every file.
    const QStringList luts = dialogs.Filters[2].split('|');
    ASSERT_EQ(luts.size(), 4);
    EXPECT_EQ(luts.mid(2), QStringList({"All Files", "*.*"}));
    QStringList lutPatterns = luts[1].split(';');
    EXPECT_TRUE(lutPatterns.contains("*.cube"));
    EXPECT_TRUE(lutPatterns.contains("*.png"));  // a picture LUT
    int readers = 0;
    for (const auto& format : LutFormats()) {
        if (!format->Info().Reads) continue;
        ++readers;
        for (const std::string& extension : format->Info().Extensions)
            EXPECT_TRUE(lutPatterns.contains("*." + QString::fromStdString(LowerAscii(extension))))
                << format->Info().Id << " " << extension;
    }
    EXPECT_GT(readers, 10);
    EXPECT_EQ(lutPatterns.removeDuplicates(), 0);

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
