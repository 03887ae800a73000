#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>

#include "app/FrameBar.h"
#include "app/ImageViewer.h"
#include "app/MainForm.h"
#include "app/StatusLine.h"
#include "clip/ClipFile.h"
#include "engine/look/GradingRoad.h"
#include "engine/lut/LUT.h"
#include "engine/picture/DeepGrade.h"
#include "engine/picture/ImageResize.h"
#include "imageio/ImageFile.h"
#include "imageio/QtImage.h"
#include "tests/app/FakeDialogs.h"
#include "tests/support/ClipMaking.h"

// A clip as the preview: the frame bar steps through it, the look grades
// each frame, Match Preview Colours measures the frame shown. These build the
// whole window: the frame keys are the window's wherever the focus lies, full
// screen takes the viewer out of the window and gives it back, and a new
// preview renames the window.

namespace {

class FrameBarTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TFakeDialogs dialogs;
    std::unique_ptr<TfrmMain> window;

    void SetUp() override {
        QDir().mkpath(dir.filePath("lib"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
        SaveJpegFile(dir.filePath("lib/meadow.jpeg").toStdString(), ColourfulPicture(150, 100));
        clip = dir.filePath("shot.mkv").toStdString();
        ASSERT_TRUE(MakeClip(clip, 320, 180, 6, "-pix_fmt yuv444p10le -c:v ffv1"));
        window = std::make_unique<TfrmMain>(dir.filePath("lib").toStdString());
        window->show();
        QApplication::processEvents();
    }
    void TearDown() override { window.reset(); }

    TImage Frame(int number) const {
        return DeepToImage(LoadClipFrame(clip, ParseFrameChoice(std::to_string(number))));
    }
    void Select(const QString& caption) {
        const auto found = window->Library().List()->findItems(caption, Qt::MatchExactly);
        ASSERT_FALSE(found.isEmpty());
        found.first()->setSelected(true);
    }
    QString Label(const char* name) const { return window->findChild<QLabel*>(name)->text(); }
    void OpenClip() {
        dialogs.PicturesToOpen.push_back(QString::fromStdString(clip));
        window->Preview().OpenClick();
        ASSERT_TRUE(window->Preview().FrameBar()->HasClip());
    }
    // A key as the user types it: to the widget with the focus.
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window.get();
        QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
        QApplication::processEvents();
    }
    void ClickReference(const QString& caption) {
        QListWidget* list = window->Library().List();
        const auto found = list->findItems(caption, Qt::MatchExactly);
        ASSERT_FALSE(found.isEmpty());
        list->scrollToItem(found.first());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          list->visualItemRect(found.first()).center());
        QApplication::processEvents();
    }
    void ClickPicture() {
        QTest::mouseClick(window->Preview().Viewer(), Qt::LeftButton, Qt::NoModifier,
                          window->Preview().Viewer()->rect().center());
        QApplication::processEvents();
    }
    QString Chosen() const { return QFileInfo(window->Grading().Reference()).completeBaseName(); }
    // The preview is the frame, and the viewer shows it graded with the window's look.
    bool ShowsGraded(int number) const {
        TImage graded = window->Preview().Viewer()->Scaled().Clone();
        GradePicture(window->Grading().Lut(), graded);
        return window->Grading().Preview().SamePixels(Frame(number)) && !graded.Empty() &&
               window->Preview().Viewer()->Display().SamePixels(graded);
    }

    std::string clip;
};

TEST_F(FrameBarTest, KeysStepThroughTheClipAndTheLookGradesEachFrame) {
    TFrameBar* bar = window->Preview().FrameBar();
    EXPECT_FALSE(bar->isVisible());
    dialogs.PicturesToOpen.push_back(QString::fromStdString(clip));
    window->Preview().OpenClick();
    ASSERT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->CurrentFrame(), 0);
    EXPECT_EQ(bar->FrameCount(), 6);
    EXPECT_TRUE(window->Grading().Preview().SamePixels(Frame(0)));
    Select("meadow");
    ASSERT_TRUE(window->Grading().LookBuilt());
    EXPECT_TRUE(ShowsGraded(0));

    QTest::keyClick(window->Preview().Viewer(), Qt::Key_Right);
    EXPECT_EQ(bar->CurrentFrame(), 1);
    EXPECT_TRUE(window->Grading().Preview().SamePixels(Frame(1)));
    EXPECT_TRUE(ShowsGraded(1));
    QTest::keyClick(window->Preview().Viewer(), Qt::Key_Right, Qt::ShiftModifier);  // a second is 25 frames: the end
    EXPECT_EQ(bar->CurrentFrame(), 5);
    QTest::keyClick(window->Preview().Viewer(), Qt::Key_Home);
    EXPECT_EQ(bar->CurrentFrame(), 0);
    QTest::keyClick(window->Preview().Viewer(), Qt::Key_End);
    QTest::keyClick(window->Preview().Viewer(), Qt::Key_Left);
    EXPECT_EQ(bar->CurrentFrame(), 4);
    EXPECT_TRUE(ShowsGraded(4));
    EXPECT_EQ(Label("lblTimecode"), "00:00:00:04");
    EXPECT_EQ(Label("lblFrameNumber"), "frame 4 / 6");
    // In full screen the keys reach the frame bar from the viewer's own window.
    QAction* fullScreen = window->findChild<QAction*>("miFullScreen");
    ASSERT_NE(fullScreen, nullptr);
    fullScreen->trigger();
    ASSERT_NE(window->Preview().Viewer()->window(), window.get());
    QTest::keyClick(window->Preview().Viewer()->window(), Qt::Key_Right);
    EXPECT_EQ(bar->CurrentFrame(), 5);
    QTest::keyClick(window->Preview().Viewer()->window(), Qt::Key_Left);
    fullScreen->trigger();
    EXPECT_EQ(window->Preview().Viewer()->window(), window.get());

    // Matching measures the frame shown: each step builds the look anew.
    window->findChild<QCheckBox*>("cbxMatchPreview")->setChecked(true);
    const TLookSettings atFour = window->Grading().LastSettings();
    const int builds = window->Grading().BuildCount();
    QTest::keyClick(window->Preview().Viewer(), Qt::Key_Home);
    EXPECT_EQ(window->Grading().BuildCount(), builds + 1);
    EXPECT_NE(window->Grading().LastSettings().SourceStats.Ranges[1].MeanU, atFour.SourceStats.Ranges[1].MeanU);
    EXPECT_TRUE(ShowsGraded(0));

    // L plays forward, K stops, J plays back.
    QTest::keyClick(window->Preview().Viewer(), Qt::Key_L);
    EXPECT_TRUE(bar->Playing());
    QTRY_VERIFY_WITH_TIMEOUT(bar->CurrentFrame() >= 2, 5000);
    QTest::keyClick(window->Preview().Viewer(), Qt::Key_K);
    EXPECT_FALSE(bar->Playing());
    const std::int64_t stopped = bar->CurrentFrame();
    // Space stops playing (pressed while J surely plays: a play back may
    // reach the start and end before a later key).
    QTest::keyClick(window->Preview().Viewer(), Qt::Key_J);
    EXPECT_TRUE(bar->Playing());
    QTest::keyClick(window->Preview().Viewer(), Qt::Key_Space);
    EXPECT_FALSE(bar->Playing());
    QTest::keyClick(window->Preview().Viewer(), Qt::Key_J);
    QTRY_VERIFY_WITH_TIMEOUT(bar->CurrentFrame() < stopped, 5000);
    QTest::keyClick(window->Preview().Viewer(), Qt::Key_Home);
    EXPECT_TRUE(ShowsGraded(0));

    // Save Graded Image writes the frame shown at full size.
    dialogs.FilesToSave.push_back(dir.filePath("graded.jpg"));
    window->Preview().SaveGradedClick();
    TImage saved;
    LoadImageFile(dir.filePath("graded.jpg").toStdString(), saved);
    EXPECT_EQ(saved.Width(), 320);
    EXPECT_TRUE(dialogs.Errors.isEmpty());

    // A picture as the preview hides the bar.
    SaveImageFile(dir.filePath("still.png").toStdString(), ColourfulPicture(64, 48));
    dialogs.PicturesToOpen.push_back(dir.filePath("still.png"));
    window->Preview().OpenClick();
    EXPECT_FALSE(bar->isVisible());
    EXPECT_FALSE(bar->HasClip());

    // A clip dropped on the viewer opens as the preview.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(clip))});
    const QPoint at(window->Preview().Viewer()->width() / 2, window->Preview().Viewer()->height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window->Preview().Viewer(), &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window->Preview().Viewer(), &drop);
    EXPECT_TRUE(bar->HasClip());
    EXPECT_TRUE(dialogs.Errors.isEmpty()) << dialogs.Errors.join("\n").toStdString();
}

// Space plays to the clip's end with the frames decoded ahead; every frame
// after the start is either shown or counted as dropped, and the frame
// shown last is graded like a stepped one. An arrow key stops playing.
TEST_F(FrameBarTest, PlayingShowsOrCountsEveryFrameAndAKeyStopsIt) {
    TFrameBar* bar = window->Preview().FrameBar();
    dialogs.PicturesToOpen.push_back(QString::fromStdString(clip));
    window->Preview().OpenClick();
    Select("meadow");
    ASSERT_TRUE(window->Grading().LookBuilt());
    // Steps of one frame take the neighbour decoded ahead: the same frames.
    for (const int number : {1, 2, 3}) {
        QTest::keyClick(window->Preview().Viewer(), Qt::Key_Right);
        EXPECT_TRUE(ShowsGraded(number)) << number;
    }
    for (const int number : {2, 1, 0}) {
        QTest::keyClick(window->Preview().Viewer(), Qt::Key_Left);
        EXPECT_TRUE(ShowsGraded(number)) << number;
    }
    EXPECT_EQ(bar->PlayedFrames() + bar->DroppedFrames(), 0);
    QTest::keyClick(window->Preview().Viewer(), Qt::Key_Space);
    EXPECT_TRUE(bar->Playing());
    QTRY_VERIFY_WITH_TIMEOUT(!bar->Playing(), 10000);
    EXPECT_EQ(bar->CurrentFrame(), 5);
    EXPECT_EQ(bar->PlayedFrames() + bar->DroppedFrames(), 5);
    EXPECT_GE(bar->PlayedFrames(), 1);
    EXPECT_TRUE(ShowsGraded(5));
    EXPECT_EQ(Label("lblFrameNumber"), "frame 5 / 6");

    QTest::keyClick(window->Preview().Viewer(), Qt::Key_J);
    ASSERT_TRUE(bar->Playing());
    QTest::keyClick(window->Preview().Viewer(), Qt::Key_Left);
    EXPECT_FALSE(bar->Playing());
    const std::int64_t at = bar->CurrentFrame();
    EXPECT_LT(at, 5);
    EXPECT_TRUE(ShowsGraded(static_cast<int>(at)));
    // Played back to the start, J stops there.
    QTest::keyClick(window->Preview().Viewer(), Qt::Key_J);
    QTRY_VERIFY_WITH_TIMEOUT(!bar->Playing(), 10000);
    EXPECT_EQ(bar->CurrentFrame(), 0);
    // Five forward, from 5 to one after `at` back before the key, `at` back to the start.
    EXPECT_EQ(bar->PlayedFrames() + bar->DroppedFrames(), 5 + (5 - (at + 1)) + at);
}

// The largest difference of one channel between two pictures of one size.
int LargestDifference(const TImage& a, const TImage& b) {
    int largest = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int i = 0; i < 3 * a.Width(); ++i) largest = std::max(largest, std::abs(a.Row(y)[i] - b.Row(y)[i]));
    return largest;
}

// While a clip is open, J, K, L, Space, the arrows, Home and End are the
// clip's wherever the focus is: a reference clicked in the library, then the
// picture clicked, L plays and Right steps, and the reference stays chosen;
// a focused slider of the look panel does not move. A text field keeps the
// keys for its text.
TEST_F(FrameBarTest, FrameKeysAreTheClipsWhereverTheFocusIs) {
    for (const char* name : {"lagoon", "pine"})
        SaveJpegFile(dir.filePath(QString("lib/%1.jpeg").arg(name)).toStdString(), ColourfulPicture(120, 90));
    window->Library().ScanLibrary();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    TFrameBar* bar = window->Preview().FrameBar();
    OpenClip();
    ClickReference("meadow");
    ASSERT_EQ(Chosen(), "meadow");
    ASSERT_EQ(QApplication::focusWidget(), window->Library().List());
    ClickPicture();

    Key(Qt::Key_L);
    EXPECT_EQ(Chosen(), "meadow");  // no type-ahead to "lagoon"
    EXPECT_TRUE(bar->Playing());
    Key(Qt::Key_K);
    EXPECT_FALSE(bar->Playing());
    Key(Qt::Key_Home);
    EXPECT_EQ(bar->CurrentFrame(), 0);
    Key(Qt::Key_Right);
    EXPECT_EQ(Chosen(), "meadow");  // not the next reference, "pine"
    EXPECT_EQ(bar->CurrentFrame(), 1);
    EXPECT_TRUE(ShowsGraded(1));

    // A slider of the look panel with the focus.
    QSlider* overall = window->findChild<QSlider*>("tbrSaturation");
    overall->setFocus(Qt::TabFocusReason);
    Key(Qt::Key_Right);
    EXPECT_EQ(bar->CurrentFrame(), 2);
    EXPECT_EQ(overall->value(), 100);

    // A value typed for a slider: Home and End move in the text.
    QTest::mouseDClick(window->findChild<QLabel*>("lblSatOverall"), Qt::LeftButton);
    auto* typed = window->findChild<QLineEdit*>("edtPosition");
    ASSERT_NE(typed, nullptr);
    ASSERT_TRUE(typed->hasFocus());
    Key(Qt::Key_Home);
    Key(Qt::Key_5);
    Key(Qt::Key_End);
    Key(Qt::Key_Left);
    EXPECT_EQ(bar->CurrentFrame(), 2);
    EXPECT_EQ(typed->text(), "5100");
    Key(Qt::Key_Escape);
    // A caption being renamed takes letters and Space.
    window->Library().List()->setFocus(Qt::MouseFocusReason);
    Key(Qt::Key_F2);
    auto* caption = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(caption, nullptr);
    Key(Qt::Key_End);
    Key(Qt::Key_Space);
    Key(Qt::Key_L);
    EXPECT_EQ(caption->text(), "meadow l");
    EXPECT_FALSE(bar->Playing());
    EXPECT_EQ(bar->CurrentFrame(), 2);
    Key(Qt::Key_Escape);
    EXPECT_EQ(Chosen(), "meadow");

    // Without a clip the list's arrows choose as before, and letters never do.
    SaveImageFile(dir.filePath("still.png").toStdString(), ColourfulPicture(64, 48));
    dialogs.PicturesToOpen.push_back(dir.filePath("still.png"));
    window->Preview().OpenClick();
    ASSERT_FALSE(bar->HasClip());
    ClickReference("meadow");
    Key(Qt::Key_L);
    EXPECT_EQ(Chosen(), "meadow");
    Key(Qt::Key_Right);
    EXPECT_EQ(Chosen(), "pine");
    EXPECT_TRUE(dialogs.Errors.isEmpty()) << dialogs.Errors.join("\n").toStdString();
}

// A new preview of any kind ends the clip: pasted, opened or dropped while
// a clip is open, the frame bar hides, the frame keys no longer scrub, and
// Save Graded Image (Ctrl+S) writes the new picture graded.
TEST_F(FrameBarTest, ANewPreviewEndsTheClip) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    TFrameBar* bar = window->Preview().FrameBar();
    const TImage still = ColourfulPicture(200, 100);
    const QString stillFile = dir.filePath("still.png");
    SaveImageFile(stillFile.toStdString(), still);
    auto drop = [&] {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(stillFile)});
        const QPoint at(window->Preview().Viewer()->width() / 2, window->Preview().Viewer()->height() / 2);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window->Preview().Viewer(), &enter);
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window->Preview().Viewer(), &dropped);
    };
    const struct {
        const char* Kind;
        std::function<void()> Make;
        QString Name;
    } previews[] = {
        {"paste",
         [&] {
             QGuiApplication::clipboard()->setImage(QImageFromImage(still));
             Key(Qt::Key_V, Qt::ControlModifier);
             QGuiApplication::clipboard()->clear();
         },
         "pasted picture"},
        {"open",
         [&] {
             dialogs.PicturesToOpen.push_back(stillFile);
             Key(Qt::Key_O, Qt::ControlModifier);
         },
         "still.png"},
        {"drop", drop, "still.png"},
    };
    for (const auto& preview : previews) {
        SCOPED_TRACE(preview.Kind);
        OpenClip();
        Select("meadow");
        Key(Qt::Key_End);
        ASSERT_EQ(bar->CurrentFrame(), 5);
        preview.Make();
        EXPECT_FALSE(bar->HasClip());
        EXPECT_FALSE(bar->isVisible());
        EXPECT_TRUE(window->Grading().Preview().SamePixels(still));
        EXPECT_TRUE(window->windowTitle().startsWith(preview.Name));
        EXPECT_TRUE(window->StatusLine()->Text().startsWith(preview.Name + " 200 x 100"))
            << window->StatusLine()->Text().toStdString();
        Key(Qt::Key_Home);
        EXPECT_TRUE(window->Grading().Preview().SamePixels(still));

        const QString saved = dir.filePath(QString("graded-%1.jpg").arg(preview.Kind));
        dialogs.FilesToSave.push_back(saved);
        Key(Qt::Key_S, Qt::ControlModifier);
        TImage written;
        LoadImageFile(saved.toStdString(), written);
        ASSERT_EQ(written.Width(), 200);
        ASSERT_EQ(written.Height(), 100);
        TImage expected = still.Clone();
        GradePicture(window->Grading().Lut(), expected);
        EXPECT_LE(LargestDifference(written, expected), 3);  // JPEG at quality 100
    }
    EXPECT_TRUE(dialogs.Errors.isEmpty()) << dialogs.Errors.join("\n").toStdString();
}

}  // namespace

// Stepping through a clip whose frames depend on others (a key frame every
// five), forward over key frames, back over them and back from a frame
// jumped to, with frames made ahead between steps or not: each frame shown
// is, byte for byte, the frame opened afresh, its preview fit and the
// viewer's copy made from it. Another clip opened then shows its own frames.
TEST_F(FrameBarTest, SteppingShowsTheSamePixelsAsOpeningThatFrame) {
    const std::string first = clip;
    clip = dir.filePath("gop.mp4").toStdString();
    ASSERT_TRUE(MakeClip(clip, 1280, 720, 14, "-pix_fmt yuv420p -c:v libx264 -g 5 -bf 2 -crf 20"));
    OpenClip();
    Select("meadow");
    ASSERT_TRUE(window->Grading().LookBuilt());
    TFrameBar* bar = window->Preview().FrameBar();
    const auto expectShown = [&](int number) {
        ASSERT_EQ(bar->CurrentFrame(), number);
        const TImage full = Frame(number);
        EXPECT_TRUE(bar->CurrentPicture().SamePixels(full)) << "frame " << number;
        EXPECT_TRUE(window->Grading().Preview().SamePixels(FitImage(full, 1000, 500))) << "frame " << number;
        const TImage& copy = window->Preview().Viewer()->Scaled();
        // At the frame's own size the copy is the frame.
        TImage expected;
        if (copy.Width() == full.Width() && copy.Height() == full.Height())
            expected = full.Clone();
        else
            ResizeImage(copy.Width(), copy.Height(), kLanczos3Filter, expected, full, 0.0f);
        EXPECT_TRUE(copy.SamePixels(expected)) << "frame " << number;
        TImage graded = copy.Clone();
        GradePicture(window->Grading().Lut(), graded);
        EXPECT_TRUE(window->Preview().Viewer()->Display().SamePixels(graded)) << "frame " << number;
    };
    const auto steps = [&](Qt::Key key, int count, int from, bool rest) {
        for (int i = 1; i <= count; ++i) {
            if (rest) QTest::qWait(100);  // the frames ahead made, or some of them
            QTest::keyClick(window->Preview().Viewer(), key);
            expectShown(from + (key == Qt::Key_Right ? i : -i));
        }
    };
    expectShown(0);
    steps(Qt::Key_Right, 8, 0, false);
    steps(Qt::Key_Left, 8, 8, true);
    QTest::keyClick(window->Preview().Viewer(), Qt::Key_End);
    expectShown(13);
    steps(Qt::Key_Left, 4, 13, false);
    steps(Qt::Key_Right, 2, 9, true);
    steps(Qt::Key_Left, 4, 11, true);

    clip = first;
    OpenClip();
    expectShown(0);
    steps(Qt::Key_Right, 3, 0, true);
    // Matched to each frame, the frames are made with their preview fit ahead.
    window->Grading().SetMatchPreview(true);
    steps(Qt::Key_Right, 2, 3, true);
    steps(Qt::Key_Left, 3, 5, false);
}
