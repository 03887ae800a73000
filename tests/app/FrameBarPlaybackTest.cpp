#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <vector>

#include "app/FrameBar.h"
#include "app/ImageViewer.h"
#include "app/StatusLine.h"
#include "app/ViewerWorkingCopy.h"
#include "clip/ClipFile.h"
#include "clip/ClipPicture.h"
#include "engine/look/GradingRoad.h"
#include "engine/lut/LUT.h"
#include "engine/picture/ImageResize.h"
#include "imageio/ImageFile.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/GradingRig.h"
#include "tests/support/ClipMaking.h"

// A clip larger than the viewer: its frames reach the viewer at their own
// size, playing shows cheaper pictures made at the viewer's size, and the
// frame playing stops on is the one a still of the same pixels shows.

namespace {

constexpr int kClipWidth = 1280, kClipHeight = 720, kClipFrames = 12;

class FrameBarPlaybackTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TFakeDialogs dialogs;
    std::unique_ptr<TGradingRig> window;
    std::string clip;

    void SetUp() override {
        QDir().mkpath(dir.filePath("lib"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
        SaveJpegFile(dir.filePath("lib/meadow.jpeg").toStdString(), ColourfulPicture(150, 100));
        clip = dir.filePath("shot.mp4").toStdString();
        ASSERT_TRUE(MakeClip(clip, kClipWidth, kClipHeight, kClipFrames,
                             "-pix_fmt yuv420p -c:v libx264 -preset ultrafast -crf 20"));
        window = std::make_unique<TGradingRig>(dir.filePath("lib"));
        window->Host().resize(1000, 700);
        QApplication::processEvents();
        dialogs.PicturesToOpen.push_back(QString::fromStdString(clip));
        window->Preview().OpenClick();
        ASSERT_TRUE(window->Preview().FrameBar()->HasClip());
        QApplication::processEvents();
    }
    void TearDown() override { window.reset(); }

    TFrameBar* Bar() const { return window->Preview().FrameBar(); }
    TImageViewer* Viewer() const { return window->Preview().Viewer(); }
    TImage Full(std::int64_t number) const {
        return ClipFrameToImage(LoadClipFrame(clip, ParseFrameChoice(std::to_string(number))));
    }
    void Select(const QString& caption) {
        const auto found = window->Library().List()->findItems(caption, Qt::MatchExactly);
        ASSERT_FALSE(found.isEmpty());
        found.first()->setSelected(true);
        ASSERT_TRUE(window->Grading().LookBuilt());
    }
    // The viewer shows the frame as it shows a still of the same pixels at
    // fit: the working copy resampled from the full frame, graded with the
    // window's look once there is one; the preview is the frame fitted as a clip's always was.
    void ExpectExactFrame(std::int64_t number) const {
        const TImage full = Full(number);
        const QSize size = Viewer()->CopySizeFor(QSize(kClipWidth, kClipHeight));
        ASSERT_LT(size.width(), kClipWidth);  // the viewer is smaller than the clip
        EXPECT_TRUE(Viewer()->Scaled().SamePixels(TViewerWorkingCopy::Resampled(full, size)));
        TImage graded = Viewer()->Scaled().Clone();
        if (window->Grading().LookBuilt()) GradePicture(window->Grading().Lut(), graded);
        EXPECT_TRUE(Viewer()->Display().SamePixels(graded));
        EXPECT_TRUE(window->Grading().Preview().SamePixels(FitImage(full, 1000, 500)));
        EXPECT_EQ(window->Preview().FrameBar()->CurrentFrame(), number);
    }
    QString Label(const char* name) const { return window->Find<QLabel>(name)->text(); }
};

// Opened and stepped, the viewer's copy is made from the full frame; at
// 100 % it holds the clip's own pixels; the 1000 x 500 preview and the
// status line's size are the frame's.
TEST_F(FrameBarPlaybackTest, TheViewerGetsTheFullFrame) {
    ExpectExactFrame(0);
    EXPECT_TRUE(window->Grading().Preview().SamePixels(ClipFramePreview(LoadClipFrame(clip, {}), 1000, 500)));
    EXPECT_TRUE(window->StatusLine()->Text().startsWith("shot.mp4 1280 x 720"))
        << window->StatusLine()->Text().toStdString();
    Select("meadow");
    QTest::keyClick(Viewer(), Qt::Key_Right);
    ExpectExactFrame(1);
    Viewer()->ZoomTo100();
    QTRY_COMPARE_WITH_TIMEOUT(Viewer()->Scaled().Width(), kClipWidth, 5000);
    EXPECT_TRUE(Viewer()->Scaled().SamePixels(Full(1)));
    QTest::keyClick(Viewer(), Qt::Key_Right);
    EXPECT_TRUE(Viewer()->Scaled().SamePixels(Full(2)));
}

// While playing, the viewer gets pictures made at its size; where playing
// stops (at the clip's end, by K, or by a step), the frame shown is made
// again the exact way, byte for byte what a still of it shows.
TEST_F(FrameBarPlaybackTest, ThePausedFrameAfterPlayingIsTheExactOne) {
    Select("meadow");
    std::vector<QSize> played;
    QObject::connect(Bar(), &TFrameBar::FramePlayed,
                     [&](const TImage& picture) { played.push_back(QSize(picture.Width(), picture.Height())); });
    QTest::keyClick(Viewer(), Qt::Key_Space);
    ASSERT_TRUE(Bar()->Playing());
    QTRY_VERIFY_WITH_TIMEOUT(!Bar()->Playing(), 20000);
    ASSERT_FALSE(played.empty());
    for (const QSize& size : played) EXPECT_EQ(size, Viewer()->CopySizeFor(QSize(kClipWidth, kClipHeight)));
    ExpectExactFrame(kClipFrames - 1);

    QTest::keyClick(Viewer(), Qt::Key_J);
    QTRY_VERIFY_WITH_TIMEOUT(Bar()->CurrentFrame() < kClipFrames - 1 || !Bar()->Playing(), 20000);
    QTest::keyClick(Viewer(), Qt::Key_K);
    ExpectExactFrame(Bar()->CurrentFrame());

    QTest::keyClick(Viewer(), Qt::Key_Home);
    QTest::keyClick(Viewer(), Qt::Key_L);
    QTRY_VERIFY_WITH_TIMEOUT(Bar()->CurrentFrame() > 0 || !Bar()->Playing(), 20000);
    const std::int64_t at = Bar()->CurrentFrame();
    QTest::keyClick(Viewer(), Qt::Key_Right);
    EXPECT_FALSE(Bar()->Playing());
    ExpectExactFrame(std::min<std::int64_t>(at + 1, kClipFrames - 1));
}

// The playing sign, the frame rate and the frames dropped show while
// playing and go when it stops; no label changes its width with its text,
// so neither the bar nor its slider moves.
TEST_F(FrameBarPlaybackTest, PlayingLabelsDoNotMoveTheBar) {
    const char* names[] = {"lblTimecode", "lblFrameNumber", "lblPlaying", "lblPlayRate", "lblDropped"};
    auto geometries = [&] {
        std::vector<QRect> result{Bar()->findChild<QSlider*>("sldFrame")->geometry()};
        for (const char* name : names) result.push_back(window->Find<QLabel>(name)->geometry());
        return result;
    };
    // Every label's text fits in it.
    auto fits = [&] {
        for (const char* name : names) {
            const QLabel* label = window->Find<QLabel>(name);
            if (label->fontMetrics().horizontalAdvance(label->text()) > label->contentsRect().width()) return false;
        }
        return true;
    };
    const QSize hint = Bar()->sizeHint();
    const std::vector<QRect> before = geometries();
    EXPECT_EQ(Label("lblPlaying"), "");
    EXPECT_EQ(Label("lblPlayRate"), "");
    EXPECT_EQ(Label("lblDropped"), "");

    QTest::keyClick(Viewer(), Qt::Key_L);
    ASSERT_TRUE(Bar()->Playing());
    QTRY_VERIFY_WITH_TIMEOUT(Bar()->CurrentFrame() >= 2 || !Bar()->Playing(), 20000);
    if (Bar()->Playing()) {
        EXPECT_EQ(Label("lblPlaying"), QString::fromUtf8("\u25B6"));
        EXPECT_TRUE(Label("lblPlayRate").endsWith(" fps")) << Label("lblPlayRate").toStdString();
        EXPECT_TRUE(Label("lblDropped").endsWith(" dropped")) << Label("lblDropped").toStdString();
        EXPECT_TRUE(fits());
        EXPECT_EQ(geometries(), before);
        EXPECT_EQ(Bar()->sizeHint(), hint);
    }
    QTest::keyClick(Viewer(), Qt::Key_L);  // twice as fast
    if (Bar()->Playing()) {
        EXPECT_EQ(Label("lblPlaying"), QString::fromUtf8("\u25B6 2x"));
        EXPECT_TRUE(fits());
    }
    QTest::keyClick(Viewer(), Qt::Key_K);
    QTest::keyClick(Viewer(), Qt::Key_End);
    QTest::keyClick(Viewer(), Qt::Key_J);
    EXPECT_EQ(Label("lblPlaying"), QString::fromUtf8("\u25C0"));
    QTest::keyClick(Viewer(), Qt::Key_K);
    EXPECT_EQ(Label("lblPlaying"), "");
    EXPECT_EQ(Label("lblDropped"), "");
    EXPECT_TRUE(fits());
    QApplication::processEvents();
    EXPECT_EQ(geometries(), before);
    EXPECT_EQ(Bar()->sizeHint(), hint);
}

// An interlaced clip says so in the status line, beside its size.
TEST(StatusLineTest, SaysWhenTheClipIsInterlaced) {
    TStatusLine line(nullptr);
    line.SetFrame("shot.mov", QSize(1920, 1080));
    EXPECT_EQ(line.Text(), "shot.mov 1920 x 1080   |   no reference   |   strength 100%");
    line.SetInterlaced(true);
    EXPECT_EQ(line.Text(), "shot.mov 1920 x 1080   |   interlaced   |   no reference   |   strength 100%");
    line.SetInterlaced(false);
    EXPECT_EQ(line.Text(), "shot.mov 1920 x 1080   |   no reference   |   strength 100%");
}

}  // namespace
