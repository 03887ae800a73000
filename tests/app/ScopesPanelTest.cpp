#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <cmath>
#include <memory>

#include "app/ImageViewer.h"
#include "app/MainForm.h"
#include "app/ScopesPanel.h"
#include "imageio/ImageFile.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/GradingRig.h"

// The scopes panel: what it measures and how it draws, tested on the panel.
// The first test builds the whole window instead: it checks that Ctrl+K and
// the tool strip's button reach the panel there, that the window grows by
// the panel, and that the window's next start restores it.

namespace {

bool SameScopes(const TScopeData& a, const TScopeData& b) {
    if (a.PixelCount() != b.PixelCount() || a.Columns() != b.Columns()) return false;
    for (int c = 0; c < kScopeChannels; ++c)
        for (int l = 0; l < kScopeLevels; ++l) {
            if (a.Histogram(static_cast<TScopeChannel>(c), l) != b.Histogram(static_cast<TScopeChannel>(c), l))
                return false;
            for (int column = 0; column < a.Columns(); ++column)
                if (a.Waveform(static_cast<TScopeChannel>(c), column, l) !=
                    b.Waveform(static_cast<TScopeChannel>(c), column, l))
                    return false;
        }
    for (int v = 0; v < kVectorscopeCells; ++v)
        for (int u = 0; u < kVectorscopeCells; ++u)
            if (a.Vectorscope(u, v) != b.Vectorscope(u, v)) return false;
    return true;
}

// The scopes of what the viewer shows, measured apart from the panel.
TScopeData Expected(const TImage& shown) {
    TScopeData data;
    data.Measure(TScopeInput{&shown, nullptr, 0},
                 (shown.Height() + TScopesPanel::kMeasuredRows - 1) / TScopesPanel::kMeasuredRows,
                 TScopesPanel::kMeasuredColumns);
    return data;
}

// The scopes panel with the preview, library and look panels it measures,
// on a plain main window, or alone where a test gives it the pictures to
// measure.
class ScopesPanelTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TFakeDialogs dialogs;
    std::unique_ptr<TfrmMain> window;
    std::unique_ptr<TGradingRig> panels;
    // The panel alone on a plain main window, with its tool button.
    std::unique_ptr<QMainWindow> host;
    QToolButton* toggle = nullptr;

    std::string Path(const QString& name) const { return dir.filePath(name).toStdString(); }

    void SetUp() override {
        QDir().mkpath(dir.filePath("lib"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("settings"));
    }
    void TearDown() override {
        window.reset();
        panels.reset();
        host.reset();
    }

    void Open() {
        window = std::make_unique<TfrmMain>(Path("lib"));
        window->show();
        QApplication::processEvents();
    }
    TScopesPanel* OpenPanels() {
        panels = std::make_unique<TGradingRig>(Path("lib"));
        return panels->Scopes();
    }
    TScopesPanel* OpenPanelAlone() {
        host = std::make_unique<QMainWindow>();
        auto* panel = new TScopesPanel(host.get());
        auto* tools = new QToolBar(host.get());
        toggle = panel->MakeToolButton(tools);
        tools->addWidget(toggle);
        host->addToolBar(tools);
        host->setCentralWidget(new QWidget(host.get()));
        host->show();
        QApplication::processEvents();
        return panel;
    }
    template <typename T>
    T* Find(const char* name) const {
        return panels->Host().findChild<T*>(name);
    }
    void Screenshot(const char* name) {
        QDir().mkpath(SCREENSHOT_DIR);
        QApplication::processEvents();
        EXPECT_TRUE(panels->Host().grab().save(QString(SCREENSHOT_DIR) + "/" + name));
    }
};

}  // namespace

TEST_F(ScopesPanelTest, CtrlKAndTheButtonToggleThePanelAndTheSettingsKeepIt) {
    Open();
    TScopesPanel* panel = window->Scopes();
    auto* button = window->findChild<QToolButton*>("sbnScopes");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "Scopes");
    EXPECT_TRUE(panel->isHidden());
    const int base = window->minimumWidth();  // the smallest size or what the texts need
    EXPECT_GE(base, TfrmMain::kMinimumWidth);
    EXPECT_EQ(window->minimumHeight(), TfrmMain::kMinimumHeight);
    const int width = window->width();

    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_K, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(button->isChecked());
    // The window grows by the panel instead of squeezing the preview side,
    // but never beyond the screen.
    const int frame = window->frameGeometry().width() - window->width();
    const int widest = window->screen()->availableGeometry().width() - frame;
    EXPECT_LE(window->width(), widest);
    EXPECT_LE(window->minimumWidth(), widest);
    EXPECT_GE(window->width(), std::min(width + TScopesPanel::kPanelWidth, widest));
    EXPECT_GE(window->minimumWidth(), std::min(base + TScopesPanel::kPanelWidth, widest));
    EXPECT_GE(panel->width(), TScopesPanel::kMinimumPanelWidth);
    EXPECT_GE(window->centralWidget()->width(), window->centralWidget()->minimumSizeHint().width());
    window->findChild<QComboBox*>("cbxScope")->setCurrentIndex(2);
    EXPECT_EQ(panel->Kind(), TScopeKind::Vectorscope);

    // A new window opens with the panel as it was left.
    window.reset();
    Open();
    EXPECT_TRUE(window->Scopes()->isVisible());
    EXPECT_EQ(window->Scopes()->Kind(), TScopeKind::Vectorscope);
    window->findChild<QToolButton*>("sbnScopes")->click();
    EXPECT_TRUE(window->Scopes()->isHidden());
    EXPECT_EQ(window->minimumSize(), QSize(base, TfrmMain::kMinimumHeight));
    window.reset();
    Open();
    EXPECT_TRUE(window->Scopes()->isHidden());
}

TEST_F(ScopesPanelTest, ScopesFollowEveryChangeOfThePreview) {
    SaveJpegFile(Path("lib/meadow.jpeg"), ColourfulPicture(150, 100));
    SaveImageFile(Path("frame.bmp"), ColourfulPicture(1000, 562));
    TScopesPanel* panel = OpenPanels();
    Find<QToolButton>("sbnScopes")->click();
    ASSERT_TRUE(panel->isVisible());
    dialogs.PicturesToOpen.push_back(QString::fromStdString(Path("frame.bmp")));
    panels->Preview().OpenClick();
    QApplication::processEvents();
    const TImageViewer* viewer = panels->Preview().Viewer();
    ASSERT_FALSE(viewer->Display().Empty());
    EXPECT_TRUE(SameScopes(panel->Data(), Expected(viewer->Display())));
    EXPECT_FALSE(panel->HasReference());
    EXPECT_FALSE(panel->Drawing().isNull());
    Screenshot("main_scopes_ungraded.png");

    // Selecting the reference grades the preview: the scopes show the grade
    // and the reference's chroma.
    const QList<QListWidgetItem*> items = panels->Library().List()->findItems("meadow", Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1);
    items.first()->setSelected(true);
    QApplication::processEvents();
    ASSERT_FALSE(viewer->Display().SamePixels(viewer->Scaled()));
    EXPECT_TRUE(SameScopes(panel->Data(), Expected(viewer->Display())));
    EXPECT_TRUE(panel->HasReference());
    Screenshot("main_scopes_graded.png");
    const QImage waveform = panel->Drawing();
    Find<QCheckBox>("cbxParade")->setChecked(true);
    EXPECT_NE(panel->Drawing(), waveform);
    Screenshot("main_scopes_parade.png");
    Find<QCheckBox>("cbxParade")->setChecked(false);
    EXPECT_EQ(panel->Drawing(), waveform);

    // Every regrade measures again, once per event.
    QApplication::processEvents();
    const int measured = panel->MeasureCount();
    Find<QSlider>("tbrSaturation")->setValue(170);
    QApplication::processEvents();

    EXPECT_EQ(panel->MeasureCount(), measured + 1);
    EXPECT_TRUE(SameScopes(panel->Data(), Expected(viewer->Display())));

    // The original while it is asked for, the grade again after.
    auto* original = Find<QToolButton>("sbnShowOriginal");
    original->click();
    QApplication::processEvents();
    EXPECT_TRUE(SameScopes(panel->Data(), Expected(viewer->Scaled())));
    original->click();
    QApplication::processEvents();
    EXPECT_TRUE(SameScopes(panel->Data(), Expected(viewer->Display())));
    EXPECT_FALSE(SameScopes(panel->Data(), Expected(viewer->Scaled())));

    // Hidden, the panel measures nothing; shown again, it catches up.
    Find<QToolButton>("sbnScopes")->click();
    const int hiddenAt = panel->MeasureCount();
    Find<QSlider>("tbrSaturation")->setValue(60);
    QApplication::processEvents();
    EXPECT_EQ(panel->MeasureCount(), hiddenAt);
    Find<QToolButton>("sbnScopes")->click();
    QApplication::processEvents();
    EXPECT_TRUE(SameScopes(panel->Data(), Expected(viewer->Display())));
}

TEST_F(ScopesPanelTest, SplitViewInputMeasuresBothSides) {
    TScopesPanel* panel = OpenPanelAlone();
    TImage left = ColourfulPicture(300, 200), right(300, 200);
    panel->Attach([&] { return TScopeSource{TScopeInput{&left, &right, 100}, nullptr, nullptr}; });
    panel->RefreshNow();
    // Right is black: its 200 columns add 200 x 200 pixels at level 0.
    TScopeData leftOnly;
    TImage cut(100, 200);
    for (int y = 0; y < 200; ++y) std::copy_n(left.Row(y), 300, cut.Row(y));
    leftOnly.Measure(cut);
    EXPECT_EQ(panel->Data().Histogram(scRed, 0), leftOnly.Histogram(scRed, 0) + 200u * 200u);
    EXPECT_EQ(panel->Data().PixelCount(), 300u * 200u);
}

TEST_F(ScopesPanelTest, ReferenceOverlayLeavesOutTheCellPaddingAndIsExplained) {
    // A reference of one saturated red, centred on the white of its cell.
    TImage cell(150, 150);
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 150; ++x) {
            std::uint8_t* p = cell.Row(y) + 3 * x;
            const bool inside = y >= 30 && y < 120;
            p[0] = inside ? 30 : 255;
            p[1] = inside ? 40 : 255;
            p[2] = inside ? 210 : 255;
        }
    const TImage picture = PictureOfCell(cell);
    EXPECT_EQ(picture.Width(), 150);
    EXPECT_EQ(picture.Height(), 90);
    EXPECT_TRUE(PictureOfCell(FlatPicture(20, 10, 255, 255, 255)).SamePixels(FlatPicture(20, 10, 255, 255, 255)));
    // Counted with its padding, the cell has neutral highlights.
    TColorStats padded;
    ComputeColorStats(cell, padded);
    ASSERT_GT(padded.PixelCounts[2], 0);
    ASSERT_LT(std::hypot(padded.Ranges[2].MeanU, padded.Ranges[2].MeanV), 0.01);

    TScopesPanel* panel = OpenPanelAlone();
    toggle->click();
    TImage frame = ColourfulPicture(200, 100);
    panel->Attach([&] { return TScopeSource{TScopeInput{&frame}, &cell, &padded}; });
    panel->SetKind(TScopeKind::All);
    panel->RefreshNow();
    ASSERT_TRUE(panel->HasReference());
    // Shown without the padding: no highlights, and no range near neutral.
    const TColorStats& shown = panel->ShownReferenceStats();
    EXPECT_EQ(shown.PixelCounts[2], 0);
    for (const TRangeStats& range : shown.Ranges) EXPECT_GT(std::hypot(range.MeanU, range.MeanV), 0.2);
    // The legend goes with the vectorscope while a reference is there.
    EXPECT_TRUE(panel->Legend()->isVisibleTo(panel));
    EXPECT_FALSE(panel->Legend()->text().isEmpty());
    panel->SetKind(TScopeKind::Histogram);
    EXPECT_FALSE(panel->Legend()->isVisibleTo(panel));
    panel->SetKind(TScopeKind::Vectorscope);
    EXPECT_TRUE(panel->Legend()->isVisibleTo(panel));
    panel->Attach([&] { return TScopeSource{TScopeInput{&frame}, nullptr, nullptr}; });
    panel->RefreshNow();
    EXPECT_FALSE(panel->Legend()->isVisibleTo(panel));
}

TEST_F(ScopesPanelTest, EachScopeFillsThePanelAndFollowsItsSize) {
    SaveImageFile(Path("frame.bmp"), ColourfulPicture(400, 200));
    TScopesPanel* panel = OpenPanels();
    Find<QToolButton>("sbnScopes")->click();
    dialogs.PicturesToOpen.push_back(QString::fromStdString(Path("frame.bmp")));
    panels->Preview().OpenClick();
    QApplication::processEvents();
    const QWidget* view = panel->findChild<QWidget*>("scpView");
    ASSERT_NE(view, nullptr);
    for (const TScopeKind kind :
         {TScopeKind::Waveform, TScopeKind::Vectorscope, TScopeKind::Histogram, TScopeKind::All}) {
        panel->SetKind(kind);
        QApplication::processEvents();
        // The drawing is the view's size: no bands around a scope of fixed shape.
        EXPECT_EQ(panel->Drawing().size(), view->size()) << static_cast<int>(kind);
    }
    // Made wider with the dock, the scopes are drawn anew at the new size.
    const int before = view->width();
    panels->Host().resize(panels->Host().width() + 200, panels->Host().height());
    panels->Host().resizeDocks({panel}, {before + 150}, Qt::Horizontal);
    QApplication::processEvents();
    EXPECT_GT(view->width(), before);
    EXPECT_EQ(panel->Drawing().size(), view->size());
}
