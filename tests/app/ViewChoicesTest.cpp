#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QSettings>
#include <QTemporaryDir>
#include <memory>

#include "app/ImageViewer.h"
#include "app/MainForm.h"
#include "imageio/ImageFile.h"
#include "tests/app/FakeDialogs.h"

// Choices about how the window shows the frame: View > Dark Surround, kept
// in the settings. It builds the whole window: the choice is an item of its
// View menu that reaches the viewer, also in full screen, and its next
// start.

namespace {

class ViewChoicesTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TFakeDialogs dialogs;
    std::unique_ptr<TfrmMain> window;

    void SetUp() override {
        QDir().mkpath(dir.filePath("lib"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
        SaveJpegFile(dir.filePath("lib/meadow.jpeg").toStdString(), ColourfulPicture(150, 100));
        Open();
    }
    void TearDown() override { window.reset(); }

    void Open() {
        window.reset();
        window = std::make_unique<TfrmMain>(dir.filePath("lib").toStdString());
        window->show();
        QApplication::processEvents();
    }
    QAction* DarkSurround() const { return window->findChild<QAction*>("actDarkSurround"); }
    // The colour the viewer paints around the picture (or the prompt).
    QColor Surround() const { return window->Preview().Viewer()->grab().toImage().pixelColor(1, 1); }
};

const QColor kWindowGrey(239, 239, 239);
const QColor kDarkGrey(51, 51, 51);

}  // namespace

TEST_F(ViewChoicesTest, DarkSurroundIsAViewChoiceKeptInTheSettings) {
    ASSERT_NE(DarkSurround(), nullptr);
    EXPECT_TRUE(window->findChild<QMenu*>("mnuView")->actions().contains(DarkSurround()));
    EXPECT_TRUE(DarkSurround()->isCheckable());
    EXPECT_FALSE(DarkSurround()->isChecked());
    EXPECT_EQ(Surround(), kWindowGrey);

    DarkSurround()->trigger();
    EXPECT_EQ(Surround(), kDarkGrey);
    // Around a picture too, and in full screen.
    SaveImageFile(dir.filePath("frame.bmp").toStdString(), ColourfulPicture(200, 50));
    dialogs.PicturesToOpen.push_back(dir.filePath("frame.bmp"));
    window->Preview().OpenClick();
    EXPECT_EQ(Surround(), kDarkGrey);
    QAction* fullScreen = window->findChild<QAction*>("miFullScreen");
    fullScreen->trigger();
    QApplication::processEvents();
    ASSERT_NE(window->Preview().Viewer()->window(), window.get());
    EXPECT_EQ(Surround(), kDarkGrey);
    fullScreen->trigger();
    QApplication::processEvents();

    // A new window with the same settings keeps the choice; off is the
    // window's grey again, also in the next window.
    Open();
    ASSERT_TRUE(DarkSurround()->isChecked());
    EXPECT_EQ(Surround(), kDarkGrey);
    DarkSurround()->trigger();
    EXPECT_EQ(Surround(), kWindowGrey);
    Open();
    EXPECT_FALSE(DarkSurround()->isChecked());
    EXPECT_EQ(Surround(), kWindowGrey);
}
