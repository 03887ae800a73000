#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <memory>

#include "app/FrameBar.h"
#include "app/ImageViewer.h"
#include "app/MainForm.h"
#include "clip/ClipFile.h"
#include "engine/DeepGrade.h"
#include "engine/GradingRoad.h"
#include "engine/LUT.h"
#include "imageio/ImageFile.h"
#include "tests/app/FakeDialogs.h"
#include "tests/support/ClipMaking.h"

// A clip as the preview: the frame bar steps through it, the look grades
// each frame, Match Preview Colours measures the frame shown.

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
        const auto found = window->lvwRefs()->findItems(caption, Qt::MatchExactly);
        ASSERT_FALSE(found.isEmpty());
        found.first()->setSelected(true);
    }
    QString Label(const char* name) const { return window->findChild<QLabel*>(name)->text(); }
    // The preview is the frame, and the viewer shows it graded with the window's look.
    bool ShowsGraded(int number) const {
        TImage graded = window->Viewer()->Scaled().Clone();
        GradePicture(window->Lut(), graded);
        return window->PreviewBitmap().SamePixels(Frame(number)) && !graded.Empty() &&
               window->Viewer()->Display().SamePixels(graded);
    }

    std::string clip;
};

TEST_F(FrameBarTest, KeysStepThroughTheClipAndTheLookGradesEachFrame) {
    TFrameBar* bar = window->FrameBar();
    EXPECT_FALSE(bar->isVisible());
    dialogs.PicturesToOpen.push_back(QString::fromStdString(clip));
    window->sbnOpenPreviewImageClick();
    ASSERT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->CurrentFrame(), 0);
    EXPECT_EQ(bar->FrameCount(), 6);
    EXPECT_TRUE(window->PreviewBitmap().SamePixels(Frame(0)));
    Select("meadow");
    ASSERT_TRUE(window->LookBuilt());
    EXPECT_TRUE(ShowsGraded(0));

    QTest::keyClick(window->Viewer(), Qt::Key_Right);
    EXPECT_EQ(bar->CurrentFrame(), 1);
    EXPECT_TRUE(window->PreviewBitmap().SamePixels(Frame(1)));
    EXPECT_TRUE(ShowsGraded(1));
    QTest::keyClick(window->Viewer(), Qt::Key_Right, Qt::ShiftModifier);  // a second is 25 frames: the end
    EXPECT_EQ(bar->CurrentFrame(), 5);
    QTest::keyClick(window->Viewer(), Qt::Key_Home);
    EXPECT_EQ(bar->CurrentFrame(), 0);
    QTest::keyClick(window->Viewer(), Qt::Key_End);
    QTest::keyClick(window->Viewer(), Qt::Key_Left);
    EXPECT_EQ(bar->CurrentFrame(), 4);
    EXPECT_TRUE(ShowsGraded(4));
    EXPECT_EQ(Label("lblTimecode"), "00:00:00:04");
    EXPECT_EQ(Label("lblFrameNumber"), "frame 4 / 6");
    // In full screen the keys reach the frame bar from the viewer's own window.
    QAction* fullScreen = window->findChild<QAction*>("miFullScreen");
    ASSERT_NE(fullScreen, nullptr);
    fullScreen->trigger();
    ASSERT_NE(window->Viewer()->window(), window.get());
    QTest::keyClick(window->Viewer()->window(), Qt::Key_Right);
    EXPECT_EQ(bar->CurrentFrame(), 5);
    QTest::keyClick(window->Viewer()->window(), Qt::Key_Left);
    fullScreen->trigger();
    EXPECT_EQ(window->Viewer()->window(), window.get());

    // Matching measures the frame shown: each step builds the look anew.
    window->findChild<QCheckBox*>("cbxMatchPreview")->setChecked(true);
    const TLookSettings atFour = window->LastSettings();
    const int builds = window->BuildCount();
    QTest::keyClick(window->Viewer(), Qt::Key_Home);
    EXPECT_EQ(window->BuildCount(), builds + 1);
    EXPECT_NE(window->LastSettings().SourceStats.Ranges[1].MeanU, atFour.SourceStats.Ranges[1].MeanU);
    EXPECT_TRUE(ShowsGraded(0));

    // L plays forward, K stops, J plays back.
    QTest::keyClick(window->Viewer(), Qt::Key_L);
    EXPECT_TRUE(bar->Playing());
    QTRY_VERIFY_WITH_TIMEOUT(bar->CurrentFrame() >= 2, 5000);
    QTest::keyClick(window->Viewer(), Qt::Key_K);
    EXPECT_FALSE(bar->Playing());
    const std::int64_t stopped = bar->CurrentFrame();
    // Space stops playing (pressed while J surely plays: a play back may
    // reach the start and end before a later key).
    QTest::keyClick(window->Viewer(), Qt::Key_J);
    EXPECT_TRUE(bar->Playing());
    QTest::keyClick(window->Viewer(), Qt::Key_Space);
    EXPECT_FALSE(bar->Playing());
    QTest::keyClick(window->Viewer(), Qt::Key_J);
    QTRY_VERIFY_WITH_TIMEOUT(bar->CurrentFrame() < stopped, 5000);
    QTest::keyClick(window->Viewer(), Qt::Key_Home);
    EXPECT_TRUE(ShowsGraded(0));

    // Save Graded Image writes the frame shown at full size.
    dialogs.FilesToSave.push_back(dir.filePath("graded.jpg"));
    window->miSaveGradedImageClick();
    TImage saved;
    LoadImageFile(dir.filePath("graded.jpg").toStdString(), saved);
    EXPECT_EQ(saved.Width(), 320);
    EXPECT_TRUE(dialogs.Errors.isEmpty());

    // A picture as the preview hides the bar.
    SaveImageFile(dir.filePath("still.png").toStdString(), ColourfulPicture(64, 48));
    dialogs.PicturesToOpen.push_back(dir.filePath("still.png"));
    window->sbnOpenPreviewImageClick();
    EXPECT_FALSE(bar->isVisible());
    EXPECT_FALSE(bar->HasClip());

    // A clip dropped on the viewer opens as the preview.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(clip))});
    const QPoint at(window->Viewer()->width() / 2, window->Viewer()->height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window->Viewer(), &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window->Viewer(), &drop);
    EXPECT_TRUE(bar->HasClip());
    EXPECT_TRUE(dialogs.Errors.isEmpty()) << dialogs.Errors.join("\n").toStdString();
}

// Space plays to the clip's end with the frames decoded ahead; every frame
// after the start is either shown or counted as dropped, and the frame
// shown last is graded like a stepped one. An arrow key stops playing.
TEST_F(FrameBarTest, PlayingShowsOrCountsEveryFrameAndAKeyStopsIt) {
    TFrameBar* bar = window->FrameBar();
    dialogs.PicturesToOpen.push_back(QString::fromStdString(clip));
    window->sbnOpenPreviewImageClick();
    Select("meadow");
    ASSERT_TRUE(window->LookBuilt());
    // Steps of one frame take the neighbour decoded ahead: the same frames.
    for (const int number : {1, 2, 3}) {
        QTest::keyClick(window->Viewer(), Qt::Key_Right);
        EXPECT_TRUE(ShowsGraded(number)) << number;
    }
    for (const int number : {2, 1, 0}) {
        QTest::keyClick(window->Viewer(), Qt::Key_Left);
        EXPECT_TRUE(ShowsGraded(number)) << number;
    }
    EXPECT_EQ(bar->PlayedFrames() + bar->DroppedFrames(), 0);
    QTest::keyClick(window->Viewer(), Qt::Key_Space);
    EXPECT_TRUE(bar->Playing());
    QTRY_VERIFY_WITH_TIMEOUT(!bar->Playing(), 10000);
    EXPECT_EQ(bar->CurrentFrame(), 5);
    EXPECT_EQ(bar->PlayedFrames() + bar->DroppedFrames(), 5);
    EXPECT_GE(bar->PlayedFrames(), 1);
    EXPECT_TRUE(ShowsGraded(5));
    EXPECT_EQ(Label("lblFrameNumber"), "frame 5 / 6");

    QTest::keyClick(window->Viewer(), Qt::Key_J);
    ASSERT_TRUE(bar->Playing());
    QTest::keyClick(window->Viewer(), Qt::Key_Left);
    EXPECT_FALSE(bar->Playing());
    const std::int64_t at = bar->CurrentFrame();
    EXPECT_LT(at, 5);
    EXPECT_TRUE(ShowsGraded(static_cast<int>(at)));
    // Played back to the start, J stops there.
    QTest::keyClick(window->Viewer(), Qt::Key_J);
    QTRY_VERIFY_WITH_TIMEOUT(!bar->Playing(), 10000);
    EXPECT_EQ(bar->CurrentFrame(), 0);
    // Five forward, from 5 to one after `at` back before the key, `at` back to the start.
    EXPECT_EQ(bar->PlayedFrames() + bar->DroppedFrames(), 5 + (5 - (at + 1)) + at);
}

}  // namespace
