#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <memory>

#include "app/LookFiles.h"
#include "grading/LookDocument.h"
#include "imageio/ImageFile.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/GradingRig.h"
#include "tests/app/SavedFiles.h"

// Look documents in the library: added or dropped they are kept as they
// are, listed with their reference's cell and a mark, and choosing one opens
// its look; they are renamed and deleted as pictures are.

namespace {

class LibraryLooksTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TFakeDialogs dialogs;
    std::unique_ptr<TGradingRig> panels;

    QString Path(const QString& name) const { return dir.filePath(name); }

    void SetUp() override {
        QDir().mkpath(Path("lib"));
        QDir().mkpath(Path("looks"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Path("config"));
        SaveJpegFile(Path("lib/meadow.jpeg").toStdString(), ColourfulPicture(150, 100));
        SaveImageFile(Path("frame.bmp").toStdString(), ColourfulPicture(640, 320));
        panels = std::make_unique<TGradingRig>(Path("lib"));
        dialogs.PicturesToOpen.push_back(Path("frame.bmp"));
        panels->Preview().OpenClick();
    }
    void TearDown() override { panels.reset(); }

    QListWidgetItem* Item(const QString& caption) const {
        const auto found = panels->Library().List()->findItems(caption, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.first();
    }
    QSlider* Saturation() const { return panels->Host().findChild<QSlider*>("tbrSaturation"); }
    // A look of meadow with the saturation at 150, saved outside the library.
    QString WarmLook() {
        Item("meadow")->setSelected(true);
        Saturation()->setValue(150);
        panels->LookFiles().Save(Path("looks/warm.olook"));
        panels->Library().List()->clearSelection();
        Saturation()->setValue(100);
        QApplication::processEvents();
        return Path("looks/warm.olook");
    }
    static QImage Icon(const QListWidgetItem* item) { return item->icon().pixmap(150, 150).toImage(); }
};

}  // namespace

TEST_F(LibraryLooksTest, ADroppedLookIsKeptAsItIsAndListedWithItsCellMarked) {
    const QString look = WarmLook();
    panels->Library().Drop({look});
    EXPECT_TRUE(dialogs.Errors.isEmpty()) << dialogs.Errors.join("\n").toStdString();
    EXPECT_EQ(FileBytes(Path("lib/warm.olook")), FileBytes(look));

    QListWidgetItem* warm = Item("warm");
    QListWidgetItem* meadow = Item("meadow");
    ASSERT_NE(warm, nullptr);
    ASSERT_NE(meadow, nullptr);
    const auto& cells = panels->Library().Cells();
    const TImage& warmCell = cells.at(warm->data(TLibraryPanel::kImageIndexRole).toInt());
    const TImage& meadowCell = cells.at(meadow->data(TLibraryPanel::kImageIndexRole).toInt());
    EXPECT_TRUE(warmCell.SamePixels(meadowCell));
    // The same cell, but the look's entry carries a dark corner where the
    // picture's is white (the meadow sits in the cell's middle rows).
    const QImage warmIcon = Icon(warm), meadowIcon = Icon(meadow);
    ASSERT_FALSE(warmIcon.isNull());
    const QPoint corner(warmIcon.width() - 4, 2);
    EXPECT_GT(qGray(meadowIcon.pixel(corner)), 200);
    EXPECT_LT(qGray(warmIcon.pixel(corner)), 100);
    // Away from the corner the two icons are alike.
    const QPoint middle(warmIcon.width() / 2, warmIcon.height() / 2);
    EXPECT_EQ(warmIcon.pixel(middle), meadowIcon.pixel(middle));
}

TEST_F(LibraryLooksTest, ChoosingTheEntryOpensTheLookAndItRenamesAndDeletesAsAPicture) {
    dialogs.FilesToOpen.push_back({WarmLook()});
    panels->Library().AddClick();
    ASSERT_TRUE(QFileInfo(Path("lib/warm.olook")).isFile());

    // Chosen as a click chooses: the highlight moves to it alone.
    panels->Library().List()->setCurrentItem(Item("warm"));
    QApplication::processEvents();
    EXPECT_TRUE(dialogs.Errors.isEmpty()) << dialogs.Errors.join("\n").toStdString();
    EXPECT_EQ(Saturation()->value(), 150);
    EXPECT_EQ(panels->Grading().Reference(), "meadow.jpeg");
    // The entry stays highlighted, so that Rename and Delete act on it.
    ASSERT_EQ(panels->Library().List()->selectedItems().size(), 1);
    EXPECT_EQ(panels->Library().List()->selectedItems().first()->text(), "warm");

    panels->Library().Edited(Item("warm"), "cool");
    QApplication::processEvents();
    EXPECT_TRUE(QFileInfo(Path("lib/cool.olook")).isFile());
    // Sorted into its place, the renamed entry is still the one highlighted.
    ASSERT_EQ(panels->Library().List()->selectedItems().size(), 1);
    EXPECT_EQ(panels->Library().List()->selectedItems().first()->text(), "cool");
    EXPECT_FALSE(QFileInfo::exists(Path("lib/warm.olook")));

    panels->Library().List()->setCurrentItem(Item("cool"));
    QApplication::processEvents();
    ASSERT_EQ(panels->Library().List()->selectedItems().size(), 1);
    EXPECT_EQ(panels->Library().List()->selectedItems().first()->text(), "cool");
    dialogs.Answers.push_back(QMessageBox::Yes);
    panels->Library().DeleteClick();
    EXPECT_FALSE(QFileInfo::exists(Path("lib/cool.olook")));
    EXPECT_EQ(Item("cool"), nullptr);
    // The reference the look chose is still there and still grades.
    EXPECT_TRUE(QFileInfo(Path("lib/meadow.jpeg")).isFile());
    EXPECT_EQ(panels->Grading().Reference(), "meadow.jpeg");
}

TEST_F(LibraryLooksTest, ADamagedLookIsNotAdded) {
    QFile damaged(Path("looks/broken.olook"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("{\"format\": \"something else\"}");
    damaged.close();
    try {
        panels->Library().Drop({Path("looks/broken.olook")});
        ADD_FAILURE() << "a damaged look document was added";
    } catch (const std::exception& error) {
        EXPECT_NE(std::string(error.what()).find("broken.olook"), std::string::npos) << error.what();
    }
    EXPECT_FALSE(QFileInfo::exists(Path("lib/broken.olook")));
    EXPECT_EQ(Item("broken"), nullptr);
}
