#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMainWindow>
#include <QMouseEvent>
#include <QSettings>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <memory>

#include "app/FootageChoice.h"
#include "app/ImageViewer.h"
#include "app/PreviewPanel.h"
#include "app/ScopesPanel.h"
#include "app/ViewerWorkingCopy.h"
#include "app/ViewerZoom.h"
#include "engine/look/GradingRoad.h"
#include "engine/look/SourceMatch.h"
#include "engine/lut/LUT.h"
#include "engine/picture/ImageResize.h"
#include "grading/GradingSession.h"
#include "imageio/ImageFile.h"
#include "tests/app/FakeDialogs.h"

namespace {

// ---- the zoom's geometry ---------------------------------------------------------

TEST(ViewerZoomTest, FitZoomAroundAPointPanAndLadder) {
    TViewerZoom zoom;
    zoom.SetView(QSize(800, 600), 3);
    zoom.SetFrame(QSize(4000, 2000));
    // Fit: the frame fitted into the view less the margins, centred.
    EXPECT_TRUE(zoom.Fit());
    EXPECT_EQ(zoom.FitSize(), QSize(794, 397));
    EXPECT_EQ(zoom.Picture(), QRectF(3, (600 - 397) / 2, 794, 397));
    EXPECT_FALSE(zoom.Pannable());
    EXPECT_EQ(zoom.Percent(), 20);  // 794 / 4000

    // A zoom keeps the frame point under the given view point.
    const QPointF at(200, 150);
    const QPointF frameBefore = (at - zoom.Picture().topLeft()) / zoom.Scale();
    zoom.SetScale(1.0, at);
    EXPECT_FALSE(zoom.Fit());
    EXPECT_EQ(zoom.Percent(), 100);
    const QPointF frameAfter = (at - zoom.Picture().topLeft()) / zoom.Scale();
    EXPECT_NEAR(frameAfter.x(), frameBefore.x(), 1.0);
    EXPECT_NEAR(frameAfter.y(), frameBefore.y(), 1.0);
    EXPECT_TRUE(zoom.Pannable());

    // Panning never uncovers the view.
    zoom.Pan(QPointF(100000, 100000));
    EXPECT_EQ(zoom.Picture().topLeft(), QPointF(0, 0));
    zoom.Pan(QPointF(-100000, -100000));
    EXPECT_EQ(zoom.Picture().bottomRight(), QPointF(800, 600));

    // The ladder: in and out go back to the same levels, within 10..800 %.
    zoom.StepIn(at);
    EXPECT_EQ(zoom.Percent(), 150);
    zoom.StepOut(at);
    EXPECT_EQ(zoom.Percent(), 100);
    for (int i = 0; i < 30; ++i) zoom.StepIn(at);
    EXPECT_EQ(zoom.Percent(), 800);
    for (int i = 0; i < 30; ++i) zoom.StepOut(at);
    EXPECT_EQ(zoom.Percent(), 10);
    zoom.SetScale(50.0, at);
    EXPECT_EQ(zoom.Percent(), 800);

    // A picture smaller than the view is centred and cannot be panned.
    zoom.SetScale(0.1, at);
    EXPECT_EQ(zoom.Picture(), QRectF(200, 200, 400, 200));
    zoom.Pan(QPointF(50, 50));
    EXPECT_EQ(zoom.Picture(), QRectF(200, 200, 400, 200));

    // A frame of the same size (a clip's next one) keeps a pan; another size is centred.
    zoom.SetScale(1.0, QPointF(0, 0));
    zoom.Pan(QPointF(-500, -300));
    const QRectF panned = zoom.Picture();
    zoom.SetFrame(QSize(4000, 2000));
    EXPECT_EQ(zoom.Picture(), panned);
    zoom.SetFrame(QSize(2000, 2000));
    EXPECT_EQ(zoom.Picture().center(), QPointF(400, 300));

    // Back to fit, and a frame smaller than the view is never enlarged.
    zoom.SetFit();
    zoom.SetFrame(QSize(200, 100));
    EXPECT_EQ(zoom.Picture(), QRectF(300, 250, 200, 100));
    EXPECT_EQ(zoom.Percent(), 100);
}

TEST(ViewerWorkingCopyTest, MadeOnceGrownOnlyAndNeverBeyondTheFrame) {
    TViewerWorkingCopy working;
    EXPECT_FALSE(working.Update(QSize(100, 50)));
    working.SetFrame(ColourfulPicture(600, 300));
    EXPECT_TRUE(working.Update(QSize(300, 150)));
    EXPECT_EQ(working.Copies(), 1);
    TImage expected;
    ResizeImage(300, 150, kLanczos3Filter, expected, working.Frame(), 0.0f);
    EXPECT_TRUE(working.Copy().SamePixels(expected));
    // Smaller or equal views keep the copy; a larger one gets a new copy.
    EXPECT_FALSE(working.Update(QSize(200, 100)));
    EXPECT_FALSE(working.Update(QSize(300, 150)));
    EXPECT_TRUE(working.Update(QSize(400, 200)));
    EXPECT_EQ(working.Copies(), 2);
    EXPECT_EQ(working.Copy().Width(), 400);
    // At most the frame's size, then a plain copy of it.
    EXPECT_TRUE(working.Update(QSize(1600, 800)));
    EXPECT_TRUE(working.Copy().SamePixels(working.Frame()));
    EXPECT_FALSE(working.Update(QSize(3000, 1500)));
    // Back to a far smaller view: a copy of that size; a little smaller keeps it.
    EXPECT_FALSE(working.Shrink(QSize(500, 250)));
    EXPECT_TRUE(working.Shrink(QSize(300, 150)));
    EXPECT_EQ(working.Copy().Width(), 300);
    EXPECT_TRUE(working.Update(QSize(600, 300)));
    // A maker (the footage's conversion) makes it; Remake keeps the size.
    int made = 0;
    auto maker = [&](const TImage& full, QSize size) {
        ++made;
        return TViewerWorkingCopy::Resampled(full, size);
    };
    working.Remake(maker);
    EXPECT_EQ(made, 1);
    EXPECT_EQ(working.Copy().Width(), 600);
    // A new frame needs a new copy.
    working.SetFrame(ColourfulPicture(100, 80));
    EXPECT_TRUE(working.Copy().Empty());
    EXPECT_TRUE(working.Update(QSize(300, 150), maker));
    EXPECT_EQ(working.Copy().Width(), 100);
    EXPECT_EQ(made, 2);
}

// ---- the control -----------------------------------------------------------------

void SendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void Drag(QWidget* widget, QPoint from, QPoint to) {
    SendMouse(widget, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

void Wheel(QWidget* widget, QPoint at, int delta) {
    QWheelEvent event(QPointF(at), QPointF(widget->mapToGlobal(at)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

// The colour painted at a control point.
QRgb PaintedAt(QWidget* widget, QPoint at) {
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32).pixel(at);
}

QRgb PixelOf(const TImage& image, int x, int y) {
    const std::uint8_t* p = image.Row(y) + 3 * x;
    return qRgb(p[2], p[1], p[0]);
}

TEST(ImageViewerZoomTest, ZoomAndPanMoveThePictureButNeverItsPixels) {
    TImageViewer viewer;
    viewer.resize(600, 400);
    viewer.show();
    QApplication::processEvents();
    viewer.SetImage(ColourfulPicture(1200, 800));
    // The owner's grade.
    for (int y = 0; y < viewer.Display().Height(); ++y) viewer.Display().Row(y)[7] ^= 0x55;
    const TImage graded = viewer.Display().Clone();
    QList<int> reported;
    QObject::connect(&viewer, &TImageViewer::ZoomChanged, [&](int percent) { reported.push_back(percent); });

    // 100 %: one frame pixel on one screen pixel, the graded one.
    viewer.ZoomTo100();
    EXPECT_EQ(viewer.ZoomPercent(), 100);
    EXPECT_EQ(reported, QList<int>({100}));
    EXPECT_TRUE(viewer.Pannable());
    const QPoint middle(300, 200);
    const int fx = viewer.ClientToImageX(middle.x()), fy = viewer.ClientToImageY(middle.y());
    EXPECT_EQ(PaintedAt(&viewer, middle), PixelOf(graded, fx, fy));
    EXPECT_EQ(PaintedAt(&viewer, middle + QPoint(1, 0)), PixelOf(graded, fx + 1, fy));

    // Dragging pans instead of drawing the rubber band.
    Drag(&viewer, QPoint(300, 200), QPoint(250, 170));
    EXPECT_FALSE(viewer.SelectionVisible());
    EXPECT_EQ(viewer.ClientToImageX(250), fx);
    EXPECT_EQ(viewer.ClientToImageY(170), fy);

    // The wheel zooms around the cursor: the frame pixel under it stays.
    const QPoint cursor(100, 300);
    const int cx = viewer.ClientToImageX(cursor.x()), cy = viewer.ClientToImageY(cursor.y());
    Wheel(&viewer, cursor, 120);
    EXPECT_EQ(viewer.ZoomPercent(), 150);
    EXPECT_NEAR(viewer.ClientToImageX(cursor.x()), cx, 1);
    EXPECT_NEAR(viewer.ClientToImageY(cursor.y()), cy, 1);
    Wheel(&viewer, cursor, -240);
    EXPECT_EQ(viewer.ZoomPercent(), 67);
    viewer.ZoomIn();
    EXPECT_EQ(viewer.ZoomPercent(), 100);
    viewer.ZoomOut();
    EXPECT_EQ(viewer.ZoomPercent(), 67);

    // Back to fit: the whole picture, and a drag draws the rubber band again.
    viewer.FitToView();
    EXPECT_TRUE(viewer.Fit());
    EXPECT_FALSE(viewer.Pannable());
    EXPECT_EQ(viewer.ZoomPercent(), reported.back());
    EXPECT_EQ(viewer.PictureRect().height(), 400 - 2 * TImageViewer::Margin);
    Drag(&viewer, QPoint(200, 100), QPoint(300, 200));
    EXPECT_TRUE(viewer.SelectionVisible());
    // None of it touched the grade.
    EXPECT_TRUE(viewer.Display().SamePixels(graded));
}

TEST(ImageViewerZoomTest, SplitWorksOnTheZoomedViewAgainstTheComparison) {
    TImageViewer viewer;
    viewer.resize(600, 400);
    viewer.show();
    QApplication::processEvents();
    viewer.SetImage(FlatPicture(1200, 800, 40, 40, 40));
    TImage& display = viewer.Display();
    for (int y = 0; y < display.Height(); ++y)
        for (int x = 0; x < display.Width(); ++x) display.Row(y)[3 * x + 2] = 255;  // graded: red
    viewer.SetSplitView(true);
    viewer.SetSplitPosition(0.5);
    viewer.ZoomAt(2.0, QPointF(0, 0));
    ASSERT_TRUE(viewer.Pannable());
    // The divider divides the part on screen: in the view's middle.
    EXPECT_EQ(viewer.DividerX(), 300);
    const int y = 60;
    EXPECT_EQ(PaintedAt(&viewer, QPoint(290, y)), qRgb(40, 40, 40));  // ungraded left
    EXPECT_EQ(PaintedAt(&viewer, QPoint(310, y)), qRgb(255, 40, 40));
    // The working copy's column under the divider.
    EXPECT_NEAR(viewer.DividerColumn(), viewer.ClientToImageX(300), 1);

    // The divider is taken and moved on the zoomed view.
    Drag(&viewer, QPoint(301, y), QPoint(150, y));
    EXPECT_DOUBLE_EQ(viewer.SplitPosition(), 0.25);
    EXPECT_EQ(PaintedAt(&viewer, QPoint(140, y)), qRgb(40, 40, 40));
    EXPECT_EQ(PaintedAt(&viewer, QPoint(160, y)), qRgb(255, 40, 40));

    // Another comparison shows left of the divider until the next picture.
    viewer.SetComparison(FlatPicture(1200, 800, 0, 200, 0));
    EXPECT_EQ(PaintedAt(&viewer, QPoint(140, y)), qRgb(0, 200, 0));
    EXPECT_EQ(PaintedAt(&viewer, QPoint(160, y)), qRgb(255, 40, 40));
    viewer.SetImage(FlatPicture(1200, 800, 40, 40, 40));
    EXPECT_TRUE(viewer.Comparison().SamePixels(viewer.Scaled()));
}

// ---- the panel: working copy, grade and full screen ---------------------------------

std::unique_ptr<TLUT> SomeLook(const TImage& picture, int saturation) {
    TLookPositions positions;
    positions.Saturation = saturation;
    return MakeLookLut(MakeLookSettings(FrameStatistics(picture), positions));
}

struct TPanelFixture : ::testing::Test {
    QTemporaryDir dir;
    TFakeDialogs dialogs;
    QMainWindow window;
    TGradingSession state;
    QComboBox footageCombo;
    std::unique_ptr<TFootageChoice> footage;
    QToolButton original, split;
    QSplitter* splitter = nullptr;
    std::unique_ptr<TPreviewPanel> panel;

    void SetUp() override {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
        footage = std::make_unique<TFootageChoice>(&footageCombo, state);
        auto* scopes = new TScopesPanel(&window);
        splitter = new QSplitter(Qt::Vertical, &window);
        window.setCentralWidget(splitter);
        original.setCheckable(true);
        split.setCheckable(true);
        panel = std::make_unique<TPreviewPanel>(state, &window, splitter, &window, scopes, &original, &split);
        panel->CreateMenu();
        panel->Connect();
        scopes->Attach([this] { return panel->ScopeSource(); });
        splitter->addWidget(new QWidget);
        splitter->addWidget(panel->Viewer());
        splitter->setStretchFactor(0, 0);
        splitter->setStretchFactor(1, 1);
        splitter->setSizes({40, 660});
        window.resize(900, 700);
        window.show();
        QApplication::processEvents();
    }
    QString Save(const char* name, const TImage& picture) {
        const QString file = dir.filePath(name);
        SaveImageFile(file.toStdString(), picture);
        return file;
    }
    TImageViewer& Viewer() { return *panel->Viewer(); }
    // The viewer's size settled: a larger working copy is made if needed.
    void Settle() {
        QApplication::processEvents();
        QTest::qWait(400);
    }
    QAction* Action(const char* name) {
        for (QAction* action : panel->ViewActions())
            if (action->objectName() == name) return action;
        return nullptr;
    }
};

TEST_F(TPanelFixture, WorkingCopyIsMadeOncePerOpenAtTheViewersSizeAndGradedAsExported) {
    const TImage full = ColourfulPicture(2400, 1200);
    panel->OpenPreviewFile(Save("big.png", full));
    const TViewerWorkingCopy& working = panel->WorkingCopy();
    EXPECT_EQ(working.Copies(), 1);
    // Sharp: made at the size the viewer shows it, from the full picture.
    const QSize fit = Viewer().FitSizeFor(QSize(2400, 1200));
    EXPECT_EQ(QSize(working.Copy().Width(), working.Copy().Height()), fit);
    EXPECT_TRUE(Viewer().Scaled().SamePixels(TViewerWorkingCopy::Resampled(full, fit)));
    EXPECT_EQ(Viewer().PictureRect().size().toSize(), fit);
    // The state's preview is the one every result is made from, whatever the window.
    EXPECT_TRUE(state.Preview().SamePixels(FitImage(full, 1000, 500)));

    // The graded view is the working copy graded with the active LUT, as an export grades.
    state.SetPreviewLut(SomeLook(full, 170), "look");
    panel->GradeDisplay();
    TImage expected = Viewer().Scaled().Clone();
    GradePicture(state.ActiveLut(), expected);
    EXPECT_TRUE(Viewer().Display().SamePixels(expected));
    EXPECT_FALSE(Viewer().Display().SamePixels(Viewer().Scaled()));
    // Regrades, zooms and a smaller window make no copy.
    state.SetPreviewLut(SomeLook(full, 40), "look");
    panel->GradeDisplay();
    Viewer().ZoomTo100();
    Viewer().FitToView();
    window.resize(700, 600);
    Settle();
    EXPECT_EQ(working.Copies(), 1);

    // A larger window makes one larger copy, graded again.
    window.resize(1200, 1000);
    Settle();
    EXPECT_EQ(working.Copies(), 2);
    const QSize larger = Viewer().FitSizeFor(QSize(2400, 1200));
    EXPECT_GT(larger.width(), fit.width());
    EXPECT_EQ(QSize(working.Copy().Width(), working.Copy().Height()), larger);
    expected = Viewer().Scaled().Clone();
    GradePicture(state.ActiveLut(), expected);
    EXPECT_TRUE(Viewer().Display().SamePixels(expected));
    EXPECT_TRUE(state.Preview().SamePixels(FitImage(full, 1000, 500)));

    // 100 % shows the frame's own pixels, graded; back at fit the copy is
    // the fit size again.
    Viewer().ZoomTo100();
    Settle();
    EXPECT_EQ(working.Copies(), 3);
    EXPECT_TRUE(Viewer().Scaled().SamePixels(full));
    expected = full.Clone();
    GradePicture(state.ActiveLut(), expected);
    EXPECT_TRUE(Viewer().Display().SamePixels(expected));
    EXPECT_EQ(Viewer().ZoomPercent(), 100);
    Viewer().FitToView();
    Settle();
    EXPECT_EQ(working.Copies(), 4);
    EXPECT_EQ(QSize(working.Copy().Width(), working.Copy().Height()), larger);

    // A frame that fits the preview box: the view grades the very preview.
    const TImage small = ColourfulPicture(400, 200);
    panel->OpenPreviewFile(Save("small.png", small));
    EXPECT_EQ(working.Copies(), 5);
    EXPECT_TRUE(Viewer().Scaled().SamePixels(state.Preview()));
    expected = state.Preview().Clone();
    GradePicture(state.ActiveLut(), expected);
    EXPECT_TRUE(Viewer().Display().SamePixels(expected));
}

TEST_F(TPanelFixture, SplitComparesWithTheUngradedCopyOrAnotherLookAndTheScopesFollow) {
    const TImage full = ColourfulPicture(1600, 900);
    panel->OpenPreviewFile(Save("frame.png", full));
    state.SetPreviewLut(SomeLook(full, 180), "look");
    panel->GradeDisplay();
    split.setChecked(true);
    ASSERT_TRUE(Viewer().SplitView());
    Viewer().SetSplitPosition(0.4);
    TScopeSource source = panel->ScopeSource();
    EXPECT_EQ(source.Picture.Left, &Viewer().Scaled());
    EXPECT_EQ(source.Picture.Right, &Viewer().Display());
    EXPECT_EQ(source.Picture.Divider, Viewer().DividerColumn());
    // Zoomed in, the divider's column follows the view.
    Viewer().ZoomAt(1.0, QPointF(0, 0));
    const int zoomedColumn = panel->ScopeSource().Picture.Divider;
    EXPECT_LT(zoomedColumn, source.Picture.Divider);
    EXPECT_NEAR(zoomedColumn, Viewer().ClientToImageX(Viewer().DividerX()) * Viewer().Scaled().Width() / 1600.0, 1);

    // Another look on the other side: the working copy graded with it.
    const std::unique_ptr<TLUT> other = SomeLook(full, 20);
    panel->SetComparisonLut(other.get());
    TImage expected = Viewer().Scaled().Clone();
    GradePicture(*other, expected);
    EXPECT_TRUE(Viewer().Comparison().SamePixels(expected));
    EXPECT_EQ(panel->ScopeSource().Picture.Left, &Viewer().Comparison());
    // It follows a new working copy, and goes when taken away.
    window.resize(1300, 1100);
    Settle();
    expected = Viewer().Scaled().Clone();
    GradePicture(*other, expected);
    EXPECT_TRUE(Viewer().Comparison().SamePixels(expected));
    panel->SetComparisonLut(nullptr);
    EXPECT_TRUE(Viewer().Comparison().SamePixels(Viewer().Scaled()));
}

TEST_F(TPanelFixture, FullScreenAndZoomKeysAreTheWindowsActions) {
    panel->OpenPreviewFile(Save("frame.png", ColourfulPicture(3000, 1500)));
    ASSERT_EQ(panel->ViewActions().size(), 5);
    for (QAction* action : panel->ViewActions()) EXPECT_TRUE(window.actions().contains(action));
    EXPECT_EQ(Action("miFullScreen")->shortcut(), QKeySequence(Qt::Key_F11));
    EXPECT_EQ(Action("miZoomFit")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_0));
    EXPECT_EQ(Action("miZoom100")->shortcut(), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_0));
    EXPECT_EQ(Action("miZoomIn")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Plus));
    EXPECT_EQ(Action("miZoomOut")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Minus));

    // The keys zoom.
    window.activateWindow();
    QTest::keyClick(&window, Qt::Key_0, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(Viewer().ZoomPercent(), 100);
    QTest::keyClick(&window, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(Viewer().ZoomPercent(), 67);
    QTest::keyClick(&window, Qt::Key_0, Qt::ControlModifier);
    EXPECT_TRUE(Viewer().Fit());

    // F11: the viewer alone fills a full-screen window; Esc puts it back.
    const QList<int> sizes = splitter->sizes();
    Action("miFullScreen")->trigger();
    ASSERT_TRUE(panel->FullScreen());
    QWidget* host = Viewer().window();
    EXPECT_NE(host, &window);
    EXPECT_TRUE(host->isFullScreen());
    EXPECT_TRUE(Action("miFullScreen")->isChecked());
    EXPECT_TRUE(Action("miFullScreen")->shortcuts().contains(QKeySequence(Qt::Key_Escape)));
    EXPECT_EQ(Viewer().size(), host->size());
    host->activateWindow();
    QTest::keyClick(host, Qt::Key_Escape);
    EXPECT_FALSE(panel->FullScreen());
    EXPECT_EQ(Viewer().window(), &window);
    EXPECT_EQ(splitter->indexOf(&Viewer()), 1);
    EXPECT_EQ(splitter->sizes(), sizes);
    EXPECT_FALSE(Action("miFullScreen")->isChecked());
    EXPECT_EQ(Viewer().palette().color(QPalette::Window), window.palette().color(QPalette::Window));
    // Outside full screen Esc is left to the window.
    EXPECT_FALSE(Action("miFullScreen")->shortcuts().contains(QKeySequence(Qt::Key_Escape)));
    // F11 twice comes back too, with no copy made for the way back.
    const int copies = panel->WorkingCopy().Copies();
    Action("miFullScreen")->trigger();
    Action("miFullScreen")->trigger();
    EXPECT_FALSE(panel->FullScreen());
    EXPECT_EQ(Viewer().window(), &window);
    Settle();
    EXPECT_GE(panel->WorkingCopy().Copies(), copies);
}

}  // namespace
