#include <gtest/gtest.h>

#include <xcb/xcb.h>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolButton>
#include <filesystem>
#include <memory>

#include "app/ImageViewer.h"
#include "app/MainForm.h"
#include "engine/lut/LUT.h"
#include "engine/scopes/Scopes.h"
#include "fileio/FileRead.h"
#include "imageio/ColourProfile.h"
#include "imageio/ImageFile.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/GradingRig.h"
#include "tests/imageio/GreyProfile.h"

// The window drawn through a display profile that swaps red and green: the
// viewer and the library's thumbnails show the swap, the scopes measure the
// signal. The first test builds the whole window, since it checks that the
// look panel's choice reaches the viewer, the thumbnails and the scopes there
// and the window's next start; the others use the panels on a plain window.

namespace {

const std::string kSwapped = "/usr/share/color/icc/colord/SwappedRedAndGreen.icc";

class DisplayProfileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TFakeDialogs dialogs;
    std::unique_ptr<TfrmMain> window;
    std::unique_ptr<TGradingRig> panels;

    void SetUp() override {
        if (!std::filesystem::exists(kSwapped)) GTEST_SKIP() << "colord-data missing";
        QDir().mkpath(dir.filePath("lib"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("settings"));
        SetDialogs(&dialogs);
    }
    void TearDown() override {
        window.reset();
        panels.reset();
        SetDialogs(nullptr);
    }
    std::string Path(const char* name) const { return dir.filePath(name).toStdString(); }

    // The viewer as painted, at the centre of its picture, and the signal there.
    void Centre(QRgb& painted, const std::uint8_t*& signal) const {
        TImageViewer* viewer = window->Preview().Viewer();
        const QImage shown = viewer->grab().toImage();
        const int x = viewer->Display().Width() / 2, y = viewer->Display().Height() / 2;
        const qreal ratio = shown.devicePixelRatio();
        painted = shown.pixel(static_cast<int>((viewer->OffsetX() + x) * ratio),
                              static_cast<int>((viewer->OffsetY() + y) * ratio));
        signal = viewer->Display().Row(y) + 3 * x;
    }
    std::vector<std::uint32_t> RedAndGreenHistograms() const {
        std::vector<std::uint32_t> counts;
        for (TScopeChannel channel : {scRed, scGreen})
            for (int level = 0; level < kScopeLevels; ++level)
                counts.push_back(window->Scopes()->Data().Histogram(channel, level));
        return counts;
    }
};

TEST_F(DisplayProfileTest, ViewerAndThumbnailsSwapRedAndGreenTheScopesDoNot) {
    // A strongly red and slightly green picture, so that the swap shows.
    TImage picture(400, 200);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 400; ++x) {
            std::uint8_t* p = picture.Row(y) + 3 * x;
            p[0] = 40, p[1] = 70, p[2] = 210;
        }
    SaveImageFile(Path("frame.bmp"), picture);
    SaveJpegFile(Path("lib/meadow.jpeg"), ColourfulPicture(150, 100));
    window = std::make_unique<TfrmMain>(Path("lib"));
    window->show();
    window->Scopes()->show();
    QApplication::processEvents();
    dialogs.PicturesToOpen.push_back(QString::fromStdString(Path("frame.bmp")));
    window->Preview().OpenClick();
    window->Scopes()->RefreshNow();
    QApplication::processEvents();

    auto* combo = window->findChild<QComboBox*>("cbxDisplayProfile");
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->currentText(), "Screen");  // no X11 screen here: drawn as it is
    QRgb painted;
    const std::uint8_t* signal = nullptr;
    Centre(painted, signal);
    EXPECT_EQ(qRed(painted), signal[2]);
    EXPECT_EQ(qGreen(painted), signal[1]);
    const std::vector<std::uint32_t> before = RedAndGreenHistograms();
    ASSERT_GT(window->Scopes()->Data().PixelCount(), 0u);
    // Red and green differ, so a swap in the scopes would show.
    ASSERT_NE(std::vector<std::uint32_t>(before.begin(), before.begin() + kScopeLevels),
              std::vector<std::uint32_t>(before.begin() + kScopeLevels, before.end()));
    ASSERT_EQ(window->Library().List()->count(), 1);
    const QImage iconBefore = window->Library().List()->item(0)->icon().pixmap(150, 150).toImage();

    // "Profile File..." asks for the profile.
    dialogs.FilesToOpen.push_back({QString::fromStdString(kSwapped)});
    combo->setCurrentIndex(2);
    QApplication::processEvents();
    EXPECT_EQ(combo->currentText(), "SwappedRedAndGreen.icc");
    window->Scopes()->RefreshNow();
    Centre(painted, signal);
    EXPECT_NEAR(qRed(painted), signal[1], 1);
    EXPECT_NEAR(qGreen(painted), signal[2], 1);
    EXPECT_NEAR(qBlue(painted), signal[0], 1);
    EXPECT_EQ(RedAndGreenHistograms(), before);
    const QImage iconAfter = window->Library().List()->item(0)->icon().pixmap(150, 150).toImage();
    const QRgb a = iconBefore.pixel(75, 75), b = iconAfter.pixel(75, 75);
    EXPECT_NEAR(qRed(b), qGreen(a), 1);
    EXPECT_NEAR(qGreen(b), qRed(a), 1);

    // The choice is kept; "None" draws the numbers again.
    window.reset();
    window = std::make_unique<TfrmMain>(Path("lib"));
    combo = window->findChild<QComboBox*>("cbxDisplayProfile");
    EXPECT_EQ(combo->currentText(), "SwappedRedAndGreen.icc");
    EXPECT_FALSE(window->Look().DisplayProfile().Transform().Empty());
    combo->setCurrentIndex(1);
    EXPECT_TRUE(window->Look().DisplayProfile().Transform().Empty());
    // A cancelled dialog leaves the choice as it was.
    combo->setCurrentIndex(2);
    EXPECT_EQ(combo->currentText(), "None");
}

}  // namespace

namespace {

// The captions beside the combos are shown whole, whatever the entries hold.
TEST_F(DisplayProfileTest, TheGeneralGroupsCaptionsFit) {
    panels = std::make_unique<TGradingRig>(Path("lib"));
    dialogs.FilesToOpen.push_back({QString::fromStdString(kSwapped)});
    panels->Host().findChild<QComboBox*>("cbxDisplayProfile")->setCurrentIndex(2);
    QApplication::processEvents();
    const QList<QLabel*> labels = panels->Host().findChild<QWidget*>("grpGeneral")->findChildren<QLabel*>();
    int captions = 0;
    for (const QLabel* label : labels) {
        if (label->text() == "Display profile" || label->text() == "Footage") ++captions;
        EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
    }
    EXPECT_EQ(captions, 2);
}

TEST_F(DisplayProfileTest, SavingATaggedPreviewWritesItBackIntoItsSpace) {
    const TColourProfile adobe = TColourProfile::FromIccFile("/usr/share/color/icc/colord/AdobeRGB1998.icc");
    SaveJpegFile(Path("lib/meadow.jpeg"), ColourfulPicture(150, 100));
    SaveImageFile(Path("tagged.jpg"), ColourfulPicture(300, 200), adobe);
    panels = std::make_unique<TGradingRig>(Path("lib"));
    dialogs.PicturesToOpen.push_back(QString::fromStdString(Path("tagged.jpg")));
    panels->Preview().OpenClick();
    ASSERT_EQ(panels->Library().List()->count(), 1);
    panels->Library().List()->item(0)->setSelected(true);
    ASSERT_TRUE(panels->Grading().LookBuilt());
    dialogs.FilesToSave.push_back(QString::fromStdString(Path("graded.jpeg")));
    panels->Preview().SaveGradedClick();

    // The file carries Adobe RGB and reads, in sRGB, as the sRGB grade put
    // through Adobe RGB and JPEG: what the command line's road writes.
    TImage saved, expected;
    TColourProfile profile;
    LoadImageFile(Path("graded.jpeg"), saved, profile);
    EXPECT_EQ(profile.Icc(), adobe.Icc());
    LoadImageFile(Path("tagged.jpg"), expected);
    panels->Grading().Lut().ApplyToImage(expected);
    SaveImageFile(Path("expected.jpg"), expected, adobe);
    TImage reread;
    LoadImageFile(Path("expected.jpg"), reread);
    EXPECT_TRUE(saved.SamePixels(reread));
}

}  // namespace

namespace {

// An unusable display profile is told once, naming the file, and the pictures
// are drawn as they are.
TEST_F(DisplayProfileTest, AGreyProfileIsToldOnceAndNothingIsDrawnThroughIt) {
    const std::string grey = Path("grey.icc");
    std::FILE* out = std::fopen(grey.c_str(), "wb");
    const std::string bytes = GreyIccProfile();
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
    const std::string expected = "\"" + grey + "\": the colour profile is not an RGB profile";
    // Chosen in the dialog: refused, the choice stays.
    panels = std::make_unique<TGradingRig>(Path("lib"));
    auto* combo = panels->Host().findChild<QComboBox*>("cbxDisplayProfile");
    combo->setCurrentIndex(1);
    dialogs.FilesToOpen.push_back({QString::fromStdString(grey)});
    combo->setCurrentIndex(2);
    QApplication::processEvents();
    EXPECT_EQ(combo->currentText(), "None");
    EXPECT_EQ(dialogs.Errors.join("\n").toStdString(), expected);
    // Remembered from an earlier run: told once when the window is up.
    panels.reset();
    dialogs.Errors.clear();
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "tarnwerk", "Ombrane")
        .setValue("display-profile", QString::fromStdString(grey));
    panels = std::make_unique<TGradingRig>(Path("lib"));
    QApplication::processEvents();
    EXPECT_EQ(dialogs.Errors.join("\n").toStdString(), expected);
    EXPECT_EQ(panels->Host().findChild<QComboBox*>("cbxDisplayProfile")->currentText(), "Screen");
    EXPECT_TRUE(panels->Look().DisplayProfile().Transform().Empty());
}

}  // namespace

namespace {

// Under an X server only (the ctest entry app_display_profile_x11 runs it
// through xvfb-run): the profile a colour daemon puts on the root window.
TEST(DisplayProfileScreenTest, TheRootWindowsProfileIsTaken) {
    if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs an X server";
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    ASSERT_NE(x11, nullptr);
    xcb_connection_t* connection = x11->connection();
    const char name[] = "_ICC_PROFILE";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr);
    ASSERT_NE(atom, nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const std::string icc = ReadFileBytes(kSwapped, 1 << 24);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, root, atom->atom, XCB_ATOM_CARDINAL, 8,
                        static_cast<std::uint32_t>(icc.size()), icc.data());
    xcb_flush(connection);
    EXPECT_EQ(TDisplayProfileChoice::ScreenProfile(), icc);

    QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("settings"));
    QDir().mkpath(dir.filePath("lib"));
    {
        TGradingRig panels(dir.filePath("lib"));
        EXPECT_EQ(panels.Look().findChild<QComboBox*>("cbxDisplayProfile")->currentText(), "Screen");
        EXPECT_FALSE(panels.Look().DisplayProfile().Transform().Empty());
    }
    // A grey profile there is told once; the panels are built and draw the
    // pictures as they are.
    const std::string grey = GreyIccProfile();
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, root, atom->atom, XCB_ATOM_CARDINAL, 8,
                        static_cast<std::uint32_t>(grey.size()), grey.data());
    xcb_flush(connection);
    {
        TFakeDialogs dialogs;
        std::unique_ptr<TGradingRig> panels;
        EXPECT_NO_THROW(panels = std::make_unique<TGradingRig>(dir.filePath("lib")));
        if (panels) {
            QApplication::processEvents();
            EXPECT_EQ(dialogs.Errors.join("\n").toStdString(),
                      "The screen's display profile: the colour profile is not an RGB profile");
            EXPECT_EQ(panels->Look().findChild<QComboBox*>("cbxDisplayProfile")->currentText(), "Screen");
            EXPECT_TRUE(panels->Look().DisplayProfile().Transform().Empty());
        }
    }
    xcb_delete_property(connection, root, atom->atom);
    xcb_flush(connection);
    std::free(atom);
    EXPECT_EQ(TDisplayProfileChoice::ScreenProfile(), "");
}

}  // namespace
