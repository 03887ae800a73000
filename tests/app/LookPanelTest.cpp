#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include "app/LookPanel.h"
#include "engine/look/LookControls.h"
#include "grading/GradingSession.h"
#include "grading/LookHistory.h"

namespace {

QSlider* Bar(const TLookPanel& panel, const TLookControl& control) { return panel.findChild<QSlider*>(control.Bar); }

}  // namespace

// The panel has one row per control of the table, in its group, with the
// control's range, default and caption; moving a bar moves its label and
// the state's position, and each move is one change of the look.
TEST(LookPanelTest, RowsFollowTheControlTable) {
    TGradingSession state;
    TLookPanel panel(state, nullptr);
    QSignalSpy changes(&state, &TGradingSession::LookChanged);
    const char* groups[] = {"grpGeneral", "grpSaturation"};
    for (const TLookControl& control : LookControls()) {
        SCOPED_TRACE(control.Key);
        QSlider* bar = Bar(panel, control);
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->parentWidget()->objectName(), groups[static_cast<int>(control.Group)]);
        EXPECT_EQ(bar->minimum(), control.Min);
        EXPECT_EQ(bar->maximum(), control.Max);
        EXPECT_EQ(bar->value(), control.Default);
        auto* caption = panel.findChild<QLabel*>(QString(control.Label) + "Caption");
        ASSERT_NE(caption, nullptr);
        EXPECT_EQ(caption->text(), control.Caption);
        auto* label = panel.findChild<QLabel*>(control.Label);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), QString::number(control.Default) + "%");

        const int before = changes.count();
        bar->setValue(control.Min + 3);
        EXPECT_EQ(changes.count(), before + 1);
        EXPECT_EQ(label->text(), QString::number(control.Min + 3) + "%");
        EXPECT_EQ(state.Positions().*control.Position, control.Min + 3);
    }
    for (const TLookSwitch& option : LookSwitches()) {
        SCOPED_TRACE(option.Key);
        auto* box = panel.findChild<QCheckBox*>(option.Box);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), option.Caption);
        EXPECT_EQ(box->isChecked(), !option.OptionValue);
        box->setChecked(option.OptionValue);
        EXPECT_EQ(state.Positions().*option.Position, option.OptionValue);
    }
    const int before = changes.count();
    panel.findChild<QCheckBox*>("cbxMatchPreview")->setChecked(true);
    EXPECT_TRUE(state.MatchPreview());
    EXPECT_EQ(changes.count(), before + 1);
}

// Saturation "Defaults" puts every bar of its group back and changes the
// look once; General "Defaults" puts its bars and Advanced Color Analysis
// back, each as a change of its own, and leaves the other groups alone.
TEST(LookPanelTest, DefaultsButtonsRestoreTheirGroups) {
    TGradingSession state;
    TLookPanel panel(state, nullptr);
    for (const TLookControl& control : LookControls()) Bar(panel, control)->setValue(control.Min + 1);
    for (const TLookSwitch& option : LookSwitches())
        panel.findChild<QCheckBox*>(option.Box)->setChecked(option.OptionValue);
    QSignalSpy changes(&state, &TGradingSession::LookChanged);

    panel.findChild<QPushButton*>("sbnDefaults")->click();
    EXPECT_EQ(changes.count(), 1);
    for (const TLookControl& control : LookControls()) {
        const bool saturation = control.Group == TLookGroup::Saturation;
        EXPECT_EQ(state.Positions().*control.Position, saturation ? control.Default : control.Min + 1) << control.Key;
    }

    changes.clear();
    panel.findChild<QPushButton*>("sbnGeneralDefaults")->click();
    const TLookPositions neutral;
    for (const TLookControl& control : LookControls())
        EXPECT_EQ(state.Positions().*control.Position, control.Default) << control.Key;
    EXPECT_TRUE(state.Positions().AdvancedAnalysis);
    EXPECT_NE(state.Positions().CompressSaturation, neutral.CompressSaturation);  // kept as the user set it
    EXPECT_EQ(changes.count(), 3);  // gain, strength and the analysis switch, one by one
}

// The state grades with a previewed LUT file while there is one, else with
// the look; ending the preview tells whether there was one.
TEST(LookPanelTest, StateGradesWithPreviewedLutOrLook) {
    TGradingSession state;
    EXPECT_EQ(&state.ActiveLut(), &state.Lut());
    EXPECT_FALSE(state.Graded());
    auto lut = std::make_unique<TLUT>();
    const TLUT* previewed = lut.get();
    state.SetPreviewLut(std::move(lut), "a.cube");
    EXPECT_EQ(&state.ActiveLut(), previewed);
    EXPECT_TRUE(state.Graded());
    EXPECT_EQ(state.PreviewLutName(), "a.cube");
    EXPECT_TRUE(state.EndPreviewLut());
    EXPECT_FALSE(state.EndPreviewLut());
    EXPECT_EQ(&state.ActiveLut(), &state.Lut());
    EXPECT_TRUE(state.PreviewLutName().isEmpty());
}

namespace {

TLook LookWith(int TLookPositions::*position, int value) {
    TLook look;
    look.Positions.*position = value;
    return look;
}

}  // namespace

// Changes of one control merge while they follow each other within the
// merge time or while the slider is held; another control, a pause, the
// slider's release or EndStep start a new step. A new change drops redo.
TEST(LookHistoryTest, StepsAndMerging) {
    using namespace std::chrono_literals;
    TLookHistory history{TLook()};
    const auto t0 = TLookHistory::TClock::time_point{} + 1h;
    history.Record(LookWith(&TLookPositions::Gain, 101), t0);
    history.Record(LookWith(&TLookPositions::Gain, 102), t0 + 300ms);
    history.Record(LookWith(&TLookPositions::Gain, 103), t0 + 600ms);
    EXPECT_EQ(history.UndoCount(), 1);  // a run of key presses
    history.Record(LookWith(&TLookPositions::Gain, 110), t0 + 2s);
    EXPECT_EQ(history.UndoCount(), 2);  // after a pause
    history.SetDragging(true);
    history.Record(LookWith(&TLookPositions::Gain, 120), t0 + 10s);
    history.Record(LookWith(&TLookPositions::Gain, 130), t0 + 20s);
    history.SetDragging(false);
    EXPECT_EQ(history.UndoCount(), 3);  // one drag, however slow
    history.Record(LookWith(&TLookPositions::Gain, 131), t0 + 20s);
    EXPECT_EQ(history.UndoCount(), 4);  // the release ended the drag's step
    TLook other = LookWith(&TLookPositions::Gain, 131);
    other.Positions.Red = 50;
    history.Record(other, t0 + 20s);
    EXPECT_EQ(history.UndoCount(), 5);  // another control
    history.Record(other, t0 + 21s);
    EXPECT_EQ(history.UndoCount(), 5);  // the same look is no step
    other.Reference = "a.png";
    history.Record(other, t0 + 21s);
    EXPECT_EQ(history.UndoCount(), 6);

    EXPECT_TRUE(history.Undo().Reference.isEmpty());
    EXPECT_EQ(history.Undo().Positions.Red, kTrackBarDefault);
    EXPECT_EQ(history.Undo().Positions.Gain, 130);
    EXPECT_EQ(history.Undo().Positions.Gain, 110);
    EXPECT_EQ(history.Redo().Positions.Gain, 130);
    EXPECT_TRUE(history.CanRedo());
    history.Record(LookWith(&TLookPositions::Blue, 10), t0 + 30s);
    EXPECT_FALSE(history.CanRedo());
    while (history.CanUndo()) history.Undo();
    EXPECT_TRUE(SameLook(history.Current(), TLook()));
}

// At Look Strength 0 every control the strength doses is disabled and says
// why; in LUT preview every look control is; the footage stays.
TEST(LookPanelTest, ControlsThatCannotActAreDisabled) {
    TGradingSession state;
    TLookPanel panel(state, nullptr);
    auto* strength = panel.findChild<QSlider*>("tbrStrength");
    auto* saturation = panel.findChild<QSlider*>("tbrSaturation");
    auto* match = panel.findChild<QCheckBox*>("cbxMatchPreview");
    auto* defaults = panel.findChild<QPushButton*>("sbnDefaults");
    auto* generalDefaults = panel.findChild<QPushButton*>("sbnGeneralDefaults");
    const QString matchHint = match->toolTip();
    for (QWidget* widget : std::initializer_list<QWidget*>{strength, saturation, match, defaults, generalDefaults})
        EXPECT_TRUE(widget->isEnabled()) << widget->objectName().toStdString();

    strength->setValue(0);
    for (const TLookControl& control : LookControls()) {
        auto* bar = panel.findChild<QSlider*>(control.Bar);
        EXPECT_EQ(bar->isEnabled(), bar == strength) << control.Key;
        if (bar != strength) EXPECT_TRUE(bar->toolTip().contains("Strength is 0")) << control.Key;
    }
    for (const TLookSwitch& option : LookSwitches())
        EXPECT_FALSE(panel.findChild<QCheckBox*>(option.Box)->isEnabled()) << option.Key;
    EXPECT_FALSE(match->isEnabled());
    EXPECT_TRUE(match->toolTip().contains("Strength is 0"));
    EXPECT_FALSE(defaults->isEnabled());
    EXPECT_TRUE(generalDefaults->isEnabled());  // it brings the strength back

    strength->setValue(1);
    EXPECT_TRUE(saturation->isEnabled());
    EXPECT_EQ(match->toolTip(), matchHint);
    state.SetPreviewLut(std::make_shared<TLUT>(), "a.cube");
    for (QWidget* widget : std::initializer_list<QWidget*>{strength, saturation, match, defaults, generalDefaults}) {
        EXPECT_FALSE(widget->isEnabled()) << widget->objectName().toStdString();
        EXPECT_TRUE(widget->toolTip().contains("LUT file")) << widget->objectName().toStdString();
    }
    EXPECT_TRUE(panel.FootageCombo()->isEnabled());
    state.EndPreviewLut();
    EXPECT_TRUE(strength->isEnabled());
    EXPECT_TRUE(saturation->toolTip().isEmpty());
}

// Double-click resets a slider; arrows step 1, Shift+arrows and pages 10;
// the percent label takes a typed value, clamped to the range; a value that
// is no number, or Esc, leaves the slider as it was.
TEST(LookPanelTest, ResetStepsAndTypedValues) {
    TGradingSession state;
    TLookPanel panel(state, nullptr);
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    auto* bar = panel.findChild<QSlider*>("tbrYellow");
    auto* label = panel.findChild<QLabel*>("lblSatYellow");
    bar->setValue(37);
    QTest::mouseDClick(bar, Qt::LeftButton);
    EXPECT_EQ(bar->value(), 100);
    EXPECT_EQ(state.Positions().Yellow, 100);

    bar->setFocus();
    QTest::keyClick(bar, Qt::Key_Right);
    EXPECT_EQ(bar->value(), 101);
    QTest::keyClick(bar, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(bar->value(), 111);
    QTest::keyClick(bar, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(bar, Qt::Key_Left);
    EXPECT_EQ(bar->value(), 100);
    QTest::keyClick(bar, Qt::Key_PageUp);
    EXPECT_EQ(bar->value(), 110);

    auto type = [&](const QString& text, Qt::Key end) {
        auto* editor = panel.findChild<QLineEdit*>("edtPosition");
        ASSERT_NE(editor, nullptr);
        ASSERT_TRUE(editor->isVisible());
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, end);
        EXPECT_FALSE(editor->isVisible());
    };
    QTest::mouseDClick(label, Qt::LeftButton);
    type("150", Qt::Key_Return);
    EXPECT_EQ(bar->value(), 150);
    EXPECT_EQ(label->text(), "150%");
    QTest::keyClick(bar, Qt::Key_Return);  // Enter on the slider opens the editor too
    type("999", Qt::Key_Return);
    EXPECT_EQ(bar->value(), 200);
    QTest::mouseDClick(label, Qt::LeftButton);
    type("-5%", Qt::Key_Enter);
    EXPECT_EQ(bar->value(), 0);
    QTest::mouseDClick(label, Qt::LeftButton);
    type("abc", Qt::Key_Return);  // refused: letters cannot be typed, nothing is taken
    EXPECT_EQ(bar->value(), 0);
    QTest::mouseDClick(label, Qt::LeftButton);
    type("77", Qt::Key_Escape);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_TRUE(bar->hasFocus());
}

// The panel is as wide as the combos' longest entries need; a display
// profile file's name added later widens it.
TEST(LookPanelTest, CombosShowTheirEntriesWhole) {
    TGradingSession state;
    TLookPanel panel(state, nullptr);
    panel.show();
    QApplication::processEvents();
    for (QComboBox* combo : {panel.FootageCombo(), panel.DisplayProfileCombo()})
        for (int i = 0; i < combo->count(); ++i)
            EXPECT_GT(combo->width(), combo->fontMetrics().horizontalAdvance(combo->itemText(i)))
                << combo->itemText(i).toStdString();
    const int width = panel.width();
    QComboBox* display = panel.DisplayProfileCombo();
    const QString name = QString("A calibrated display profile ") + QString(12, 'W') + ".icc";
    display->addItem(name);
    display->setCurrentIndex(display->count() - 1);
    QApplication::processEvents();
    EXPECT_GT(panel.width(), width);
    EXPECT_GT(display->width(), display->fontMetrics().horizontalAdvance(name));
    EXPECT_EQ(panel.FootageCombo()->width(), display->width());
}

// Tab runs through the panel as it is laid out: the General bars, the
// switches, Match Preview Colours, the two combos, General's Defaults,
// then the Saturation bars and their Defaults.
TEST(LookPanelTest, TabOrderFollowsTheLayout) {
    TGradingSession state;
    TLookPanel panel(state, nullptr);
    std::vector<QString> expected;
    for (const TLookControl& control : LookControls())
        if (control.Group == TLookGroup::General) expected.push_back(control.Bar);
    for (const TLookSwitch& option : LookSwitches()) expected.push_back(option.Box);
    for (const char* name : {"cbxMatchPreview", "cbxFootage", "cbxDisplayProfile", "sbnGeneralDefaults"})
        expected.push_back(name);
    for (const TLookControl& control : LookControls())
        if (control.Group == TLookGroup::Saturation) expected.push_back(control.Bar);
    expected.push_back("sbnDefaults");

    std::vector<QString> order;
    QWidget* widget = panel.findChild<QWidget*>(expected.front());
    for (size_t i = 0; i < expected.size() && widget; ++i) {
        order.push_back(widget->objectName());
        do widget = widget->nextInFocusChain();
        while (widget != &panel && !(widget->focusPolicy() & Qt::TabFocus));
    }
    EXPECT_EQ(order, expected);
}

// Match Preview Colours is built from the control table as the switches
// are: its caption, object name and hint, unchecked by default, and it is
// disabled with the other dosed controls at strength 0.
TEST(LookPanelTest, MatchPreviewColoursComesFromTheControlTable) {
    TGradingSession state;
    TLookPanel panel(state, nullptr);
    const TLookSwitch& match = MatchPreviewSwitch();
    auto* box = panel.findChild<QCheckBox*>(match.Box);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), match.Caption);
    EXPECT_EQ(box->toolTip(), match.Hint);
    EXPECT_FALSE(box->isChecked());
    panel.findChild<QSlider*>("tbrStrength")->setValue(0);
    EXPECT_FALSE(box->isEnabled());
    EXPECT_TRUE(panel.findChild<QSlider*>("tbrStrength")->isEnabled());
}

// The tool tip of General's "Defaults" says what it resets and what it
// keeps, and the button does what it says.
TEST(LookPanelTest, GeneralDefaultsSaysWhatItResetsAndWhatItKeeps) {
    TGradingSession state;
    TLookPanel panel(state, nullptr);
    auto* defaults = panel.findChild<QPushButton*>("sbnGeneralDefaults");
    ASSERT_NE(defaults, nullptr);
    EXPECT_EQ(defaults->toolTip(),
              "Sets Color Gain to 100%, Look Strength to 100% and turns Advanced Color Analysis on; "
              "Compress Saturation and Match Preview Colours keep their state");
    // It does what it says.
    panel.findChild<QSlider*>("tbrColorGain")->setValue(150);
    panel.findChild<QSlider*>("tbrStrength")->setValue(40);
    for (const char* box : {"cbxLevels", "CheckBox1", "cbxMatchPreview"})
        panel.findChild<QCheckBox*>(box)->setChecked(box != std::string("cbxLevels"));
    defaults->click();
    EXPECT_EQ(panel.findChild<QSlider*>("tbrColorGain")->value(), 100);
    EXPECT_EQ(panel.findChild<QSlider*>("tbrStrength")->value(), 100);
    EXPECT_TRUE(panel.findChild<QCheckBox*>("cbxLevels")->isChecked());
    EXPECT_TRUE(panel.findChild<QCheckBox*>("CheckBox1")->isChecked());
    EXPECT_TRUE(panel.findChild<QCheckBox*>("cbxMatchPreview")->isChecked());
}

// Undo, Redo and the snapshot actions are commands to the session; the bars,
// their labels and the switches show the look the session restores, and the
// actions are enabled as the session's history and snapshots allow.
TEST(LookPanelTest, UndoAndSnapshotActionsCommandTheSession) {
    TGradingSession state;
    TLookPanel panel(state, nullptr);
    auto action = [&](const char* name) { return panel.findChild<QAction*>(name); };
    auto* red = panel.findChild<QSlider*>("tbrRed");
    auto* match = panel.findChild<QCheckBox*>("cbxMatchPreview");
    EXPECT_FALSE(action("miUndo")->isEnabled());
    EXPECT_FALSE(action("miRecallSnapshotB")->isEnabled());
    panel.findChild<QSlider*>("tbrColorGain")->setValue(140);
    state.RecordLook();
    EXPECT_TRUE(action("miUndo")->isEnabled());
    action("miStoreSnapshotB")->trigger();
    EXPECT_TRUE(state.Snapshots().Has(1));
    EXPECT_TRUE(action("miRecallSnapshotB")->isEnabled());
    EXPECT_FALSE(action("miRecallSnapshotA")->isEnabled());

    match->setChecked(true);
    red->setValue(30);
    state.RecordLook();
    QSignalSpy changes(&state, &TGradingSession::LookChanged);
    action("miRecallSnapshotB")->trigger();
    EXPECT_EQ(red->value(), 100);
    EXPECT_EQ(panel.findChild<QLabel*>("lblSatRed")->text(), "100%");
    EXPECT_FALSE(match->isChecked());
    EXPECT_EQ(state.Positions().Gain, 140);
    EXPECT_EQ(changes.count(), 1);  // one regrade for the whole look
    action("miUndo")->trigger();
    EXPECT_EQ(red->value(), 30);
    EXPECT_EQ(state.Positions().Red, 30);
    EXPECT_TRUE(match->isChecked());
    EXPECT_TRUE(action("miRedo")->isEnabled());
    action("miRedo")->trigger();
    EXPECT_EQ(red->value(), 100);
    EXPECT_FALSE(action("miRedo")->isEnabled());

    action("miCompareSnapshotB")->trigger();
    EXPECT_EQ(state.Snapshots().Comparison(), 1);
    EXPECT_TRUE(action("miCompareSnapshotB")->isChecked());
}

// A footage space chosen by the session, from the combo or by restoring a
// look, shows in the combo.
TEST(LookPanelTest, TheFootageComboFollowsTheSessionsChoice) {
    TGradingSession state;
    TLookPanel panel(state, nullptr);
    QComboBox* combo = panel.FootageCombo();
    ASSERT_GT(combo->count(), 1);
    combo->setCurrentIndex(1);
    EXPECT_EQ(state.Footage().Chosen(), 1);
    state.RecordLook();
    state.Undo();
    EXPECT_EQ(state.Footage().Chosen(), 0);
    EXPECT_EQ(combo->currentIndex(), 0);
    state.Redo();
    EXPECT_EQ(combo->currentIndex(), 1);
    state.ChooseFootage(0);
    EXPECT_EQ(combo->currentIndex(), 0);
}
