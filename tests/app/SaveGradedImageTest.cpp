#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QProcess>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/MainForm.h"
#include "engine/base/Error.h"
#include "engine/lut/LUT.h"
#include "imageio/DeepImageFile.h"
#include "imageio/ImageFile.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/GradingRig.h"
#include "tests/app/SavedFiles.h"
#include "tests/support/CarriedClips.h"
#include "tests/support/ClipMaking.h"

// "Save Graded Image" of the preview panel: the name's extension chooses the
// writer, the file is what the command line writes for the same reference
// and settings, a clip frame of more than 8 bits is offered its depth, and
// there is nothing to save before a frame is shown. The last test builds the
// whole window, since it checks that Ctrl+S reaches the panel's action there.

namespace {

class SaveGradedImageTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TFakeDialogs dialogs;
    std::unique_ptr<TGradingRig> panels;
    // The whole window, in place of the panels, for the test of its key.
    std::unique_ptr<TfrmMain> window;

    QString Path(const QString& name) const { return dir.filePath(name); }
    QString Reference() const { return Path("lib/meadow.jpeg"); }

    void SetUp() override {
        QDir().mkpath(Path("lib"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Path("config"));
        SaveJpegFile(Reference().toStdString(), ColourfulPicture(150, 100));
        panels = std::make_unique<TGradingRig>(Path("lib"));
    }
    void TearDown() override {
        window.reset();
        panels.reset();
    }
    void OpenWindow() {
        panels.reset();
        window = std::make_unique<TfrmMain>(Path("lib").toStdString());
        window->show();
        QApplication::processEvents();
    }
    TPreviewPanel& Preview() const { return window ? window->Preview() : panels->Preview(); }
    TLibraryPanel& Library() const { return window ? window->Library() : panels->Library(); }

    void OpenPreview(const QString& file) {
        dialogs.PicturesToOpen.push_back(file);
        Preview().OpenClick();
    }
    void ChooseMeadow() {
        const auto found = Library().List()->findItems("meadow", Qt::MatchExactly);
        ASSERT_FALSE(found.isEmpty());
        found.first()->setSelected(true);
    }
    QString SaveAs(const QString& name) {
        dialogs.FilesToSave.push_back(Path(name));
        Preview().SaveGradedClick();
        return Path(name);
    }
    // The command line's grade of the same frame with the same reference.
    QString CliGrade(const QString& frame, const QString& name, const QStringList& options = {}) {
        QProcess cli;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", Path("config"));
        cli.setProcessEnvironment(environment);
        cli.start(OMBRANE_CLI, QStringList{"grade", Reference(), frame, "-o", Path(name)} + options);
        EXPECT_TRUE(cli.waitForFinished(60000));
        EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
        return Path(name);
    }
    // What ImageMagick's identify takes the file for: "PNG 8", "TIFF 16", ...
    static std::string Identify(const QString& file) {
        return RunCommand("identify -format '%m %z' '" + file.toStdString() + "' 2>&1");
    }
    bool SameFiles(const QString& a, const QString& b) const {
        const QByteArray first = FileBytes(a), second = FileBytes(b);
        if (first.isEmpty()) return false;
        if (a.endsWith(".tif")) return WithoutStamp(first) == WithoutStamp(second);
        return first == second;
    }
};

}  // namespace

TEST_F(SaveGradedImageTest, TheExtensionChoosesTheWriterAsOnTheCommandLine) {
    SaveJpegFile(Path("frame.jpg").toStdString(), ColourfulPicture(640, 400));
    OpenPreview(Path("frame.jpg"));
    ChooseMeadow();
    panels->Host().findChild<QSlider*>("tbrSaturation")->setValue(140);

    const struct {
        const char* Name;
        const char* Identified;
        const char* Start;  // the file's first bytes
    } cases[] = {{"window.png", "PNG 8", "\x89PNG"},
                 {"window.tif", "TIFF 16", "II*"},
                 {"window.bmp", "BMP3 8", "BM"},
                 {"window.jpg", "JPEG 8", "\xff\xd8\xff"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString saved = SaveAs(c.Name);
        EXPECT_TRUE(FileBytes(saved).startsWith(c.Start));
        EXPECT_EQ(Identify(saved), c.Identified);
        const QString cli =
            CliGrade(Path("frame.jpg"), QString("cli.") + QFileInfo(saved).suffix(), {"--saturation", "140"});
        EXPECT_TRUE(SameFiles(saved, cli));
    }
    // The dialog lists every type written, JPEG first and suggested.
    EXPECT_TRUE(dialogs.LastSaveFilter.startsWith("Jpeg Files|*.jpg; *.jpeg|")) << dialogs.LastSaveFilter.toStdString();
    for (const char* pattern : {"*.png", "*.bmp", "*.tif", "*.exr", "*.dpx"})
        EXPECT_TRUE(dialogs.LastSaveFilter.contains(pattern)) << pattern;
    EXPECT_TRUE(dialogs.LastSaveFilter.endsWith("|All Files|*.*"));
    EXPECT_EQ(QFileInfo(dialogs.LastStart).fileName(), "frame - meadow.jpeg");

    // A name no writer takes is refused, naming it; nothing is written.
    try {
        SaveAs("window.xyz");
        ADD_FAILURE() << "an unknown extension was written";
    } catch (const EError& error) {
        EXPECT_NE(std::string(error.what()).find(Path("window.xyz").toStdString()), std::string::npos);
    }
    EXPECT_FALSE(QFileInfo::exists(Path("window.xyz")));
}

TEST_F(SaveGradedImageTest, APastedPictureIsWrittenAsItsNameSays) {
    QImage picture(300, 200, QImage::Format_RGB32);
    picture.fill(QColor(200, 120, 40));
    QGuiApplication::clipboard()->setImage(picture);
    Preview().PasteClick();
    ChooseMeadow();
    const QString saved = SaveAs("pasted.png");
    EXPECT_EQ(Identify(saved), "PNG 8");
    TImage expected = FlatPicture(300, 200, 40, 120, 200);
    panels->Grading().Lut().ApplyToImage(expected);
    TImage written;
    LoadImageFile(saved.toStdString(), written);
    EXPECT_TRUE(written.SamePixels(expected));
    QGuiApplication::clipboard()->clear();
}

TEST_F(SaveGradedImageTest, ATenBitClipFrameIsOfferedItsDepth) {
    const QString clip = Path("clip.mov");
    ASSERT_TRUE(MakeClip(clip.toStdString(), 320, 180, 3, "-c:v prores_ks -profile:v 2 -pix_fmt yuv422p10le"));
    OpenPreview(clip);
    ChooseMeadow();
    const QString tiff = SaveAs("window.tif");
    // 16-bit TIFF and PNG first, as a deep preview is offered its own format.
    EXPECT_TRUE(dialogs.LastSaveFilter.startsWith("the clip frame at 16 bits|*.tif;*.tiff;*.png|Jpeg Files|"))
        << dialogs.LastSaveFilter.toStdString();
    EXPECT_EQ(QFileInfo(dialogs.LastStart).fileName(), "clip - meadow.tif");
    EXPECT_EQ(Identify(tiff), "TIFF 16");
    EXPECT_EQ(LoadDeepImageFile(tiff.toStdString()).Depth.Bits, 16);
    EXPECT_TRUE(SameFiles(tiff, CliGrade(clip, "cli.tif")));
    const QString png = SaveAs("window.png");
    EXPECT_EQ(Identify(png), "PNG 16");
    EXPECT_TRUE(SameFiles(png, CliGrade(clip, "cli.png")));
    // An 8-bit clip is offered JPEG first, as a picture is.
    const QString eightBit = Path("eight.mp4");
    ASSERT_TRUE(MakeClip(eightBit.toStdString(), 320, 180, 3, "-c:v libx264 -pix_fmt yuv420p"));
    OpenPreview(eightBit);
    EXPECT_TRUE(SameFiles(SaveAs("eight.png"), CliGrade(eightBit, "cli-eight.png")));
    EXPECT_TRUE(dialogs.LastSaveFilter.startsWith("Jpeg Files|")) << dialogs.LastSaveFilter.toStdString();
}

// A frame of a clip with alpha saved as PNG keeps its alpha, as the
// command line's grade writes it.
TEST_F(SaveGradedImageTest, AClipFrameKeepsItsAlpha) {
    const QString clip = Path("matte.mov");
    ASSERT_TRUE(MakeAlphaClip(clip.toStdString(), 64, 48, 2, "argb", "-c:v qtrle"));
    OpenPreview(clip);
    ChooseMeadow();
    const QString png = SaveAs("window.png");
    EXPECT_EQ(Identify(png), "PNG 8");
    std::vector<std::uint16_t> first = FfmpegAlphaPlanes(clip.toStdString());
    ASSERT_EQ(first.size(), 2u * 64 * 48);
    first.resize(64 * 48);
    EXPECT_EQ(FfmpegAlphaPlanes(png.toStdString()), first);
    EXPECT_TRUE(SameFiles(png, CliGrade(clip, "cli.png")));
}

TEST_F(SaveGradedImageTest, NothingToSaveBeforeAFrameIsShown) {
    OpenWindow();
    auto* save = window->findChild<QAction*>("miSaveGradedImage");
    ASSERT_NE(save, nullptr);
    ChooseMeadow();
    EXPECT_FALSE(save->isEnabled());
    // Neither the menu item nor its key does anything.
    save->trigger();
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(dialogs.SaveDialogs, 0);
    EXPECT_TRUE(dialogs.Errors.isEmpty());

    SaveJpegFile(Path("frame.jpg").toStdString(), ColourfulPicture(320, 200));
    OpenPreview(Path("frame.jpg"));
    EXPECT_TRUE(save->isEnabled());
    dialogs.FilesToSave.push_back(Path("keys.jpg"));
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(dialogs.SaveDialogs, 1);
    EXPECT_TRUE(QFileInfo::exists(Path("keys.jpg")));
}
