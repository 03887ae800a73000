#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "engine/base/Error.h"
#include "engine/colour/ColorSpace.h"
#include "engine/look/LookControls.h"
#include "engine/look/LookTransfer.h"
#include "engine/lut/LUT.h"
#include "engine/picture/DeepGrade.h"
#include "engine/picture/ImageResize.h"
#include "engine/picture/Thumbnail.h"
#include "imageio/DeepImageFile.h"
#include "imageio/ImageFile.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/GradingRig.h"
#include "tests/app/LibraryFolders.h"
#include "tests/app/LookPanelNames.h"
#include "tests/app/SavedFiles.h"

// The preview panel with the look panel and the library over a grading
// session: opening, pasting and saving the frame, its grade as the controls
// move, and Show Original.

namespace {

class PreviewGradeTest : public TLibraryFoldersTest {
protected:
    TFakeDialogs dialogs;
    std::unique_ptr<TGradingRig> rig;

    void TearDown() override { rig.reset(); }

    void Open() { rig = std::make_unique<TGradingRig>(Lib()); }

    template <typename T>
    T* Find(const char* name) const {
        T* child = rig->Find<T>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QSlider* Bar(const char* name) const { return Find<QSlider>(name); }
    QString LabelText(const char* name) const { return Find<QLabel>(name)->text(); }

    void Select(const QString& caption) {
        const auto found = rig->Library().List()->findItems(caption, Qt::MatchExactly);
        ASSERT_FALSE(found.isEmpty()) << caption.toStdString();
        found.first()->setSelected(true);
    }

    // A library with one reference picture and a preview opened from a file.
    void PrepareGrading(int previewWidth = 800, int previewHeight = 400) {
        SaveJpegFile(LibPath("meadow.jpeg"), ColourfulPicture(150, 100));
        SaveImageFile(PicturePath("frame.bmp"), ColourfulPicture(previewWidth, previewHeight));
        Open();
        dialogs.PicturesToOpen.push_back(QString::fromStdString(PicturePath("frame.bmp")));
        rig->Preview().OpenClick();
    }

    // The look rebuilt independently of the panels from a library file.
    std::unique_ptr<TLUT> ExpectedLut(const std::string& libraryFile, const TLookPositions& positions) {
        TImage picture;
        LoadImageFile(libraryFile, picture);
        const TImage cell = MakeThumbnailCell(picture);
        TColorStats stats;
        ComputeColorStats(cell, stats);
        const TLookSettings settings = MakeLookSettings(stats, positions);
        auto lut = std::make_unique<TLUT>();
        lut->Kind = lkCube;
        lut->CubeSize = 33;
        BuildLookCube(settings, settings.Factors, *lut);
        return lut;
    }

    void Screenshot(const char* name) {
        QDir().mkpath(SCREENSHOT_DIR);
        QApplication::processEvents();
        EXPECT_TRUE(rig->Host().grab().save(QString(SCREENSHOT_DIR) + "/" + name));
    }
};

}  // namespace

TEST_F(PreviewGradeTest, OpeningFitsThePreviewAndKeepsTheLook) {
    SaveJpegFile(LibPath("meadow.jpeg"), ColourfulPicture(150, 100));
    SaveImageFile(PicturePath("wide.bmp"), ColourfulPicture(4000, 1000));
    SaveImageFile(PicturePath("small.bmp"), ColourfulPicture(800, 400));
    Open();

    dialogs.PicturesToOpen.push_back(QString::fromStdString(PicturePath("wide.bmp")));
    rig->Preview().OpenClick();
    EXPECT_EQ(rig->Grading().Preview().Width(), 1000);
    EXPECT_EQ(rig->Grading().Preview().Height(), 250);
    EXPECT_EQ(rig->Grading().PreviewFile(), PicturePath("wide.bmp"));
    EXPECT_TRUE(rig->Preview().Viewer()->HasImage());

    Select("meadow");
    EXPECT_TRUE(rig->Grading().LookBuilt());
    dialogs.PicturesToOpen.push_back(QString::fromStdString(PicturePath("small.bmp")));
    rig->Preview().OpenClick();
    // The chosen reference stays and grades the new preview at once.
    ASSERT_EQ(rig->Library().List()->selectedItems().size(), 1);
    EXPECT_EQ(rig->Library().List()->selectedItems().first()->text(), "meadow");
    EXPECT_TRUE(rig->Grading().Preview().SamePixels(ColourfulPicture(800, 400)));
    TImage graded = rig->Preview().Viewer()->Scaled().Clone();
    rig->Grading().Lut().ApplyToImage(graded);
    EXPECT_TRUE(rig->Preview().Viewer()->Display().SamePixels(graded));
    EXPECT_FALSE(graded.SamePixels(rig->Preview().Viewer()->Scaled()));
    // The buttons stay enabled once a look was built.
    EXPECT_TRUE(Find<QToolButton>("sbnCreateLUT")->isEnabled());
    EXPECT_TRUE(Find<QToolButton>("sbnShowOriginal")->isEnabled());

    // A preview that fails to load changes nothing.
    Select("meadow");
    QFile bad(Pictures() + "/bad.jpg");
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("garbage");
    bad.close();
    dialogs.PicturesToOpen.push_back(QString::fromStdString(PicturePath("bad.jpg")));
    EXPECT_THROW(rig->Preview().OpenClick(), EError);
    EXPECT_EQ(rig->Grading().PreviewFile(), PicturePath("small.bmp"));
    EXPECT_EQ(rig->Library().List()->selectedItems().size(), 1);
    EXPECT_EQ(rig->Grading().Preview().Width(), 800);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // Cancelling the dialog changes nothing either.
    rig->Preview().OpenClick();
    EXPECT_EQ(rig->Library().List()->selectedItems().size(), 1);
}

TEST_F(PreviewGradeTest, ControlsRegradeThroughOneHandler) {
    Open();
    SaveJpegFile(LibPath("meadow.jpeg"), ColourfulPicture(150, 100));
    // Without a preview a slider only changes its label.
    Bar("tbrYellow")->setValue(150);
    EXPECT_EQ(LabelText("lblSatYellow"), "150%");
    EXPECT_EQ(rig->Grading().BuildCount(), 0);
    EXPECT_FALSE(rig->Grading().LookBuilt());
    Bar("tbrYellow")->setValue(100);

    rig.reset();
    PrepareGrading();
    EXPECT_EQ(rig->Grading().BuildCount(), 0);  // no reference selected yet
    Select("meadow");
    EXPECT_EQ(rig->Grading().BuildCount(), 1);

    // The screen shows the preview graded with the look of the reference.
    const auto expected = ExpectedLut(LibPath("meadow.jpeg"), TLookPositions{});
    TImage graded = rig->Preview().Viewer()->Scaled().Clone();
    expected->ApplyToImage(graded);
    EXPECT_TRUE(rig->Preview().Viewer()->Display().SamePixels(graded));
    EXPECT_FALSE(rig->Preview().Viewer()->Display().SamePixels(rig->Preview().Viewer()->Scaled()));

    // Color Gain 0 and 200.
    Bar("tbrColorGain")->setValue(0);
    EXPECT_EQ(rig->Grading().LastSettings().Gain, 0.0);
    EXPECT_EQ(LabelText("lblColorGain"), "0%");
    Bar("tbrColorGain")->setValue(200);
    EXPECT_EQ(rig->Grading().LastSettings().Gain, 5.0 / 200);
    EXPECT_EQ(LabelText("lblColorGain"), "200%");

    // Every control reaches the settings.
    Find<QCheckBox>("CheckBox1")->setChecked(true);
    EXPECT_TRUE(rig->Grading().LastSettings().CompressSaturation);
    Find<QCheckBox>("cbxLevels")->setChecked(false);
    EXPECT_FALSE(rig->Grading().LastSettings().AdvancedAnalysis);
    Bar("tbrHi")->setValue(30);
    EXPECT_EQ(rig->Grading().LastSettings().Factors.High, 0.3f);
    EXPECT_EQ(LabelText("lblSatHi"), "30%");

    // Saturation defaults with all ten moved: exactly one rebuild.
    for (const char* name : kSaturationBars) Bar(name)->setValue(170);
    const int before = rig->Grading().BuildCount();
    Find<QPushButton>("sbnDefaults")->click();
    EXPECT_EQ(rig->Grading().BuildCount(), before + 1);
    for (const char* name : kPercentLabels) {
        if (std::string(name) != "lblColorGain") {
            EXPECT_EQ(LabelText(name), "100%") << name;
        }
    }
    EXPECT_EQ(rig->Grading().LastSettings().Factors.Overall, 1.0f);

    // General defaults: gain back to 100 and the analysis checked; two
    // changes, two rebuilds; Compress Saturation keeps its state.
    const int beforeGeneral = rig->Grading().BuildCount();
    Find<QPushButton>("sbnGeneralDefaults")->click();
    EXPECT_EQ(rig->Grading().BuildCount(), beforeGeneral + 2);
    EXPECT_EQ(rig->Grading().LastSettings().Gain, 0.05);
    EXPECT_TRUE(rig->Grading().LastSettings().AdvancedAnalysis);
    EXPECT_TRUE(Find<QCheckBox>("CheckBox1")->isChecked());

    // Back at the defaults apart from Compress Saturation: the screen matches.
    TLookPositions positions;
    positions.CompressSaturation = true;
    const auto again = ExpectedLut(LibPath("meadow.jpeg"), positions);
    graded = rig->Preview().Viewer()->Scaled().Clone();
    again->ApplyToImage(graded);
    EXPECT_TRUE(rig->Preview().Viewer()->Display().SamePixels(graded));

    // With nothing selected a control change shows the ungraded preview.
    rig->Library().List()->clearSelection();
    const int unselected = rig->Grading().BuildCount();
    Bar("tbrRed")->setValue(120);
    EXPECT_EQ(rig->Grading().BuildCount(), unselected);
    EXPECT_TRUE(rig->Preview().Viewer()->Display().SamePixels(rig->Preview().Viewer()->Scaled()));
}

TEST_F(PreviewGradeTest, ShowOriginalAndResizeKeepTheGradeRight) {
    PrepareGrading();
    auto* original = Find<QToolButton>("sbnShowOriginal");
    Select("meadow");
    ASSERT_TRUE(original->isEnabled());
    TImage graded = rig->Preview().Viewer()->Display().Clone();

    original->click();
    EXPECT_TRUE(original->isChecked());
    EXPECT_TRUE(rig->Preview().Viewer()->Display().SamePixels(rig->Preview().Viewer()->Scaled()));
    original->click();
    EXPECT_FALSE(original->isChecked());
    EXPECT_TRUE(rig->Preview().Viewer()->Display().SamePixels(graded));

    // A regrade releases the button.
    original->click();
    Bar("tbrGreen")->setValue(90);
    EXPECT_FALSE(original->isChecked());
    EXPECT_FALSE(rig->Preview().Viewer()->Display().SamePixels(rig->Preview().Viewer()->Scaled()));

    // Growing the viewer's window gives it a larger working copy once the
    // size settles, and brings the grade back on it.
    rig->Host().resize(1100, 900);
    QApplication::processEvents();
    EXPECT_TRUE(QTest::qWaitFor([&] { return rig->Preview().Viewer()->Scaled().Width() != graded.Width(); }));
    const TImage& scaled = rig->Preview().Viewer()->Scaled();
    EXPECT_NE(scaled.Width(), graded.Width());
    TImage expected = scaled.Clone();
    rig->Grading().Lut().ApplyToImage(expected);
    EXPECT_TRUE(rig->Preview().Viewer()->Display().SamePixels(expected));

    // Closing the library's dock, which gives the viewer its height, does the same.
    const int viewerHeight = rig->Preview().Viewer()->height();
    rig->Find<QDockWidget>("dckLibrary")->close();
    QApplication::processEvents();
    EXPECT_GT(rig->Preview().Viewer()->height(), viewerHeight);
    expected = rig->Preview().Viewer()->Scaled().Clone();
    rig->Grading().Lut().ApplyToImage(expected);
    EXPECT_TRUE(rig->Preview().Viewer()->Display().SamePixels(expected));
    Screenshot("preview_graded.png");

    // While the ungraded preview is asked for, a resize keeps it ungraded.
    original->click();
    ASSERT_TRUE(original->isChecked());
    rig->Host().resize(1000, 800);
    QApplication::processEvents();
    EXPECT_TRUE(rig->Preview().Viewer()->Display().SamePixels(rig->Preview().Viewer()->Scaled()));
}

TEST_F(PreviewGradeTest, SavingGradesTheFullResolutionFile) {
    SaveJpegFile(LibPath("meadow.jpeg"), ColourfulPicture(150, 100));
    SaveJpegFile(PicturePath("large.jpg"), ColourfulPicture(2400, 1600));
    Open();
    const QString target = dir.filePath("graded.jpeg");

    // No reference selected: nothing happens, nothing is asked.
    rig->Preview().SaveGradedClick();
    EXPECT_EQ(dialogs.SaveDialogs, 0);
    // A reference but no preview: refused with the prompt.
    Select("meadow");
    try {
        rig->Preview().SaveGradedClick();
        ADD_FAILURE() << "saving without a preview was not refused";
    } catch (const EError& error) {
        EXPECT_STREQ(error.what(), "Please open a preview image.");
    }
    EXPECT_EQ(dialogs.SaveDialogs, 0);

    dialogs.PicturesToOpen.push_back(QString::fromStdString(PicturePath("large.jpg")));
    rig->Preview().OpenClick();
    EXPECT_EQ(rig->Grading().Preview().Width(), 750);
    // Opening keeps the chosen reference: the new picture is graded at once.
    EXPECT_EQ(rig->Grading().Reference().toStdString(), "meadow.jpeg");

    Select("meadow");
    Bar("tbrSaturation")->setValue(140);
    dialogs.FilesToSave.push_back(target);
    rig->Preview().SaveGradedClick();
    EXPECT_EQ(dialogs.SaveDialogs, 1);

    TLookPositions positions;
    positions.Saturation = 140;
    const auto lut = ExpectedLut(LibPath("meadow.jpeg"), positions);
    TImage expected;
    LoadImageFile(PicturePath("large.jpg"), expected);
    lut->ApplyToImage(expected);
    const std::string expectedBytes = EncodeJpeg(expected, 100);
    const QByteArray saved = FileBytes(target);
    EXPECT_EQ(saved.size(), static_cast<qsizetype>(expectedBytes.size()));
    EXPECT_TRUE(saved == QByteArray::fromStdString(expectedBytes));
    TImage reloaded;
    LoadImageFile(target.toStdString(), reloaded);
    EXPECT_EQ(reloaded.Width(), 2400);
    EXPECT_EQ(reloaded.Height(), 1600);

    // Cancelling the save dialog writes nothing.
    QFile::remove(target);
    rig->Preview().SaveGradedClick();
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(PreviewGradeTest, DeepPreviewSavesAtItsOwnDepth) {
    SaveJpegFile(LibPath("meadow.jpeg"), ColourfulPicture(150, 100));
    // A 16-bit TIFF whose values lie between the 8-bit levels.
    TDeepImage frame(1200, 300, false);
    for (int y = 0; y < frame.Height(); ++y)
        for (int x = 0; x < frame.Width(); ++x) {
            float* p = frame.Row(y) + 3 * x;
            p[0] = static_cast<float>(x) / 1199.0f;
            p[1] = static_cast<float>(y) / 299.0f;
            p[2] = 0.3f;
        }
    const std::string tiff = PicturePath("frame.tif");
    SaveDeepImageFile(tiff, frame, {"tiff", TSampleKind::Integer, 16, ""});
    Open();
    dialogs.PicturesToOpen.push_back(QString::fromStdString(tiff));
    rig->Preview().OpenClick();
    // Shown through the 8-bit road: the rounded picture, fitted.
    EXPECT_EQ(rig->Grading().Preview().Width(), 1000);
    const TDeepImage loaded = LoadDeepImageFile(tiff);
    EXPECT_TRUE(rig->Grading().Preview().SamePixels(FitImage(DeepToImage(loaded), 1000, 500)));

    Select("meadow");
    const QString target = dir.filePath("graded.tif");
    dialogs.FilesToSave.push_back(target);
    rig->Preview().SaveGradedClick();
    // The dialog offers the frame's own format first and suggests the
    // frame's and the look's names with its extension.
    EXPECT_TRUE(dialogs.LastSaveFilter.startsWith("the preview's own format and depth|*.tif|Jpeg Files|"));
    EXPECT_EQ(QFileInfo(dialogs.LastStart).fileName(), "frame - meadow.tif");
    EXPECT_TRUE(rig->Host().statusBar()->currentMessage().contains(QDir::toNativeSeparators(target)));
    TDeepImage expected = LoadDeepImageFile(tiff);
    GradeDeepImage(*ExpectedLut(LibPath("meadow.jpeg"), TLookPositions{}), expected);
    const TDeepImage saved = LoadDeepImageFile(target.toStdString());
    EXPECT_EQ(saved.Depth.Bits, 16);
    ASSERT_EQ(saved.Width(), 1200);
    double worst = 0;
    for (int y = 0; y < saved.Height(); ++y)
        for (int i = 0; i < 3 * saved.Width(); ++i)
            worst = std::max(worst, std::fabs(double(saved.Row(y)[i]) - expected.Row(y)[i]));
    EXPECT_LE(worst, 0.5 / 65535 + 1e-7);

    // JPEG too is graded at full precision, as the command line grades it,
    // and only then rounded to 8 bits.
    const QString jpeg = dir.filePath("graded.jpg");
    dialogs.FilesToSave.push_back(jpeg);
    rig->Preview().SaveGradedClick();
    TDeepImage graded = LoadDeepImageFile(tiff);
    GradeDeepImage(rig->Grading().Lut(), graded);
    EXPECT_TRUE(FileBytes(jpeg) == QByteArray::fromStdString(EncodeJpeg(DeepToImage(graded), 100)));
}

TEST_F(PreviewGradeTest, PastingKeepsTheFullSize) {
    SaveJpegFile(LibPath("meadow.jpeg"), ColourfulPicture(150, 100));
    Open();
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    rig->Preview().MenuPopup();
    EXPECT_FALSE(Find<QAction>("miPaste")->isEnabled());
    rig->Preview().PasteClick();
    EXPECT_FALSE(rig->Preview().Viewer()->HasImage());

    QImage picture(1800, 1200, QImage::Format_RGB32);
    picture.fill(QColor(200, 120, 40));
    clipboard->setImage(picture);
    rig->Preview().MenuPopup();
    EXPECT_TRUE(Find<QAction>("miPaste")->isEnabled());
    Select("meadow");
    rig->Preview().PasteClick();
    EXPECT_EQ(rig->Grading().Preview().Width(), 1800);
    EXPECT_EQ(rig->Grading().Preview().Height(), 1200);
    EXPECT_TRUE(rig->Grading().Preview().SamePixels(FlatPicture(1800, 1200, 40, 120, 200)));
    EXPECT_TRUE(rig->Grading().PreviewFile().empty());
    // The reference stays chosen and grades the pasted picture.
    ASSERT_EQ(rig->Library().List()->selectedItems().size(), 1);
    EXPECT_EQ(rig->Library().List()->selectedItems().first()->text(), "meadow");
    TImage pastedGraded = rig->Preview().Viewer()->Scaled().Clone();
    rig->Grading().Lut().ApplyToImage(pastedGraded);
    EXPECT_TRUE(rig->Preview().Viewer()->Display().SamePixels(pastedGraded));

    // Saved at the pasted size.
    Select("meadow");
    const QString target = dir.filePath("pasted.jpg");
    dialogs.FilesToSave.push_back(target);
    rig->Preview().SaveGradedClick();
    TImage saved;
    LoadImageFile(target.toStdString(), saved);
    EXPECT_EQ(saved.Width(), 1800);
    EXPECT_EQ(saved.Height(), 1200);
    clipboard->clear();
}
