#include <gtest/gtest.h>

#include <QtTest/qtestspontaneevent.h>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSlider>
#include <QStyle>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <cstdlib>
#include <memory>

#include "app/ImageViewer.h"
#include "app/KeysDialog.h"
#include "app/LookPanel.h"
#include "app/MainForm.h"
#include "app/MenuBar.h"
#include "app/StatusLine.h"
#include "imageio/ImageFile.h"
#include "tests/app/FakeDialogs.h"
#include "tests/app/GradingRig.h"

// The window's layout (library panel, size, fit on a small screen), the state
// it shows (status line, title) and its menus and keys. These tests build the
// whole window: they check how it lays its panels out and keeps that layout
// for its next start, and that its menus and keys reach the panels and its
// title and status line follow the session. The viewer's full screen, the
// look panel's wheel and the status line's follow of a rename are tested on
// the panels themselves, at the end.

namespace {

const QChar kDash(0x2014);

// Notches of a mouse wheel over a widget, delivered as the window system
// delivers them (the focus follows the widgets' focus policies, and an
// event a widget leaves goes on to the widgets around it).
void WheelNotches(QWidget* widget, int notches) {
    const QPoint at = widget->rect().center();
    for (int i = 0; i < std::abs(notches); ++i) {
        QWheelEvent wheel(QPointF(at), QPointF(widget->mapToGlobal(at)), QPoint(), QPoint(0, notches > 0 ? 120 : -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QSpontaneKeyEvent::setSpontaneous(&wheel);
        QApplication::instance()->notify(widget, &wheel);
        QApplication::processEvents();
    }
}

class MainFormLayoutTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TFakeDialogs dialogs;
    std::unique_ptr<TfrmMain> window;

    QString Lib() const { return dir.filePath("lib"); }
    QString Picture(const QString& name) const { return dir.filePath("pictures/" + name); }

    void SetUp() override {
        QDir().mkpath(Lib());
        QDir().mkpath(dir.filePath("pictures"));
        // The layout this test keeps never reaches the other tests.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
        SaveJpegFile((Lib() + "/meadow.jpeg").toStdString(), ColourfulPicture(150, 100));
        SaveImageFile(Picture("shot01.bmp").toStdString(), ColourfulPicture(1600, 900));
    }
    void TearDown() override { window.reset(); }

    void Open() {
        window = std::make_unique<TfrmMain>(Lib().toStdString());
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(window.get(), static_cast<Qt::Key>(key), modifiers);
        QApplication::processEvents();
    }
    void SelectMeadow() {
        const auto found = window->Library().List()->findItems("meadow", Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        found.first()->setSelected(true);
    }
    // The place of a widget in the window's tab order, counted from the menu bar.
    int TabIndex(QWidget* target) const {
        EXPECT_NE(target, nullptr);
        QWidget* start = window->menuBar();
        int index = 0;
        for (QWidget* widget = start->nextInFocusChain(); widget != start; widget = widget->nextInFocusChain()) {
            if (widget == target) return index;
            if (widget->focusPolicy() & Qt::TabFocus) ++index;
        }
        ADD_FAILURE() << "not in the focus chain";
        return -1;
    }
    QAction* Action(const char* name) const {
        auto* action = window->findChild<QAction*>(name);
        EXPECT_NE(action, nullptr) << name;
        return action;
    }
};

}  // namespace

TEST_F(MainFormLayoutTest, LibraryPanelLayoutAndSizeAreRememberedAcrossWindows) {
    Open();
    QDockWidget* library = window->Dock().Dock();
    EXPECT_EQ(window->dockWidgetArea(library), Qt::BottomDockWidgetArea);
    EXPECT_TRUE(window->Library().Strip());
    // A strip is one row of thumbnails.
    EXPECT_FALSE(window->Library().List()->isWrapping());
    EXPECT_EQ(window->Library().List()->flow(), QListView::LeftToRight);

    // Docked left as a grid, the window resized, then closed by the user.
    window->Dock().SetArea(Qt::LeftDockWidgetArea);
    Action("actLibraryGrid")->trigger();
    EXPECT_FALSE(window->Library().Strip());
    EXPECT_TRUE(window->Library().List()->isWrapping());
    window->resize(900, 640);
    QApplication::processEvents();
    window->close();

    Open();
    EXPECT_EQ(window->dockWidgetArea(window->Dock().Dock()), Qt::LeftDockWidgetArea);
    EXPECT_FALSE(window->Library().Strip());
    EXPECT_TRUE(Action("actLibraryGrid")->isChecked());
    EXPECT_TRUE(window->Library().List()->isWrapping());
    EXPECT_EQ(window->size(), QSize(900, 640));

    // Tab follows the panels on screen: the library docked left comes first.
    EXPECT_LT(TabIndex(window->Library().List()), TabIndex(window->findChild<QWidget*>("tbrColorGain")));
    window->Dock().SetArea(Qt::BottomDockWidgetArea);
    EXPECT_GT(TabIndex(window->Library().List()), TabIndex(window->findChild<QWidget*>("tbrColorGain")));
    EXPECT_GT(TabIndex(window->Library().List()), TabIndex(window->findChild<QWidget*>("cbxScope")));
    EXPECT_LT(TabIndex(window->findChild<QWidget*>("tbrHi")), TabIndex(window->findChild<QWidget*>("cbxScope")));
    window->Dock().SetArea(Qt::LeftDockWidgetArea);

    // A strip docked left is one column; the panel closed stays closed.
    Action("actLibraryGrid")->trigger();
    EXPECT_TRUE(window->Library().Strip());
    EXPECT_EQ(window->Library().List()->flow(), QListView::TopToBottom);
    EXPECT_FALSE(window->Library().List()->isWrapping());
    Key(Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(window->Dock().Dock()->isHidden());
    window.reset();

    Open();
    EXPECT_TRUE(window->Dock().Dock()->isHidden());
    EXPECT_TRUE(window->Library().Strip());
    EXPECT_EQ(window->dockWidgetArea(window->Dock().Dock()), Qt::LeftDockWidgetArea);
    Action("actLibrary")->trigger();
    EXPECT_TRUE(window->Dock().Dock()->isVisible());
}

TEST_F(MainFormLayoutTest, FitsASmallLaptopScreenWithTheScopesOpen) {
    Open();
    Key(Qt::Key_K, Qt::ControlModifier);
    ASSERT_TRUE(window->Scopes()->isVisible());
    // 1366 x 768 less a title bar and a panel of the desktop.
    const QSize laptop(1366 - 16, 768 - 80);
    EXPECT_LE(window->minimumWidth(), laptop.width());
    EXPECT_LE(window->minimumHeight(), laptop.height());
    EXPECT_LE(window->minimumSizeHint().width(), laptop.width());
    EXPECT_LE(window->minimumSizeHint().height(), laptop.height());
    // The look panel scrolls instead of making the window taller.
    EXPECT_LE(window->centralWidget()->minimumSizeHint().height(), laptop.height());

    // Opening the scopes never makes the window larger than the screen.
    Key(Qt::Key_K, Qt::ControlModifier);
    ASSERT_TRUE(window->Scopes()->isHidden());
    const QRect available = window->screen()->availableGeometry();
    window->resize(available.width() - 20, 560);
    QApplication::processEvents();
    Key(Qt::Key_K, Qt::ControlModifier);
    ASSERT_TRUE(window->Scopes()->isVisible());
    EXPECT_LE(window->width(), std::max(available.width(), window->minimumWidth()));
    if (window->minimumWidth() <= available.width()) {
        EXPECT_LE(window->frameGeometry().right(), available.right());
        EXPECT_GE(window->frameGeometry().left(), available.left());
    }
}

TEST_F(MainFormLayoutTest, StatusLineAndTitleNameTheFrameAndTheLook) {
    Open();
    EXPECT_EQ(window->windowTitle(), "Quor Ombrane");
    EXPECT_TRUE(window->StatusLine()->Text().startsWith("no frame"));

    dialogs.PicturesToOpen.push_back(Picture("shot01.bmp"));
    Key(Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(window->windowTitle(), QString("shot01.bmp ") + kDash + " Quor Ombrane");
    QString text = window->StatusLine()->Text();
    EXPECT_TRUE(text.startsWith("shot01.bmp 1600 x 900")) << text.toStdString();
    EXPECT_TRUE(text.contains("no reference")) << text.toStdString();

    SelectMeadow();
    window->findChild<QSlider*>("tbrStrength")->setValue(60);
    text = window->StatusLine()->Text();
    EXPECT_TRUE(text.contains("reference: meadow")) << text.toStdString();
    EXPECT_TRUE(text.contains("strength 60%")) << text.toStdString();
    EXPECT_FALSE(text.contains("bypass"));

    Key(Qt::Key_Backslash);
    ASSERT_TRUE(window->findChild<QToolButton*>("sbnShowOriginal")->isChecked());
    EXPECT_TRUE(window->StatusLine()->Text().contains("bypass")) << window->StatusLine()->Text().toStdString();
    Key(Qt::Key_Backslash);
    EXPECT_FALSE(window->StatusLine()->Text().contains("bypass"));

    window->StatusLine()->SetZoom(200);
    EXPECT_TRUE(window->StatusLine()->Text().endsWith("zoom 200%"));

    QImage picture(64, 32, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QGuiApplication::clipboard()->setImage(picture);
    Key(Qt::Key_V, Qt::ControlModifier);
    QGuiApplication::clipboard()->clear();
    EXPECT_EQ(window->windowTitle(), QString("pasted picture ") + kDash + " Quor Ombrane");
    EXPECT_TRUE(window->StatusLine()->Text().startsWith("pasted picture 64 x 32"));
    // The title names the product once, also while a LUT file is previewed.
    EXPECT_EQ(window->windowTitle().count("Quor Ombrane"), 1);
}

TEST_F(MainFormLayoutTest, MenusHoldTheActionsWithUniqueKeysThatWork) {
    Open();
    dialogs.PicturesToOpen.push_back(Picture("shot01.bmp"));
    Key(Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(window->Grading().PreviewFile(), Picture("shot01.bmp").toStdString());

    QStringList titles;
    for (QAction* entry : window->menuBar()->actions()) titles << entry->text();
    EXPECT_EQ(titles, QStringList({"&File", "&Edit", "&View", "L&ook", "L&ibrary", "&Help"}));

    // No key stands for two actions: Qt would do nothing on either.
    QMap<QString, QString> owners;
    for (QAction* action : window->findChildren<QAction*>()) {
        for (const QKeySequence& keys : action->shortcuts()) {
            const QString name = keys.toString(QKeySequence::PortableText);
            EXPECT_FALSE(owners.contains(name))
                << name.toStdString() << ": " << owners[name].toStdString() << " and " << action->text().toStdString();
            owners[name] = action->text();
        }
    }
    for (const char* keys : {"Ctrl+O", "Ctrl+V", "Ctrl+S", "Ctrl+L", "Ctrl+E", "\\", "Ctrl+\\", "Alt+Left", "Alt+Right",
                             "Ctrl+K", "Ctrl+I", "F2", "Ctrl+Del", "F1", "Ctrl+F1"})
        EXPECT_TRUE(owners.contains(keys)) << keys;
    // Every action of the menus is listed, with its keys.
    const QList<QAction*> listed = WindowActions(*window);
    for (const char* name : {"miOpenPreviewImage", "miPaste", "miSaveGradedImage", "miPreviewLutFile", "miLearnPair",
                             "miAddImagesToLibrary", "miRenameImage", "miDeleteImage", "actScopes",
                             "sbnCreateLUTAction", "sbnShowOriginalAction", "sbnSplitViewAction", "sbnAboutAction",
                             "sbnDefaultsAction", "sbnGeneralDefaultsAction", "actKeys"})
        EXPECT_TRUE(listed.contains(Action(name))) << name;

    // The keys reach their actions from the window.
    SelectMeadow();
    Key(Qt::Key_Backslash, Qt::ControlModifier);
    EXPECT_TRUE(window->findChild<QToolButton*>("sbnSplitView")->isChecked());
    EXPECT_TRUE(window->Preview().Viewer()->SplitView());
    const double divider = window->Preview().Viewer()->SplitPosition();
    Key(Qt::Key_Right, Qt::AltModifier);
    EXPECT_NEAR(window->Preview().Viewer()->SplitPosition(), divider + 0.05, 1e-9);
    Key(Qt::Key_Left, Qt::AltModifier);
    Key(Qt::Key_Left, Qt::AltModifier);
    EXPECT_NEAR(window->Preview().Viewer()->SplitPosition(), divider - 0.05, 1e-9);
    Key(Qt::Key_Backslash, Qt::ControlModifier);
    EXPECT_FALSE(window->Preview().Viewer()->SplitView());

    dialogs.FilesToOpen.push_back(QStringList());
    Key(Qt::Key_I, Qt::ControlModifier);
    EXPECT_TRUE(dialogs.FilesToOpen.empty());  // the add dialog was asked

    Key(Qt::Key_G, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(window->Library().Strip());

    // F1: the keys window lists every action from the actions themselves.
    Key(Qt::Key_F1);
    TKeysDialog* keys = window->KeysDialog();
    ASSERT_NE(keys, nullptr);
    EXPECT_TRUE(keys->isVisible());
    QMap<QString, QString> rows;
    for (int row = 0; row < keys->Table()->rowCount(); ++row)
        rows[keys->Table()->item(row, 0)->text()] = keys->Table()->item(row, 1)->text();
    EXPECT_EQ(rows.value("Open Preview Image"), QKeySequence(Qt::CTRL | Qt::Key_O).toString(QKeySequence::NativeText));
    EXPECT_EQ(rows.value("Create 3D LUT"), QKeySequence(Qt::CTRL | Qt::Key_E).toString(QKeySequence::NativeText));
    EXPECT_EQ(rows.value("Rename Image"), "F2");
    EXPECT_TRUE(rows.contains("Clip: play or stop"));
    EXPECT_EQ(keys->Table()->rowCount(), listed.size() + 5);
    EXPECT_TRUE(keys->findChild<QLabel*>("lblKeysNote")->text().contains("graded at once"));
    keys->close();
}

namespace {

// The preview, look and library panels and the status line on a plain main
// window, with a picture to open as the frame.
class PanelLayoutTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TFakeDialogs dialogs;
    std::unique_ptr<TGradingRig> panels;

    QString Lib() const { return dir.filePath("lib"); }
    QString Picture(const QString& name) const { return dir.filePath("pictures/" + name); }

    void SetUp() override {
        QDir().mkpath(Lib());
        QDir().mkpath(dir.filePath("pictures"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
        SaveJpegFile((Lib() + "/meadow.jpeg").toStdString(), ColourfulPicture(150, 100));
        SaveImageFile(Picture("shot01.bmp").toStdString(), ColourfulPicture(1600, 900));
        panels = std::make_unique<TGradingRig>(Lib());
        panels->Host().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&panels->Host()));
    }
    void TearDown() override { panels.reset(); }
};

}  // namespace

// Full screen and back: the viewer returns to its place left of the look
// panel, at the size it had.
TEST_F(PanelLayoutTest, FullScreenGivesTheViewerBackWhereItWas) {
    TImageViewer* viewer = panels->Preview().Viewer();
    QWidget* parent = viewer->parentWidget();
    const QRect place = viewer->geometry();
    auto* look = panels->Host().findChild<QWidget*>("pnlRight");
    ASSERT_NE(look, nullptr);
    EXPECT_LT(viewer->mapTo(&panels->Host(), QPoint(0, 0)).x(), look->mapTo(&panels->Host(), QPoint(0, 0)).x());

    panels->Host().findChild<QAction*>("miFullScreen")->trigger();
    QApplication::processEvents();
    EXPECT_NE(viewer->window(), &panels->Host());
    panels->Host().findChild<QAction*>("miFullScreen")->trigger();
    QApplication::processEvents();
    EXPECT_EQ(viewer->parentWidget(), parent);
    EXPECT_EQ(viewer->geometry(), place);
    EXPECT_LT(viewer->mapTo(&panels->Host(), QPoint(0, 0)).x(), look->mapTo(&panels->Host(), QPoint(0, 0)).x());
}

// The mouse wheel over the look panel, in a window of a small laptop's
// screen: over a slider, a combo or a check box without the focus it
// scrolls the panel and changes nothing, and no control takes the focus;
// a slider with the focus moves by the wheel.
TEST(LookPanelScrollTest, WheelScrollsTheLookPanelAndMovesOnlyAFocusedSlider) {
    TGradingSession session;
    // The panel in a scroll area as the window lays it out, lower than the
    // panel, as on a small laptop's screen.
    QScrollArea scroller;
    scroller.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller.setWidgetResizable(true);
    auto* panel = new TLookPanel(session, nullptr);
    scroller.setWidget(panel);
    scroller.resize(panel->width() + scroller.style()->pixelMetric(QStyle::PM_ScrollBarExtent), 420);
    scroller.show();
    QApplication::processEvents();
    QScrollArea* area = &scroller;
    QScrollBar* scroll = area->verticalScrollBar();
    ASSERT_GT(scroll->maximum(), 0) << "the panel fits: nothing to scroll";
    const QList<QSlider*> sliders = area->findChildren<QSlider*>();
    const QList<QComboBox*> combos = area->findChildren<QComboBox*>();
    ASSERT_FALSE(sliders.isEmpty());
    ASSERT_EQ(combos.size(), 2);
    auto positions = [&] {
        QList<int> values;
        for (QSlider* slider : sliders) values << slider->value();
        for (QComboBox* combo : combos) values << combo->currentIndex();
        return values;
    };
    const QList<int> before = positions();
    for (QWidget* control :
         QList<QWidget*>(sliders.begin(), sliders.end()) + QList<QWidget*>(combos.begin(), combos.end()))
        EXPECT_EQ(control->focusPolicy(), Qt::StrongFocus) << control->objectName().toStdString();

    QSlider* middle = panel->findChild<QSlider*>("tbrMiddle");
    area->ensureWidgetVisible(middle);
    scroll->setValue(scroll->value() - scroll->singleStep() * 8);
    QApplication::processEvents();
    const int top = scroll->value();
    WheelNotches(middle, -4);
    EXPECT_GT(scroll->value(), top);
    EXPECT_EQ(positions(), before);
    EXPECT_FALSE(middle->hasFocus());
    const int scrolled = scroll->value();
    WheelNotches(combos.first(), 2);
    EXPECT_LT(scroll->value(), scrolled);
    EXPECT_EQ(positions(), before);
    EXPECT_FALSE(combos.first()->hasFocus());

    // The slider a click or Tab gave the focus to moves by the wheel.
    middle->setFocus(Qt::TabFocusReason);
    const int focused = scroll->value();
    WheelNotches(middle, -4);
    EXPECT_LT(middle->value(), 100);
    EXPECT_EQ(scroll->value(), focused);
    EXPECT_EQ(panel->findChild<QLabel*>("lblSatMid")->text(), QString::number(middle->value()) + "%");
}

// The status line names the chosen reference by its new caption once it
// is renamed in the list.
TEST_F(PanelLayoutTest, StatusLineFollowsARenameOfTheChosenReference) {
    dialogs.PicturesToOpen.push_back(Picture("shot01.bmp"));
    panels->Preview().OpenClick();
    QListWidget* list = panels->Library().List();
    const auto found = list->findItems("meadow", Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualItemRect(found.first()).center());
    ASSERT_TRUE(panels->StatusLine()->Text().contains("reference: meadow   |"));
    QTest::keyClick(list, Qt::Key_F2);
    QApplication::processEvents();
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_End);
    QTest::keyClicks(editor, " warm");
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    ASSERT_TRUE(QFileInfo::exists(Lib() + "/meadow warm.jpeg"));
    const QString text = panels->StatusLine()->Text();
    EXPECT_TRUE(text.contains("reference: meadow warm   |")) << text.toStdString();
}
