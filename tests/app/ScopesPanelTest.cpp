#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "app/ImageViewer.h"
#include "app/MainForm.h"
#include "app/ScopesPanel.h"
#include "imageio/ImageFile.h"
#include "tests/app/FakeDialogs.h"

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
    data.Measure(shown, (shown.Height() + TScopesPanel::kMeasuredRows - 1) / TScopesPanel::kMeasuredRows);
    return data;
}

class ScopesPanelTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TFakeDialogs dialogs;
    std::unique_ptr<TfrmMain> window;

    std::string Path(const QString& name) const { return dir.filePath(name).toStdString(); }

    void SetUp() override {
        QDir().mkpath(dir.filePath("lib"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("settings"));
    }
    void TearDown() override { window.reset(); }

    void Open() {
        window = std::make_unique<TfrmMain>(Path("lib"));
        window->show();
        QApplication::processEvents();
    }
    void Screenshot(const char* name) {
        QDir().mkpath(SCREENSHOT_DIR);
        QApplication::processEvents();
        EXPECT_TRUE(window->grab().save(QString(SCREENSHOT_DIR) + "/" + name));
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
    const int base = window->minimumWidth();  // 600 px or what the texts need
    EXPECT_GE(base, 600);
    EXPECT_EQ(window->minimumHeight(), 750);
    const int width = window->width();

    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_K, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(button->isChecked());
    // The window grows by the panel instead of squeezing the preview side.
    EXPECT_GE(window->minimumWidth(), base + TScopesPanel::kPanelWidth);
    EXPECT_GE(window->minimumWidth(), window->minimumSizeHint().width());
    EXPECT_GE(window->width(), width + TScopesPanel::kPanelWidth);
    EXPECT_GE(window->centralWidget()->width(), width);
    window->findChild<QComboBox*>("cbxScope")->setCurrentIndex(2);
    EXPECT_EQ(panel->Kind(), TScopeKind::Vectorscope);

    // A new window opens with the panel as it was left.
    window.reset();
    Open();
    EXPECT_TRUE(window->Scopes()->isVisible());
    EXPECT_EQ(window->Scopes()->Kind(), TScopeKind::Vectorscope);
    window->findChild<QToolButton*>("sbnScopes")->click();
    EXPECT_TRUE(window->Scopes()->isHidden());
    EXPECT_EQ(window->minimumSize(), QSize(base, 750));
    window.reset();
    Open();
    EXPECT_TRUE(window->Scopes()->isHidden());
}

TEST_F(ScopesPanelTest, ScopesFollowEveryChangeOfThePreview) {
    SaveJpegFile(Path("lib/meadow.jpeg"), ColourfulPicture(150, 100));
    SaveImageFile(Path("frame.bmp"), ColourfulPicture(1000, 562));
    Open();
    TScopesPanel* panel = window->Scopes();
    window->findChild<QToolButton*>("sbnScopes")->click();
    ASSERT_TRUE(panel->isVisible());
    dialogs.PicturesToOpen.push_back(QString::fromStdString(Path("frame.bmp")));
    window->sbnOpenPreviewImageClick();
    QApplication::processEvents();
    const TImageViewer* viewer = window->Viewer();
    ASSERT_FALSE(viewer->Display().Empty());
    EXPECT_TRUE(SameScopes(panel->Data(), Expected(viewer->Display())));
    EXPECT_FALSE(panel->HasReference());
    EXPECT_FALSE(panel->Drawing().isNull());
    Screenshot("main_scopes_ungraded.png");

    // Selecting the reference grades the preview: the scopes show the grade
    // and the reference's chroma.
    const QList<QListWidgetItem*> items = window->lvwRefs()->findItems("meadow", Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1);
    items.first()->setSelected(true);
    QApplication::processEvents();
    ASSERT_FALSE(viewer->Display().SamePixels(viewer->Scaled()));
    EXPECT_TRUE(SameScopes(panel->Data(), Expected(viewer->Display())));
    EXPECT_TRUE(panel->HasReference());
    Screenshot("main_scopes_graded.png");
    const QImage waveform = panel->Drawing();
    window->findChild<QCheckBox*>("cbxParade")->setChecked(true);
    EXPECT_NE(panel->Drawing(), waveform);
    Screenshot("main_scopes_parade.png");
    window->findChild<QCheckBox*>("cbxParade")->setChecked(false);
    EXPECT_EQ(panel->Drawing(), waveform);

    // Every regrade measures again, once per event.
    QApplication::processEvents();
    const int measured = panel->MeasureCount();
    window->findChild<QSlider*>("tbrSaturation")->setValue(170);
    QApplication::processEvents();

    EXPECT_EQ(panel->MeasureCount(), measured + 1);
    EXPECT_TRUE(SameScopes(panel->Data(), Expected(viewer->Display())));

    // The original while it is asked for, the grade again after.
    auto* original = window->findChild<QToolButton*>("sbnShowOriginal");
    original->click();
    QApplication::processEvents();
    EXPECT_TRUE(SameScopes(panel->Data(), Expected(viewer->Scaled())));
    original->click();
    QApplication::processEvents();
    EXPECT_TRUE(SameScopes(panel->Data(), Expected(viewer->Display())));
    EXPECT_FALSE(SameScopes(panel->Data(), Expected(viewer->Scaled())));

    // Hidden, the panel measures nothing; shown again, it catches up.
    window->findChild<QToolButton*>("sbnScopes")->click();
    const int hiddenAt = panel->MeasureCount();
    window->findChild<QSlider*>("tbrSaturation")->setValue(60);
    QApplication::processEvents();
    EXPECT_EQ(panel->MeasureCount(), hiddenAt);
    window->findChild<QToolButton*>("sbnScopes")->click();
    QApplication::processEvents();
    EXPECT_TRUE(SameScopes(panel->Data(), Expected(viewer->Display())));
}

TEST_F(ScopesPanelTest, SplitViewInputMeasuresBothSides) {
    Open();
    TImage left = ColourfulPicture(300, 200), right(300, 200);
    window->Scopes()->Attach([&] { return TScopeSource{TScopeInput{&left, &right, 100}, nullptr, nullptr}; });
    window->Scopes()->RefreshNow();
    // Right is black: its 200 columns add 200 x 200 pixels at level 0.
    TScopeData leftOnly;
    TImage cut(100, 200);
    for (int y = 0; y < 200; ++y) std::copy_n(left.Row(y), 300, cut.Row(y));
    leftOnly.Measure(cut);
    EXPECT_EQ(window->Scopes()->Data().Histogram(scRed, 0), leftOnly.Histogram(scRed, 0) + 200u * 200u);
    EXPECT_EQ(window->Scopes()->Data().PixelCount(), 300u * 200u);
}
