#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QSlider>
#include <QTemporaryDir>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "app/ImageViewer.h"
#include "app/LutSaveForm.h"
#include "engine/footage/FootageLook.h"
#include "engine/lut/LUT.h"
#include "engine/picture/DeepGrade.h"
#include "engine/picture/ImageResize.h"
#include "imageio/DeepImageFile.h"
#include "imageio/ImageFile.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/GradingRig.h"
#include "tests/app/SavedFiles.h"

// The footage space chosen on the look panel: the preview panel shows the
// frame converted from it and graded, Save Graded Image and Create 3D LUT
// write for it as the command line does, and the choice is kept.

namespace {

class FootagePanelTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TFakeDialogs dialogs;
    std::unique_ptr<TGradingRig> rig;

    void SetUp() override { unsetenv("OCIO"); }
    void TearDown() override {
        rig.reset();
        unsetenv("OCIO");
    }
    std::string PathOf(const QString& name) const { return dir.filePath(name).toStdString(); }

    // A library with one reference, the panels, and a preview opened from a file.
    void OpenWithPreview() {
        QDir().mkpath(dir.filePath("lib"));
        SaveJpegFile(PathOf("lib/meadow.jpeg"), ColourfulPicture(150, 100));
        SaveImageFile(PathOf("frame.bmp"), ColourfulPicture(1200, 500));
        rig = std::make_unique<TGradingRig>(dir.filePath("lib"));
        dialogs.PicturesToOpen.push_back(QString::fromStdString(PathOf("frame.bmp")));
        rig->Preview().OpenClick();
    }
    QComboBox* Footage() const { return rig->Find<QComboBox>("cbxFootage"); }
    void Choose(const QString& label) {
        const int index = Footage()->findText(label);
        ASSERT_GE(index, 0) << label.toStdString();
        Footage()->setCurrentIndex(index);
        QApplication::processEvents();
    }
    TImage Converted(const TImage& picture) const {
        TImage copy = picture.Clone();
        ConvertFootageImage(*rig->Grading().Footage().Conversion(), copy);
        return copy;
    }
    // The viewer's working copy as it should be: the frame's full picture
    // resampled to the copy's size, then converted from the chosen footage.
    TImage ExpectedCopy(bool converted = true) const {
        TImage full;
        LoadImageFile(PathOf("frame.bmp"), full);
        const TImage& copy = rig->Preview().Viewer()->Source();
        TImage resized;
        ResizeImage(copy.Width(), copy.Height(), kLanczos3Filter, resized, full, 0.0f);
        if (converted && rig->Grading().Footage().Conversion()) return Converted(resized);
        return resized;
    }
    void ExpectGradedDisplay() const {
        TImage graded = rig->Preview().Viewer()->Scaled().Clone();
        rig->Grading().Lut().ApplyToImage(graded);
        EXPECT_TRUE(rig->Preview().Viewer()->Display().SamePixels(graded));
    }
};

}  // namespace

TEST_F(FootagePanelTest, ALogPreviewIsShownConvertedGradedSavedAndExportedForItsSpace) {
    OpenWithPreview();
    ASSERT_NE(Footage(), nullptr);
    EXPECT_EQ(Footage()->currentText(), "Display (Rec.709 / sRGB)");
    EXPECT_EQ(Footage()->count(), 14);  // display, 8 camera logs, 5 linear spaces
    EXPECT_EQ(rig->Grading().Footage().Conversion(), nullptr);
    EXPECT_TRUE(rig->Preview().Viewer()->Source().SamePixels(ExpectedCopy()));

    // Without a reference the converted preview is shown ungraded.
    Choose(kSlog3Cine);
    ASSERT_NE(rig->Grading().Footage().Conversion(), nullptr);
    const TImage shown = Converted(rig->Grading().Preview());
    EXPECT_FALSE(shown.SamePixels(rig->Grading().Preview()));
    EXPECT_TRUE(rig->Preview().Viewer()->Source().SamePixels(ExpectedCopy()));
    EXPECT_TRUE(rig->Preview().Viewer()->Display().SamePixels(rig->Preview().Viewer()->Scaled()));

    // A reference grades the converted copy; regrades keep working on it.
    rig->Library().List()->item(0)->setSelected(true);
    QApplication::processEvents();
    ExpectGradedDisplay();
    const int builds = rig->Grading().BuildCount();
    rig->Find<QSlider>("tbrSaturation")->setValue(140);
    EXPECT_EQ(rig->Grading().BuildCount(), builds + 1);
    EXPECT_TRUE(rig->Preview().Viewer()->Source().SamePixels(ExpectedCopy()));
    ExpectGradedDisplay();

    // Save Graded Image: the full picture converted, then graded.
    const QString target = dir.filePath("graded.jpeg");
    dialogs.FilesToSave.push_back(target);
    rig->Preview().SaveGradedClick();
    TImage expected;
    LoadImageFile(PathOf("frame.bmp"), expected);
    expected = Converted(expected);
    rig->Grading().Lut().ApplyToImage(expected);
    QFile saved(target);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll() == QByteArray::fromStdString(EncodeJpeg(expected, 100)));

    // The export dialog writes the LUT for the chosen space.
    TfrmSaveLut form(rig->Grading().LastSettings(), &rig->Host(), rig->Grading().Footage().Conversion());
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
    EXPECT_EQ(rig->Grading().Footage().Conversion(), nullptr);
    EXPECT_TRUE(rig->Preview().Viewer()->Source().SamePixels(ExpectedCopy()));
    ExpectGradedDisplay();
    EXPECT_TRUE(dialogs.Errors.isEmpty()) << dialogs.Errors.join("\n").toStdString();
}

TEST_F(FootagePanelTest, TheOcioConfigAddsItsSpacesOrSaysWhyItDoesNotLoad) {
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
    ASSERT_NE(rig->Grading().Footage().Conversion(), nullptr);
    // The config's view is the identity: the shown copy is the frame's as it is.
    EXPECT_TRUE(rig->Preview().Viewer()->Source().SamePixels(ExpectedCopy(false)));

    rig.reset();
    setenv("OCIO", PathOf("missing.ocio").c_str(), 1);
    OpenWithPreview();
    EXPECT_EQ(Footage()->count(), 14);
    EXPECT_TRUE(Footage()->toolTip().contains("does not load")) << Footage()->toolTip().toStdString();
}

namespace {

// A 16-bit TIFF of log-like values: a smooth spread of colours over the
// middle of the code range, every pixel its own colour.
void SaveLogFrame(const std::string& path, int width, int height) {
    TDeepImage frame(width, height, false);
    frame.Depth = {"tiff", TSampleKind::Integer, 16, std::string()};
    for (int y = 0; y < height; ++y) {
        float* p = frame.Row(y);
        for (int x = 0; x < width; ++x, p += 3) {
            const float u = static_cast<float>(x) / (width - 1), v = static_cast<float>(y) / (height - 1);
            p[0] = std::round((0.15f + 0.55f * u) * 65535.0f) / 65535.0f;
            p[1] = std::round((0.2f + 0.45f * v) * 65535.0f) / 65535.0f;
            p[2] = std::round((0.25f + 0.3f * u * v + 0.1f * (1 - v)) * 65535.0f) / 65535.0f;
        }
    }
    SaveDeepImageFile(path, frame, frame.Depth);
}

}  // namespace

TEST_F(FootagePanelTest, ADeepLogPreviewSavesWhatTheCommandLineGradesAndTheChoiceIsKept) {
    QDir().mkpath(dir.filePath("lib"));
    SaveJpegFile(PathOf("lib/meadow.jpeg"), ColourfulPicture(150, 100));
    SaveLogFrame(PathOf("log16.tif"), 320, 200);
    rig = std::make_unique<TGradingRig>(dir.filePath("lib"));
    auto* status = rig->Find<QLabel>("lblFootageStatus");
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->text(), "Footage: Display (Rec.709 / sRGB)");
    dialogs.PicturesToOpen.push_back(dir.filePath("log16.tif"));
    rig->Preview().OpenClick();
    Choose(kSlog3Cine);
    EXPECT_EQ(status->text(), QString("Footage: ") + kSlog3Cine);
    rig->Library().List()->item(0)->setSelected(true);
    QApplication::processEvents();

    // Save Graded Image as .tif: the 16-bit picture converted in float, then graded.
    const QString saved = dir.filePath("window.tif");
    dialogs.FilesToSave.push_back(saved);
    rig->Preview().SaveGradedClick();
    QProcess grade;
    grade.start(OMBRANE_CLI, {"grade", dir.filePath("lib/meadow.jpeg"), dir.filePath("log16.tif"), "-o",
                              dir.filePath("cli.tif"), "--footage", "slog3-sgamut3cine"});
    ASSERT_TRUE(grade.waitForFinished(60000));
    ASSERT_EQ(grade.exitCode(), 0) << grade.readAllStandardError().toStdString();
    const QByteArray fromWindow = FileBytes(saved);
    ASSERT_FALSE(fromWindow.isEmpty());
    // Byte for byte, but for the time of writing the TIFF writer stamps in.
    EXPECT_TRUE(WithoutStamp(fromWindow) == WithoutStamp(FileBytes(dir.filePath("cli.tif"))));
    // Still 16 bits, and not the look laid on the raw log values.
    const TDeepImage graded = LoadDeepImageFile(saved.toStdString());
    EXPECT_EQ(graded.Depth.Bits, 16);
    TDeepImage raw = LoadDeepImageFile(PathOf("log16.tif"));
    GradeDeepImage(rig->Grading().Lut(), raw);
    EXPECT_GT(std::fabs(raw.Row(100)[160 * 3 + 2] - graded.Row(100)[160 * 3 + 2]), 0.01f);

    // The choice is kept: new panels start with it and show it.
    rig.reset();
    rig = std::make_unique<TGradingRig>(dir.filePath("lib"));
    EXPECT_EQ(Footage()->currentText(), kSlog3Cine);
    ASSERT_NE(rig->Grading().Footage().Conversion(), nullptr);
    EXPECT_EQ(rig->Find<QLabel>("lblFootageStatus")->text(), QString("Footage: ") + kSlog3Cine);
    Choose("Display (Rec.709 / sRGB)");
    EXPECT_EQ(rig->Grading().Footage().Conversion(), nullptr);
    EXPECT_TRUE(dialogs.Errors.isEmpty()) << dialogs.Errors.join("\n").toStdString();
}

namespace {

// A half-float OpenEXR of scene-linear values: -7 to +7 stops around 0.18
// across, a tint down, so the shadows' fine steps and values beyond 1 are there.
void SaveLinearFrame(const std::string& path, int width, int height) {
    TDeepImage frame(width, height, false);
    frame.Depth = {"openexr", TSampleKind::Half, 16, std::string()};
    for (int y = 0; y < height; ++y) {
        float* p = frame.Row(y);
        for (int x = 0; x < width; ++x, p += 3) {
            const float v = 0.18f * std::exp2(14.0f * x / (width - 1) - 7.0f);
            const float tint = static_cast<float>(y) / (height - 1);
            p[0] = v * (1.0f + 0.5f * tint);
            p[1] = v;
            p[2] = v * (1.0f - 0.4f * tint);
        }
    }
    SaveDeepImageFile(path, frame, frame.Depth);
}

}  // namespace

TEST_F(FootagePanelTest, ALinearExrPreviewIsConvertedInFloatAndSavesWhatTheCommandLineGrades) {
    QDir().mkpath(dir.filePath("lib"));
    SaveJpegFile(PathOf("lib/meadow.jpeg"), ColourfulPicture(150, 100));
    SaveLinearFrame(PathOf("linear.exr"), 320, 200);
    rig = std::make_unique<TGradingRig>(dir.filePath("lib"));
    dialogs.PicturesToOpen.push_back(dir.filePath("linear.exr"));
    rig->Preview().OpenClick();
    Choose("ACEScg (linear AP1)");
    ASSERT_NE(rig->Grading().Footage().Conversion(), nullptr);

    // Shown: the file's values converted in float, not its 8-bit preview
    // (values beyond 1 clipped, shadows in a few steps) converted.
    TDeepImage picture = LoadDeepImageFile(PathOf("linear.exr"));
    ConvertFootageDeep(*rig->Grading().Footage().Conversion(), picture);
    const TImage inFloat = DeepToImage(picture);
    EXPECT_TRUE(rig->Preview().Viewer()->Source().SamePixels(inFloat));
    EXPECT_FALSE(Converted(rig->Grading().Preview()).SamePixels(inFloat));
    // Another space converts the file again.
    Choose(kSlog3Cine);
    TDeepImage log = LoadDeepImageFile(PathOf("linear.exr"));
    ConvertFootageDeep(*rig->Grading().Footage().Conversion(), log);
    EXPECT_TRUE(rig->Preview().Viewer()->Source().SamePixels(DeepToImage(log)));
    Choose("ACEScg (linear AP1)");

    // A reference grades the shown copy; Save Graded Image as .exr is the
    // command line's grade of the file.
    rig->Library().List()->item(0)->setSelected(true);
    QApplication::processEvents();
    ExpectGradedDisplay();
    const QString saved = dir.filePath("window.exr");
    dialogs.FilesToSave.push_back(saved);
    rig->Preview().SaveGradedClick();
    QProcess grade;
    grade.start(OMBRANE_CLI, {"grade", dir.filePath("lib/meadow.jpeg"), dir.filePath("linear.exr"), "-o",
                              dir.filePath("cli.exr"), "--footage", "acescg"});
    ASSERT_TRUE(grade.waitForFinished(60000));
    ASSERT_EQ(grade.exitCode(), 0) << grade.readAllStandardError().toStdString();
    const QByteArray fromWindow = FileBytes(saved);
    ASSERT_FALSE(fromWindow.isEmpty());
    // Byte for byte, but for the time of writing the writer stamps in.
    EXPECT_TRUE(WithoutStamp(fromWindow) == WithoutStamp(FileBytes(dir.filePath("cli.exr"))));
    // An 8-bit target takes the same road as the command line's.
    const QString savedJpeg = dir.filePath("window.jpg");
    dialogs.FilesToSave.push_back(savedJpeg);
    rig->Preview().SaveGradedClick();
    QProcess gradeJpeg;
    gradeJpeg.start(OMBRANE_CLI, {"grade", dir.filePath("lib/meadow.jpeg"), dir.filePath("linear.exr"), "-o",
                                  dir.filePath("cli.jpg"), "--footage", "acescg"});
    ASSERT_TRUE(gradeJpeg.waitForFinished(60000));
    ASSERT_EQ(gradeJpeg.exitCode(), 0) << gradeJpeg.readAllStandardError().toStdString();
    const QByteArray jpegFromWindow = FileBytes(savedJpeg);
    ASSERT_FALSE(jpegFromWindow.isEmpty());
    EXPECT_TRUE(jpegFromWindow == FileBytes(dir.filePath("cli.jpg")));
    EXPECT_TRUE(dialogs.Errors.isEmpty()) << dialogs.Errors.join("\n").toStdString();
}
