#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QSettings>
#include <QSlider>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/ImageViewer.h"
#include "app/LookPanel.h"
#include "app/LookSession.h"
#include "app/LutSaveForm.h"
#include "app/MainForm.h"
#include "app/SingleInstance.h"
#include "app/WindowStart.h"
#include "grading/LookDocument.h"
#include "imageio/ImageFile.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/SavedFiles.h"

// The session at start: the window is closed and started again, and the
// frame, the look, the snapshots and the zoom are as they were; a damaged
// session is passed over with a note in the status line. These build the
// whole window: the last session is kept when it closes and brought back
// when it starts, which only the window does.

namespace {

class LookSessionTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TFakeDialogs dialogs;
    QByteArray savedState = qgetenv("XDG_STATE_HOME");
    QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");

    QString Path(const QString& name) const { return dir.filePath(name); }

    void SetUp() override {
        QDir().mkpath(Path("lib"));
        QDir().mkpath(Path("run"));
        QFile::setPermissions(Path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(Path("run")));
        qputenv("XDG_STATE_HOME", QFile::encodeName(Path("state")));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Path("config"));
        SaveJpegFile(Path("lib/meadow.jpeg").toStdString(), ColourfulPicture(150, 100));
        SaveImageFile(Path("frame.bmp").toStdString(), ColourfulPicture(640, 320));
        SaveImageFile(Path("other.bmp").toStdString(), FlatPicture(320, 200, 30, 90, 160));
    }
    void TearDown() override {
        qputenv("XDG_STATE_HOME", savedState);
        qputenv("XDG_RUNTIME_DIR", savedRuntime);
    }

    // The window as the program starts it, with FILE or none.
    std::unique_ptr<TfrmMain> Start(const QString& file = QString()) {
        TSingleInstance instance;
        auto window = StartWindow(file, instance, Path("lib").toStdString());
        QApplication::processEvents();
        return window;
    }
    // The viewer's working copy grows to the zoom's size once the zoom rests.
    static void WaitForWorkingCopy(TfrmMain& window) {
        const QSize wanted = window.Preview().Viewer()->CopySizeFor(QSize(640, 320));
        const bool grown = QTest::qWaitFor(
            [&] {
                return window.Preview().Viewer()->Display().Width() >= wanted.width() &&
                       window.Preview().Viewer()->Display().Height() >= wanted.height();
            },
            20000);
        EXPECT_TRUE(grown);
    }
    static QSlider* Bar(TfrmMain& window, const char* name) { return window.findChild<QSlider*>(name); }
    QByteArray ExportedLut(TfrmMain& window, const QString& name) const {
        TfrmSaveLut form(window.Grading().LastSettings(), &window, window.Grading().Footage().Conversion());
        auto* formats = form.findChild<QComboBox*>("cbxOutFormat");
        formats->setCurrentIndex(formats->findText("Cube 3D Davinci"));
        form.cbxOutFormatChange();
        form.findChild<QLineEdit*>("edtLUTFile")->setText(Path(name));
        form.btnSaveClick();
        return FileBytes(Path(name));
    }
};

}  // namespace

TEST_F(LookSessionTest, TheFrameTheLookTheSnapshotsAndTheZoomComeBackAfterARestart) {
    std::unique_ptr<TfrmMain> window = Start();
    dialogs.PicturesToOpen.push_back(Path("frame.bmp"));
    window->Preview().OpenClick();
    window->Library().List()->item(0)->setSelected(true);
    Bar(*window, "tbrSaturation")->setValue(130);
    Bar(*window, "tbrBlue")->setValue(40);
    window->Grading().StoreSnapshot(1);
    Bar(*window, "tbrStrength")->setValue(70);
    window->findChild<QCheckBox*>("cbxMatchPreview")->setChecked(true);
    window->Preview().Viewer()->ZoomTo100();
    QApplication::processEvents();
    ASSERT_FALSE(window->Preview().Viewer()->Fit());
    WaitForWorkingCopy(*window);

    const TImage shown = window->Preview().Viewer()->Display().Clone();
    const QByteArray lut = ExportedLut(*window, "before.cube");
    ASSERT_FALSE(lut.isEmpty());
    window->close();
    window.reset();
    EXPECT_TRUE(QFileInfo(Path("state/tarnwerk/Ombrane/session.olook")).isFile());
    EXPECT_EQ(TLookSession::File(), Path("state/tarnwerk/Ombrane/session.olook"));

    window = Start();
    EXPECT_TRUE(dialogs.Errors.isEmpty()) << dialogs.Errors.join("\n").toStdString();
    EXPECT_EQ(window->Grading().PreviewFile(), Path("frame.bmp").toStdString());
    EXPECT_EQ(window->Grading().Reference(), "meadow.jpeg");
    EXPECT_EQ(Bar(*window, "tbrSaturation")->value(), 130);
    EXPECT_EQ(Bar(*window, "tbrBlue")->value(), 40);
    EXPECT_EQ(Bar(*window, "tbrStrength")->value(), 70);
    EXPECT_TRUE(window->findChild<QCheckBox*>("cbxMatchPreview")->isChecked());
    ASSERT_TRUE(window->Grading().Snapshots().Has(1));
    EXPECT_EQ(window->Grading().Snapshots().Look(1).Positions.Blue, 40);
    EXPECT_EQ(window->Grading().Snapshots().Look(1).Positions.Strength, 100);
    EXPECT_FALSE(window->Grading().Snapshots().Has(0));
    EXPECT_FALSE(window->Preview().Viewer()->Fit());
    EXPECT_EQ(window->Preview().Viewer()->ZoomPercent(), 100);
    WaitForWorkingCopy(*window);
    EXPECT_EQ(window->Preview().Viewer()->Display().Width(), shown.Width());
    EXPECT_EQ(window->Preview().Viewer()->Display().Height(), shown.Height());
    EXPECT_TRUE(window->Preview().Viewer()->Display().SamePixels(shown));
    EXPECT_EQ(ExportedLut(*window, "after.cube"), lut);

    // A picture named at the start takes the frame's place; the look stays.
    window->close();
    window.reset();
    window = Start(Path("other.bmp"));
    EXPECT_EQ(window->Grading().PreviewFile(), Path("other.bmp").toStdString());
    EXPECT_EQ(Bar(*window, "tbrSaturation")->value(), 130);
}

TEST_F(LookSessionTest, ADamagedSessionIsPassedOverWithANote) {
    QDir().mkpath(Path("state/tarnwerk/Ombrane"));
    QFile session(Path("state/tarnwerk/Ombrane/session.olook"));
    ASSERT_TRUE(session.open(QIODevice::WriteOnly));
    session.write("{\"format\": \"ombrane-look\", \"version\": 1, \"look\": [");
    session.close();

    std::unique_ptr<TfrmMain> window = Start();
    EXPECT_TRUE(dialogs.Errors.isEmpty()) << dialogs.Errors.join("\n").toStdString();
    const QString note = window->statusBar()->currentMessage();
    EXPECT_TRUE(note.contains("session.olook")) << note.toStdString();
    EXPECT_FALSE(note.contains('\n'));
    EXPECT_EQ(Bar(*window, "tbrSaturation")->value(), 100);
    EXPECT_TRUE(window->Grading().Reference().isEmpty());

    // Closed, the window keeps its own session in its place.
    window->close();
    window.reset();
    EXPECT_NO_THROW(LoadLookDocument(Path("state/tarnwerk/Ombrane/session.olook").toStdString()));
}

TEST_F(LookSessionTest, WithoutASessionTheWindowStartsAsBefore) {
    std::unique_ptr<TfrmMain> window = Start();
    EXPECT_TRUE(dialogs.Errors.isEmpty());
    EXPECT_TRUE(window->statusBar()->currentMessage().isEmpty());
    EXPECT_TRUE(window->Grading().PreviewFile().empty());
    EXPECT_TRUE(window->Grading().Reference().isEmpty());
    // A frame that went away is not looked for.
    dialogs.PicturesToOpen.push_back(Path("frame.bmp"));
    window->Preview().OpenClick();
    window->close();
    window.reset();
    ASSERT_TRUE(QFile::remove(Path("frame.bmp")));
    window = Start();
    EXPECT_TRUE(dialogs.Errors.isEmpty());
    EXPECT_TRUE(window->Grading().PreviewFile().empty());
}
