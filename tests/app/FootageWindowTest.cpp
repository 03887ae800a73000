#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QSlider>
#include <QTemporaryDir>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "FakeDialogs.h"
#include "FootageLook.h"
#include "ImageFile.h"
#include "ImageViewer.h"
#include "LUT.h"
#include "LutSaveForm.h"
#include "MainForm.h"

namespace {

constexpr const char* kSlog3Cine = "Sony S-Log3 / S-Gamut3.Cine";

class FootageWindowTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TFakeDialogs dialogs;
    std::unique_ptr<TfrmMain> window;

    void SetUp() override { unsetenv("OCIO"); }
    void TearDown() override {
        window.reset();
        unsetenv("OCIO");
    }
    std::string PathOf(const QString& name) const { return dir.filePath(name).toStdString(); }

    // A library with one reference, the window, and a preview opened from a file.
    void OpenWithPreview() {
        QDir().mkpath(dir.filePath("lib"));
        SaveJpegFile(PathOf("lib/meadow.jpeg"), ColourfulPicture(150, 100));
        SaveImageFile(PathOf("frame.bmp"), ColourfulPicture(1200, 500));
        window = std::make_unique<TfrmMain>(dir.filePath("lib").toStdString());
        window->show();
        QApplication::processEvents();
        dialogs.PicturesToOpen.push_back(QString::fromStdString(PathOf("frame.bmp")));
        window->sbnOpenPreviewImageClick();
    }
    QComboBox* Footage() const { return window->findChild<QComboBox*>("cbxFootage"); }
    void Choose(const QString& label) {
        const int index = Footage()->findText(label);
        ASSERT_GE(index, 0) << label.toStdString();
        Footage()->setCurrentIndex(index);
        QApplication::processEvents();
    }
    TImage Converted(const TImage& picture) const {
        TImage copy = picture.Clone();
        ConvertFootageImage(*window->Footage().Conversion(), copy);
        return copy;
    }
    void ExpectGradedDisplay() const {
        TImage graded = window->Viewer()->Scaled().Clone();
        window->Lut().ApplyToImage(graded);
        EXPECT_TRUE(window->Viewer()->Display().SamePixels(graded));
    }
};

}  // namespace

TEST_F(FootageWindowTest, ALogPreviewIsShownConvertedGradedSavedAndExportedForItsSpace) {
    OpenWithPreview();
    ASSERT_NE(Footage(), nullptr);
    EXPECT_EQ(Footage()->currentText(), "Display (Rec.709 / sRGB)");
    EXPECT_EQ(Footage()->count(), 14);  // display, 8 camera logs, 5 linear spaces
    EXPECT_EQ(window->Footage().Conversion(), nullptr);
    EXPECT_TRUE(window->Viewer()->Source().SamePixels(window->PreviewBitmap()));

    // Without a reference the converted preview is shown ungraded.
    Choose(kSlog3Cine);
    ASSERT_NE(window->Footage().Conversion(), nullptr);
    const TImage shown = Converted(window->PreviewBitmap());
    EXPECT_FALSE(shown.SamePixels(window->PreviewBitmap()));
    EXPECT_TRUE(window->Viewer()->Source().SamePixels(shown));
    EXPECT_TRUE(window->Viewer()->Display().SamePixels(window->Viewer()->Scaled()));

    // A reference grades the converted copy; regrades keep working on it.
    window->lvwRefs()->item(0)->setSelected(true);
    QApplication::processEvents();
    ExpectGradedDisplay();
    const int builds = window->BuildCount();
    window->findChild<QSlider*>("tbrSaturation")->setValue(140);
    EXPECT_EQ(window->BuildCount(), builds + 1);
    EXPECT_TRUE(window->Viewer()->Source().SamePixels(shown));
    ExpectGradedDisplay();

    // Save Graded Image: the full picture converted, then graded.
    const QString target = dir.filePath("graded.jpeg");
    dialogs.FilesToSave.push_back(target);
    window->miSaveGradedImageClick();
    TImage expected;
    LoadImageFile(PathOf("frame.bmp"), expected);
    expected = Converted(expected);
    window->Lut().ApplyToImage(expected);
    QFile saved(target);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll() == QByteArray::fromStdString(EncodeJpeg(expected, 100)));

    // The export dialog writes the LUT for the chosen space.
    TfrmSaveLut form(window->LastSettings(), window.get(), window->Footage().Conversion());
    auto* formats = form.findChild<QComboBox*>("cbxOutFormat");
    formats->setCurrentIndex(formats->findText("Cube 3D Davinci"));
    const QString lut = dir.filePath("look.cube");
    form.findChild<QLineEdit*>("edtLUTFile")->setText(lut);
    form.btnSaveClick();
    QFile written(lut);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll().contains("# input: Sony S-Log3 / S-Gamut3.Cine\n"));

    // Back to display: the preview as it is.
    Choose("Display (Rec.709 / sRGB)");
    EXPECT_EQ(window->Footage().Conversion(), nullptr);
    EXPECT_TRUE(window->Viewer()->Source().SamePixels(window->PreviewBitmap()));
    ExpectGradedDisplay();
    EXPECT_TRUE(dialogs.Errors.isEmpty()) << dialogs.Errors.join("\n").toStdString();
}

TEST_F(FootageWindowTest, TheOcioConfigAddsItsSpacesOrSaysWhyItDoesNotLoad) {
    const std::string config = PathOf("studio.ocio");
    std::ofstream(config) << "ocio_profile_version: 2\n"
                             "roles: {default: lin, scene_linear: lin}\n"
                             "file_rules:\n  - !<Rule> {name: Default, colorspace: default}\n"
                             "displays:\n  Screen:\n    - !<View> {name: Log, colorspace: film log}\n"
                             "colorspaces:\n"
                             "  - !<ColorSpace> {name: lin, encoding: scene-linear}\n"
                             "  - !<ColorSpace> {name: film log, encoding: log}\n";
    setenv("OCIO", config.c_str(), 1);
    OpenWithPreview();
    EXPECT_EQ(Footage()->count(), 16);  // the config's linear space too
    EXPECT_EQ(Footage()->itemText(14), "lin");
    EXPECT_EQ(Footage()->itemText(15), "film log");
    EXPECT_TRUE(Footage()->toolTip().isEmpty());
    Choose("film log");
    ASSERT_NE(window->Footage().Conversion(), nullptr);
    // The config's view is the identity: the shown copy equals the preview.
    EXPECT_TRUE(window->Viewer()->Source().SamePixels(window->PreviewBitmap()));

    window.reset();
    setenv("OCIO", PathOf("missing.ocio").c_str(), 1);
    OpenWithPreview();
    EXPECT_EQ(Footage()->count(), 14);
    EXPECT_TRUE(Footage()->toolTip().contains("does not load")) << Footage()->toolTip().toStdString();
}
