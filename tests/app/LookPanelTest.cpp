#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>

#include "app/GradingState.h"
#include "app/LookPanel.h"
#include "engine/LookControls.h"

namespace {

QSlider* Bar(const TLookPanel& panel, const TLookControl& control) { return panel.findChild<QSlider*>(control.Bar); }

}  // namespace

// The panel has one row per control of the table, in its group, with the
// control's range, default and caption; moving a bar moves its label and
// the state's position, and each move is one change of the look.
TEST(LookPanelTest, RowsFollowTheControlTable) {
    TGradingState state;
    TLookPanel panel(state, nullptr);
    QSignalSpy changes(&state, &TGradingState::LookChanged);
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
    TGradingState state;
    TLookPanel panel(state, nullptr);
    for (const TLookControl& control : LookControls()) Bar(panel, control)->setValue(control.Min + 1);
    for (const TLookSwitch& option : LookSwitches())
        panel.findChild<QCheckBox*>(option.Box)->setChecked(option.OptionValue);
    QSignalSpy changes(&state, &TGradingState::LookChanged);

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
    TGradingState state;
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
