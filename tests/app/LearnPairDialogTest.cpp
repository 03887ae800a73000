#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <functional>
#include <memory>

#include "app/LearnPairDialog.h"
#include "app/LutSaveForm.h"
#include "app/StatusLine.h"
#include "engine/base/Error.h"
#include "engine/fit/GradedPair.h"
#include "engine/lut/LUT.h"
#include "engine/picture/DeepGrade.h"
#include "engine/picture/ImageResize.h"
#include "formats/FormatRegistry.h"
#include "formats/LutConvert.h"
#include "imageio/DeepImageFile.h"
#include "imageio/ImageFile.h"
#include "tests/app/ExportThroughDialog.h"
#include "tests/app/GradingRig.h"
#include "tests/app/NextModal.h"
#include "tests/app/SavedFiles.h"

namespace {

// A photograph (Debian's mate-backgrounds) and the same through a warm,
// contrasty look, saved as PNG.
class LearnPairDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
        TImage photo;
        LoadImageFile("/usr/share/backgrounds/mate/nature/Garden.jpg", photo);
        before = FitImage(photo, 240, 240);
        look.Kind = lkCube;
        look.CubeSize = 17;
        for (int r = 0; r < 17; ++r)
            for (int g = 0; g < 17; ++g)
                for (int b = 0; b < 17; ++b) {
                    auto curve = [](double v) { return v * v * (3.0 - 2.0 * v); };
                    look.Cube[r][g][b] = {curve(r / 16.0), curve(0.9 * g / 16.0 + 0.05), curve(0.8 * b / 16.0)};
                }
        after = before.Clone();
        look.ApplyToImage(after);
        SaveImageFile(Path("before.png"), before);
        SaveImageFile(Path("after.png"), after);
    }

    std::string Path(const char* name) const { return dir.filePath(name).toStdString(); }
    QString QPath(const char* name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    TImage before;
    TImage after;
    TLUT look;
};

double MeanOf(const TLUT& lut, const TImage& before, const TImage& after) {
    return MeasureFit(PairOfImages(before, after), lut).MeanDeltaE;
}

}  // namespace

TEST_F(LearnPairDialogTest, LearnsFromTwoSlotsAndExportsThroughTheProfiles) {
    TfrmLearnPair dialog;
    dialog.SetBefore(QPath("before.png"));
    EXPECT_EQ(dialog.LearnedLut(), nullptr);
    dialog.SetAfter(QPath("after.png"));
    ASSERT_NE(dialog.LearnedLut(), nullptr);
    EXPECT_TRUE(dialog.QualityText().startsWith("Fit: mean ΔE2000 ")) << dialog.QualityText().toStdString();
    EXPECT_LT(MeanOf(*dialog.LearnedLut(), before, after), 0.5);

    // Exported with a profile at its own size, the file holds the look.
    TfrmSaveLut save(TLookSettings{});
    save.UseLearnedLut(dialog.LearnedLut());
    auto* formats = save.findChild<QComboBox*>("cbxOutFormat");
    ASSERT_NE(formats, nullptr);
    const int davinci = formats->findText("Cube 3D Davinci", Qt::MatchStartsWith);
    ASSERT_GE(davinci, 0);
    formats->setCurrentIndex(davinci);
    save.cbxOutFormatChange();
    save.findChild<QLineEdit*>("edtLUTFile")->setText(QPath("learned.cube"));
    save.btnSaveClick();
    const auto written = ReadLutFile(Path("learned.cube"));
    EXPECT_EQ(written->CubeSize, 33);
    EXPECT_LT(MeanOf(*written, before, after), 0.5);

    // A shifted AFTER is refused and no look is left to preview.
    TImage shifted(after.Width(), after.Height());
    for (int y = 0; y < after.Height(); ++y)
        std::copy_n(after.Row(std::max(0, y - 3)), 3 * after.Width(), shifted.Row(y));
    SaveImageFile(Path("shifted.png"), shifted);
    EXPECT_THROW(dialog.SetAfter(QPath("shifted.png")), EError);
    EXPECT_EQ(dialog.LearnedLut(), nullptr);
}

TEST_F(LearnPairDialogTest, TheWindowPreviewsTheLearnedLook) {
    QDir().mkpath(dir.filePath("lib"));
    TGradingRig panels(dir.filePath("lib"));
    QAction* action = panels.Host().findChild<QAction*>("miLearnPair");
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), QString("Create Look from Graded Pair…"));

    TfrmLearnPair dialog;
    dialog.SetBefore(QPath("before.png"));
    dialog.SetAfter(QPath("after.png"));
    panels.Preview().PreviewLut(dialog.CopyLearnedLut(), "learned look");
    ASSERT_NE(panels.Grading().PreviewLut(), nullptr);
    EXPECT_LT(MeanOf(*panels.Grading().PreviewLut(), before, after), 0.5);
    EXPECT_TRUE(panels.StatusLine()->Text().contains("LUT preview: learned look"));
}

// The window and the command line learn on one road: the same pair and
// settings give the same file byte for byte, at the fit's own size, at a
// smaller size, and from pictures of more than 8 bits.
TEST_F(LearnPairDialogTest, WindowAndCommandLineWriteTheSameLut) {
    TDeepImage deepAfter = DeepFromImage(before, "tiff");
    GradeDeepImage(look, deepAfter);
    const TPictureDepth sixteen{"tiff", TSampleKind::Integer, 16, ""};
    SaveDeepImageFile(Path("before16.tif"), DeepFromImage(before, "tiff"), sixteen);
    SaveDeepImageFile(Path("after16.tif"), deepAfter, sixteen);

    struct TCase {
        const char* Before;
        const char* After;
        int Size;
    };
    for (const TCase& pair : {TCase{"before.png", "after.png", 33}, TCase{"before.png", "after.png", 17},
                              TCase{"before16.tif", "after16.tif", 33}}) {
        SCOPED_TRACE(std::string(pair.After) + " at " + std::to_string(pair.Size));
        TfrmLearnPair dialog;
        dialog.SetBefore(QPath(pair.Before));
        dialog.SetAfter(QPath(pair.After));
        ASSERT_NE(dialog.LearnedLut(), nullptr);
        const QString windowFile = QPath("window.cube");
        QFile::remove(windowFile);
        ExportThroughDialog(dialog, "Cube 3D Davinci", pair.Size, windowFile);

        const QString cliFile = QPath("cli.cube");
        QProcess cli;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        cli.setProcessEnvironment(environment);
        cli.start(OMBRANE_CLI, {"learn", QPath(pair.Before), QPath(pair.After), "-o", cliFile, "--profile",
                                "Cube 3D Davinci", "--size", QString::number(pair.Size)});
        ASSERT_TRUE(cli.waitForFinished(60000));
        ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();

        const QByteArray written = FileBytes(windowFile);
        ASSERT_FALSE(written.isEmpty());
        EXPECT_TRUE(written == FileBytes(cliFile));
        EXPECT_EQ(ReadLutFile(windowFile.toStdString())->CubeSize, pair.Size);
    }
}

// "Preview" closes the dialog; opened again from the preview panel it still
// holds the pair and its look, and previews it again.
TEST_F(LearnPairDialogTest, ThePairStaysForTheNextOpening) {
    QDir().mkpath(dir.filePath("lib"));
    TGradingRig panels(dir.filePath("lib"));
    QAction* action = panels.Host().findChild<QAction*>("miLearnPair");
    ASSERT_NE(action, nullptr);
    OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<TfrmLearnPair*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->SetBefore(QPath("before.png"));
        dialog->SetAfter(QPath("after.png"));
        dialog->btnPreviewClick();
    });
    action->trigger();
    ASSERT_NE(panels.Grading().PreviewLut(), nullptr);
    EXPECT_LT(MeanOf(*panels.Grading().PreviewLut(), before, after), 0.5);

    bool held = false;
    OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<TfrmLearnPair*>(modal);
        ASSERT_NE(dialog, nullptr);
        held = dialog->BeforeFile() == QPath("before.png") && dialog->AfterFile() == QPath("after.png") &&
               dialog->LearnedLut() != nullptr && dialog->QualityText().startsWith("Fit: mean ΔE2000 ");
        dialog->btnPreviewClick();
    });
    action->trigger();
    EXPECT_TRUE(held);
    ASSERT_NE(panels.Grading().PreviewLut(), nullptr);
    EXPECT_LT(MeanOf(*panels.Grading().PreviewLut(), before, after), 0.5);
}
