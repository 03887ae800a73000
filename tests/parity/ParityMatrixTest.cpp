#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QProcess>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "app/Application.h"
#include "app/LearnPairDialog.h"
#include "app/LutSaveForm.h"
#include "app/MainForm.h"
#include "imageio/ImageFile.h"
#include "tests/app/ExportThroughDialog.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/NextModal.h"
#include "tests/app/SavedFiles.h"
#include "tests/support/ClipMaking.h"

// The parity matrix: every kind of input the window opens, and every file
// it writes from it (Save Graded Image, Create 3D LUT, a learned look's
// Export LUT...), driven through the window's own widgets, against what
// ombrane-cli writes for the same reference, controls and footage. One
// window serves every case; the pictures are small.

namespace {

constexpr const char* kDisplay = "Display (Rec.709 / sRGB)";
constexpr const char* kProfile = "Cube 3D Davinci";

// One kind of input: the file the window opens (a numbered file of a run
// for a sequence), what the command line names, the footage and the frame.
struct TInputKind {
    const char* Name;
    const char* Opened;
    const char* Graded;       // the command line's input
    const char* Footage;      // the window's footage entry
    const char* FootageName;  // the command line's --footage, or ""
    bool Stepped;             // a clip or sequence, shown at its last frame
    const char* Learned;      // the pair's BEFORE, or "" when the kind is not learned from
};

const TInputKind kInputs[] = {
    {"Jpeg8", "frame.jpg", "frame.jpg", kDisplay, "", false, "frame.jpg"},
    {"Png", "frame.png", "frame.png", kDisplay, "", false, "frame.png"},
    {"Tiff16", "frame16.tif", "frame16.tif", kDisplay, "", false, "frame16.tif"},
    {"LinearExr", "linear.exr", "linear.exr", "ACEScg (linear AP1)", "acescg", false, "linear.exr"},
    {"IccJpeg", "adobe.jpg", "adobe.jpg", kDisplay, "", false, "adobe.jpg"},
    {"ClipFrame", "clip.mp4", "clip.mp4", kDisplay, "", true, "clip.mp4"},
    {"SequenceFrame", "shot_0001.png", "shot_%04d.png", kDisplay, "", true, "shot_0001.png"},
};

// The extensions every input is saved as by Save Graded Image, and a
// picture's own (the window writes a clip's frame, never a clip).
QStringList SavedAs(const TInputKind& input) {
    QStringList extensions = {"jpg", "png", "tif"};
    const QString own = QFileInfo(input.Opened).suffix();
    if (!input.Stepped && !extensions.contains(own)) extensions << own;
    return extensions;
}

class ParityMatrixTest : public ::testing::TestWithParam<TInputKind> {
protected:
    static inline std::unique_ptr<QTemporaryDir> dir;
    static inline std::unique_ptr<TFakeDialogs> dialogs;
    static inline std::unique_ptr<TfrmMain> window;

    static QString Path(const QString& name) { return dir->filePath(name); }
    static std::string StdPath(const QString& name) { return Path(name).toStdString(); }

    static void Shell(const std::string& command) {
        int status = -1;
        const std::string out = RunCommand(command + " 2>&1", &status);
        ASSERT_EQ(status, 0) << command << "\n" << out;
    }

    // The inputs, made by the peers where the picture's kind asks for them.
    static void MakeInputs() {
        const std::string photo = StdPath("photo.png");
        Shell("convert " + std::string(kClipPhoto) + " -resize '96x64!' '" + photo + "'");
        Shell("convert '" + photo + "' -quality 92 '" + StdPath("frame.jpg") + "'");
        Shell("cp '" + photo + "' '" + StdPath("frame.png") + "'");
        Shell("convert '" + photo + "' -depth 16 -evaluate multiply 0.93 '" + StdPath("frame16.tif") + "'");
        Shell("oiiotool '" + photo + "' --colorconvert sRGB linear --mulc 1.6 -d half -o '" + StdPath("linear.exr") +
              "'");
        Shell("convert '" + photo + "' -profile /usr/share/color/icc/colord/AdobeRGB1998.icc '" + StdPath("adobe.jpg") +
              "'");
        ASSERT_TRUE(MakeClip(StdPath("clip.mp4"), 96, 64, 3, "-c:v libx264 -pix_fmt yuv420p"));
        for (int i = 1; i <= 3; ++i)
            Shell("convert '" + photo + "' -roll +" + std::to_string(7 * i) + "+0 '" +
                  StdPath(QString("shot_%1.png").arg(i, 4, 10, QChar('0'))) + "'");
    }

    static void SetUpTestSuite() {
        dir = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(dir->isValid());
        QDir().mkpath(Path("lib"));
        SaveJpegFile(StdPath("lib/meadow.jpeg"), ColourfulPicture(150, 100));
        MakeInputs();
        dialogs = std::make_unique<TFakeDialogs>();
        window = std::make_unique<TfrmMain>(StdPath("lib"));
        window->show();
        QApplication::processEvents();
    }
    static void TearDownTestSuite() {
        window.reset();
        dialogs.reset();
        dir.reset();
    }

    // The reference chosen and one control moved, as the command line's
    // --saturation 140 moves it.
    void ChooseTheLook() {
        const auto found = window->findChild<QListWidget*>("lvwRefs")->findItems("meadow", Qt::MatchExactly);
        ASSERT_FALSE(found.isEmpty());
        found.first()->setSelected(true);
        window->findChild<QSlider*>("tbrSaturation")->setValue(140);
        QApplication::processEvents();
    }

    void Open(const TInputKind& input) {
        const int errors = dialogs->Errors.size();
        auto* footage = window->findChild<QComboBox*>("cbxFootage");
        const int entry = footage->findText(input.Footage);
        ASSERT_GE(entry, 0) << input.Footage;
        footage->setCurrentIndex(entry);
        dialogs->PicturesToOpen.push_back(Path(input.Opened));
        const bool sequence = QString(input.Graded).contains('%');
        window->findChild<QAction*>(sequence ? "miOpenImageSequence" : "miOpenPreviewImage")->trigger();
        QApplication::processEvents();
        if (input.Stepped) QTest::keyClick(window->findChild<QWidget*>("Viewer"), Qt::Key_End);
        ChooseTheLook();
        ASSERT_EQ(dialogs->Errors.size(), errors) << dialogs->Errors.join('\n').toStdString();
    }

    // The command line's run; its exit code.
    static int Cli(const QStringList& arguments, QString* errors = nullptr) {
        QProcess cli;
        cli.start(OMBRANE_CLI, arguments);
        EXPECT_TRUE(cli.waitForFinished(120000));
        if (errors) *errors = QString::fromUtf8(cli.readAllStandardError());
        return cli.exitCode();
    }
    static QStringList Settings(const TInputKind& input) {
        QStringList options = {"--saturation", "140"};
        if (*input.FootageName) options << "--footage" << input.FootageName;
        if (input.Stepped)
            options << "--frame"
                    << "2";
        return options;
    }

    // The two files are the same but for the time a TIFF or OpenEXR
    // writer stamps in.
    static void ExpectSameFile(const QString& fromWindow, const QString& fromCli) {
        QByteArray mine = FileBytes(fromWindow), theirs = FileBytes(fromCli);
        ASSERT_FALSE(mine.isEmpty()) << fromWindow.toStdString();
        ASSERT_FALSE(theirs.isEmpty()) << fromCli.toStdString();
        if (fromWindow.endsWith(".tif")) {
            mine = WithoutStamp(mine);
            theirs = WithoutStamp(theirs);
        }
        EXPECT_TRUE(mine == theirs) << fromWindow.toStdString() << " differs from " << fromCli.toStdString();
    }

    // Where the command line refuses, the window shows an error and writes
    // nothing; else both write the same file.
    static void ExpectSameOutcome(int cliExit, const QString& cliErrors, int windowErrors, const QString& fromWindow,
                                  const QString& fromCli) {
        if (cliExit != 0) {
            EXPECT_GT(dialogs->Errors.size(), windowErrors) << "the command line refused: " << cliErrors.toStdString();
            EXPECT_FALSE(QFileInfo::exists(fromWindow));
            return;
        }
        EXPECT_EQ(dialogs->Errors.size(), windowErrors) << dialogs->Errors.join('\n').toStdString();
        ExpectSameFile(fromWindow, fromCli);
    }

    static QString Named(const TInputKind& input, const QString& side, const QString& extension) {
        return Path(QString(input.Name) + '-' + side + '.' + extension);
    }
};

TEST_P(ParityMatrixTest, TheWindowWritesWhatTheCommandLineWrites) {
    const TInputKind& input = GetParam();
    Open(input);
    const QString reference = Path("lib/meadow.jpeg");

    for (const QString& extension : SavedAs(input)) {
        SCOPED_TRACE("Save Graded Image as ." + extension.toStdString());
        const QString mine = Named(input, "window", extension), theirs = Named(input, "cli", extension);
        const int errors = dialogs->Errors.size();
        dialogs->FilesToSave.push_back(mine);
        window->findChild<QAction*>("miSaveGradedImage")->trigger();
        QString cliErrors;
        const int exit =
            Cli(QStringList{"grade", reference, Path(input.Graded), "-o", theirs} + Settings(input), &cliErrors);
        ExpectSameOutcome(exit, cliErrors, errors, mine, theirs);
    }

    {
        SCOPED_TRACE("Create 3D LUT");
        const QString mine = Named(input, "window", "cube"), theirs = Named(input, "cli", "cube");
        OnNextModal([&](QWidget* modal) {
            auto* save = qobject_cast<TfrmSaveLut*>(modal);
            ASSERT_NE(save, nullptr);
            auto* formats = save->findChild<QComboBox*>("cbxOutFormat");
            formats->setCurrentIndex(formats->findText(kProfile, Qt::MatchStartsWith));
            save->findChild<QLineEdit*>("edtLUTFile")->setText(mine);
            save->btnSaveClick();
        });
        window->findChild<QToolButton*>("sbnCreateLUT")->click();
        QStringList options = {"--saturation", "140"};
        if (*input.FootageName) options << "--footage" << input.FootageName;
        ASSERT_EQ(Cli(QStringList{"look", reference, "-o", theirs, "--profile", kProfile} + options), 0);
        ExpectSameFile(mine, theirs);
    }

    {
        SCOPED_TRACE("learned look");
        // AFTER: the first frame graded by the command line.
        const QString before = Path(input.Learned), after = Named(input, "after", "png");
        ASSERT_EQ(Cli({"grade", reference, before, "-o", after, "--saturation", "140"}), 0);
        const QString mine = Named(input, "window-learned", "cube"), theirs = Named(input, "cli-learned", "cube");
        const int errors = dialogs->Errors.size();
        OnNextModal([&](QWidget* modal) {
            auto* learn = qobject_cast<TfrmLearnPair*>(modal);
            ASSERT_NE(learn, nullptr);
            // As the picture slots hand their files on: an error is shown.
            RunHandler([&] { learn->SetBefore(before); });
            RunHandler([&] { learn->SetAfter(after); });
            if (learn->LearnedLut() != nullptr) ExportThroughDialog(*learn, kProfile, 33, mine);
        });
        window->findChild<QAction*>("miLearnPair")->trigger();
        QString cliErrors;
        const int exit = Cli({"learn", before, after, "-o", theirs, "--profile", kProfile, "--size", "33"}, &cliErrors);
        ExpectSameOutcome(exit, cliErrors, errors, mine, theirs);
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, ParityMatrixTest, ::testing::ValuesIn(kInputs),
                         [](const ::testing::TestParamInfo<TInputKind>& info) { return info.param.Name; });

}  // namespace
