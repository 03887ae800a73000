#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>

#include "app/ImageViewer.h"
#include "imageio/ColourProfile.h"
#include "tests/app/FakeDialogs.h"

namespace {

void SendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), button, buttons, modifiers);
    QApplication::sendEvent(widget, &event);
}

void Press(QWidget* w, QPoint at) { SendMouse(w, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton); }
void Move(QWidget* w, QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    SendMouse(w, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton, modifiers);
}
void Release(QWidget* w, QPoint at) { SendMouse(w, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton); }

struct TViewerFixture : ::testing::Test {
    TImageViewer viewer;
    void Show(int width, int height) {
        viewer.resize(width, height);
        viewer.show();
        QApplication::processEvents();
    }
};

// The bounding box of the pixels that differ from the top-left one.
QRect InkBox(const QImage& image) {
    const QRgb background = image.pixel(0, 0);
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background) box |= QRect(x, y, 1, 1);
    return box;
}

}  // namespace

TEST_F(TViewerFixture, FitsWithAMarginAndCentres) {
    Show(1200, 400);
    ASSERT_EQ(viewer.size(), QSize(1200, 400));
    viewer.SetImage(ColourfulPicture(1000, 500));
    // The picture given is the one graded and painted; the control scales it.
    EXPECT_EQ(viewer.Display().Width(), 1000);
    EXPECT_TRUE(viewer.Display().SamePixels(viewer.Scaled()));
    EXPECT_EQ(viewer.FrameSize(), QSize(1000, 500));
    EXPECT_TRUE(viewer.Fit());

    // Fitted: inside the margin, touching it on the tight side, its shape
    // kept, centred.
    const QRectF picture = viewer.PictureRect();
    EXPECT_TRUE(QRectF(viewer.rect()).adjusted(3, 3, -3, -3).contains(picture));
    EXPECT_EQ(picture.height(), 400 - 2 * TImageViewer::Margin);
    EXPECT_NEAR(picture.width() / picture.height(), 2.0, 0.01);
    EXPECT_NEAR(picture.left(), 1200 - picture.right(), 1.0);
    EXPECT_EQ(viewer.FitSizeFor(QSize(1000, 500)), picture.size().toSize());
    EXPECT_DOUBLE_EQ(viewer.ScaleX(), picture.width() / 1000);

    // Client to frame pixels: the left edge maps to 0, the far edge is outside.
    EXPECT_EQ(viewer.ClientToImageX(viewer.OffsetX()), 0);
    EXPECT_NEAR(viewer.ClientToImageX(600), 500, 1);
    EXPECT_EQ(viewer.ClientToImageX(static_cast<int>(picture.right()) + 1), -1);
    EXPECT_LT(viewer.ClientToImageX(viewer.OffsetX() - 20), 0);
    EXPECT_NEAR(viewer.ClientToImageY(200), 250, 1);
    EXPECT_EQ(viewer.ClientToImageY(399), -1);

    // A small picture is not enlarged.
    viewer.SetImage(ColourfulPicture(200, 100));
    EXPECT_EQ(viewer.PictureRect().size(), QSizeF(200, 100));
    EXPECT_EQ(viewer.ZoomPercent(), 100);

    // The painted picture sits where the control says it is.
    const QImage shot = viewer.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(InkBox(shot), viewer.PictureRect().toRect());
    EXPECT_NEAR(InkBox(shot).center().x(), 600, 1);
}

TEST_F(TViewerFixture, PromptIsCentredWithoutAPicture) {
    for (QSize size : {QSize(600, 300), QSize(900, 120)}) {
        Show(size.width(), size.height());
        EXPECT_FALSE(viewer.HasImage());
        EXPECT_EQ(viewer.ClientToImageX(10), -1);
        const QImage shot = viewer.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRect ink = InkBox(shot);
        ASSERT_FALSE(ink.isEmpty());
        // A line of text, wider than high, about in the middle.
        EXPECT_GT(ink.width(), 3 * ink.height());
        EXPECT_NEAR(ink.center().x(), size.width() / 2, 3);
        EXPECT_NEAR(ink.center().y(), size.height() / 2, 5);
        // The text is grey 128.
        bool grey = false;
        for (int x = ink.left(); x <= ink.right() && !grey; ++x)
            for (int y = ink.top(); y <= ink.bottom() && !grey; ++y) grey = shot.pixel(x, y) == qRgb(128, 128, 128);
        EXPECT_TRUE(grey);
    }
}

TEST_F(TViewerFixture, RubberBandRules) {
    Show(1200, 400);
    viewer.SetImage(FlatPicture(1000, 500, 100, 100, 100));
    int changes = 0;
    viewer.OnSelectionChange = [&](TImageViewer* sender) {
        EXPECT_EQ(sender, &viewer);
        ++changes;
    };

    // The first move makes the band exist, the second draws it.
    Press(&viewer, {300, 100});
    Move(&viewer, {350, 150});
    EXPECT_TRUE(viewer.SelectionVisible());
    EXPECT_FALSE(viewer.SelectionDrawn());
    Move(&viewer, {400, 200});
    EXPECT_TRUE(viewer.SelectionDrawn());
    Release(&viewer, {400, 200});
    EXPECT_TRUE(viewer.SelectionVisible());
    EXPECT_EQ(viewer.SelectionCorners(), QRect(QPoint(300, 100), QPoint(400, 200)));
    EXPECT_EQ(changes, 1);

    // Drawn dotted in XOR with grey 128 over the picture.
    const QImage shot = viewer.grab().toImage().convertToFormat(QImage::Format_RGB32);
    int xored = 0;
    for (int x = 300; x <= 400; ++x) xored += shot.pixel(x, 100) == qRgb(100 ^ 128, 100 ^ 128, 100 ^ 128);
    EXPECT_GT(xored, 20);
    EXPECT_LT(xored, 95);  // dotted, not solid
    EXPECT_EQ(shot.pixel(350, 150), qRgb(100, 100, 100));

    // A click without moving removes it.
    Press(&viewer, {500, 200});
    EXPECT_FALSE(viewer.SelectionVisible());
    Release(&viewer, {500, 200});
    EXPECT_FALSE(viewer.SelectionVisible());
    EXPECT_EQ(changes, 2);

    // Dragging with Shift changes nothing.
    Press(&viewer, {300, 100});
    Move(&viewer, {350, 150}, Qt::ShiftModifier);
    Move(&viewer, {400, 200}, Qt::ShiftModifier);
    EXPECT_FALSE(viewer.SelectionVisible());
    Release(&viewer, {400, 200});

    // Outside the picture: the press goes to the left / top edge, the drag
    // point to the right / bottom edge.
    Press(&viewer, {20, 1});
    Move(&viewer, {1190, 399});
    Move(&viewer, {1195, 398});
    const QRect picture = viewer.PictureRect().toRect();
    EXPECT_EQ(viewer.SelectionCorners(), QRect(picture.topLeft(), picture.bottomRight()));
    Release(&viewer, {1195, 398});
    EXPECT_TRUE(viewer.SelectionVisible());

    // A resize removes the band, fits the picture again and keeps the
    // owner's grade of it.
    viewer.Display().Row(0)[0] ^= 0xFF;
    const TImage graded = viewer.Display().Clone();
    viewer.resize(1000, 380);
    QApplication::processEvents();
    EXPECT_FALSE(viewer.SelectionVisible());
    EXPECT_TRUE(viewer.Display().SamePixels(graded));
    EXPECT_EQ(viewer.PictureRect().height(), 380 - 2 * TImageViewer::Margin);

    // HideSelection removes a visible band.
    Press(&viewer, {300, 100});
    Move(&viewer, {350, 150});
    EXPECT_TRUE(viewer.SelectionVisible());
    viewer.HideSelection();
    EXPECT_FALSE(viewer.SelectionVisible());
}

TEST_F(TViewerFixture, SplitViewPaintsBothCopiesAndTakesTheDividerOnlyNearIt) {
    Show(600, 300);
    viewer.SetImage(FlatPicture(400, 200, 40, 40, 40));
    // The owner's grade: the display copy turns red.
    TImage& display = viewer.Display();
    for (int y = 0; y < display.Height(); ++y)
        for (int x = 0; x < display.Width(); ++x) {
            std::uint8_t* p = display.Row(y) + 3 * x;
            p[0] = 0, p[1] = 0, p[2] = 255;
        }
    viewer.SetSplitView(true);
    viewer.SetSplitPosition(0.5);
    const int divider = viewer.DividerX();
    const int y = viewer.OffsetY() + 20;  // above the handle
    QImage shot = viewer.grab().toImage();
    EXPECT_EQ(shot.pixelColor(divider - 5, y), QColor(40, 40, 40));  // ungraded left
    EXPECT_EQ(shot.pixelColor(divider + 5, y), QColor(255, 0, 0));   // graded right
    EXPECT_EQ(shot.pixelColor(divider, y), QColor(255, 255, 255));   // the one-pixel divider
    EXPECT_EQ(shot.pixelColor(divider + 1, y), QColor(255, 0, 0));

    // The cursor tells where the divider can be taken.
    SendMouse(&viewer, QEvent::MouseMove, QPoint(divider + 2, y), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(viewer.cursor().shape(), Qt::SplitHCursor);
    SendMouse(&viewer, QEvent::MouseMove, QPoint(divider + 40, y), Qt::NoButton, Qt::NoButton);
    EXPECT_NE(viewer.cursor().shape(), Qt::SplitHCursor);

    // Dragging it moves it, clamped to the picture, and says where it was let go.
    double reported = -1;
    QObject::connect(&viewer, &TImageViewer::SplitPositionChanged, [&](double share) { reported = share; });
    Press(&viewer, QPoint(divider + 3, y));
    Move(&viewer, QPoint(viewer.OffsetX() + 100, y));
    EXPECT_EQ(viewer.DividerX(), viewer.OffsetX() + 100);
    Release(&viewer, QPoint(viewer.OffsetX() - 50, y));
    EXPECT_EQ(viewer.SplitPosition(), 0.0);
    EXPECT_EQ(reported, 0.0);
    EXPECT_FALSE(viewer.SelectionVisible());

    // Away from the divider a drag draws the rubber band as before.
    Press(&viewer, QPoint(viewer.OffsetX() + 150, y));
    Move(&viewer, QPoint(viewer.OffsetX() + 200, y + 40));
    Move(&viewer, QPoint(viewer.OffsetX() + 220, y + 60));
    Release(&viewer, QPoint(viewer.OffsetX() + 220, y + 60));
    EXPECT_TRUE(viewer.SelectionVisible());
    EXPECT_EQ(viewer.SplitPosition(), 0.0);

    // Off: the graded copy alone.
    viewer.SetSplitView(false);
    viewer.HideSelection();
    shot = viewer.grab().toImage();
    EXPECT_EQ(shot.pixelColor(viewer.OffsetX() + 1, y), QColor(255, 0, 0));
}

namespace {

// The picture's area of a shot against what should be painted there, from
// column `from` on.
bool PaintedAs(const QImage& shot, const TImageViewer& viewer, const TImage& expected, int from = 0) {
    for (int y = 0; y < expected.Height(); ++y)
        for (int x = from; x < expected.Width(); ++x) {
            const std::uint8_t* p = expected.Row(y) + 3 * x;
            if (shot.pixel(viewer.OffsetX() + x, viewer.OffsetY() + y) != qRgb(p[2], p[1], p[0])) return false;
        }
    return true;
}

TEST_F(TViewerFixture, ThePaintedCopyFollowsTheGradeAndTheDisplayTransform) {
    const std::string profiles = "/usr/share/color/icc/colord/";
    if (!std::filesystem::exists(profiles + "SwappedRedAndGreen.icc")) GTEST_SKIP() << "colord-data missing";
    TDisplayTransform transform(TColourProfile::FromIccFile(profiles + "SwappedRedAndGreen.icc"));
    Show(300, 200);
    TImage picture(200, 120);
    for (int y = 0; y < picture.Height(); ++y)
        for (int i = 0; i < 3 * picture.Width(); ++i) picture.Row(y)[i] = static_cast<std::uint8_t>(i * 5 + y * 3);
    viewer.SetImage(picture);
    viewer.SetDisplayTransform(&transform);
    // Reading marks nothing out of date: only writing the display copy does.
    const TImageViewer& seen = viewer;
    auto shot = [&] { return viewer.grab().toImage().convertToFormat(QImage::Format_RGB32); };
    EXPECT_TRUE(PaintedAs(shot(), viewer, transform.Apply(seen.Display())));
    // A grade written into the display copy is painted, converted again.
    TImage& display = viewer.Display();
    for (int y = 0; y < display.Height(); ++y)
        for (int i = 0; i < 3 * display.Width(); ++i)
            display.Row(y)[i] = static_cast<std::uint8_t>(255 - display.Row(y)[i]);
    viewer.update();
    EXPECT_TRUE(PaintedAs(shot(), viewer, transform.Apply(seen.Display())));
    // Another profile in the same place: the copy is made again.
    transform = TDisplayTransform(TColourProfile::FromIccFile(profiles + "ProPhotoRGB.icc"));
    const TImage proPhoto = transform.Apply(seen.Display());
    EXPECT_TRUE(PaintedAs(shot(), viewer, proPhoto));
    // The split view's left part is the ungraded copy through the profile.
    viewer.SetSplitView(true);
    viewer.SetSplitPosition(1.0);
    const TImage scaled = transform.Apply(seen.Scaled());
    TImage left(scaled.Width() - 4, scaled.Height());  // the divider's handle is left out
    for (int y = 0; y < left.Height(); ++y) std::memcpy(left.Row(y), scaled.Row(y), 3 * left.Width());
    EXPECT_TRUE(PaintedAs(shot(), viewer, left));
    viewer.SetSplitView(false);
    // A new size converts the new copy; no transform paints the signal.
    viewer.resize(260, 180);
    QApplication::processEvents();
    EXPECT_TRUE(PaintedAs(shot(), viewer, transform.Apply(seen.Display())));
    EXPECT_FALSE(PaintedAs(shot(), viewer, seen.Display()));
    viewer.SetDisplayTransform(nullptr);
    EXPECT_TRUE(PaintedAs(shot(), viewer, seen.Display()));
}

}  // namespace

// Pictures of one size set one after another (a clip's frames) go into the
// memory of the one shown, and each is shown whole and ungraded: a grade
// written into the display copy before does not stay, nor does a change made
// to a picture after it was set.
TEST_F(TViewerFixture, APictureOfTheSameSizeReplacesTheOneShownWhole) {
    Show(300, 200);
    const auto filled = [](int seed) {
        TImage picture(203, 121);
        for (int y = 0; y < picture.Height(); ++y)
            for (int i = 0; i < 3 * picture.Width(); ++i) picture.Row(y)[i] = static_cast<std::uint8_t>(i * seed + y);
        return picture;
    };
    const TImage first = filled(5);
    viewer.SetImage(first);
    const std::uint8_t* memory = viewer.Scaled().Row(0);
    std::fill(viewer.Display().Row(7), viewer.Display().Row(7) + 30, std::uint8_t(0));
    TImage second = filled(7);
    viewer.SetImage(second);
    for (int y = 0; y < second.Height(); ++y) second.Row(y)[0] ^= 0xFF;
    const TImage expected = filled(7);
    EXPECT_EQ(viewer.Scaled().Row(0), memory);
    EXPECT_TRUE(viewer.Scaled().SamePixels(expected));
    EXPECT_TRUE(std::as_const(viewer).Display().SamePixels(expected));
    // Another size: shown at its own.
    viewer.SetImage(TImage(50, 40));
    EXPECT_EQ(viewer.Scaled().Width(), 50);
    EXPECT_TRUE(std::as_const(viewer).Display().SamePixels(TImage(50, 40)));
}
