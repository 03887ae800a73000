#pragma once
#include <QList>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "app/DisplayProfileChoice.h"
#include "app/FootageChoice.h"
#include "engine/look/LookControls.h"
#include "grading/LookHistory.h"
#include "grading/Snapshots.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QKeyEvent;
class QKeySequence;
class QLabel;
class QPushButton;
class QSlider;
class QWheelEvent;
class TGradingSession;
class TPositionEditor;

// The right panel: the "General" and "Saturation" groups with a track bar
// row for each look control of the table, the switches, Match Preview
// Colours, the footage and display-profile choices and the two "Defaults"
// buttons. Every change of a control goes into the grading session; the
// actions of undo and the snapshots A..D send it their commands, and the
// controls follow the looks it restores.
//
// Each slider: a double-click resets it to its default; arrows step 1,
// Shift+arrows 10, Page Up/Down 10; a double-click on its percent label, or
// Enter on the slider, opens the label for typing a number (clamped to the
// slider's range; anything but a number leaves the slider as it was).
// Controls that cannot act (at Look Strength 0, or while a LUT file is
// previewed) are disabled, their tool tip saying why. The mouse wheel
// scrolls the panel; a slider, combo or spin box changes by the wheel only
// while it has the focus, and the wheel never gives it the focus.
class TLookPanel : public QWidget {
    Q_OBJECT
public:
    TLookPanel(TGradingSession& state, QWidget* parent);
    ~TLookPanel() override;

    // Undo, Redo, Store Snapshot A..D (Ctrl+1..4), Recall Snapshot A..D
    // (1..4), Compare with Snapshot A..D (Alt+1..4). The panel holds them,
    // so their shortcuts work in its window without a menu.
    QList<QAction*> LookActions() const { return actions_; }

    TFootageChoice& Footage() { return *footage_; }
    TDisplayProfileChoice& DisplayProfile() { return *displayProfile_; }
    QComboBox* FootageCombo() const { return cbxFootage_; }
    QComboBox* DisplayProfileCombo() const { return cbxDisplayProfile_; }

    // "Defaults" of the Saturation group: every bar back to its default,
    // then one look change.
    void sbnDefaultsClick();
    // "Defaults" of the General group: its bars and the switches it holds
    // back to their defaults, each change on its own.
    void sbnGeneralDefaultsClick();

signals:
    // Another display profile was chosen (by the window, which asks for a
    // file of the user's own): what is drawn through it is drawn again.
    void DisplayProfileChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TRow {
        const TLookControl* Control;
        QSlider* Bar;
        QLabel* Label;
    };
    QWidget* CreateGroup(TLookGroup group, const QString& title, const char* name);
    void AddRow(QGridLayout* grid, const TLookControl& control);
    void AddGeneralChoices(QGridLayout* grid);
    void ConnectControls();
    void FitWidth();
    void Relayout();
    void CreateActions();
    QAction* AddAction(const QString& text, const char* name, const QKeySequence& keys, std::function<void()> run);
    void SetTabOrder();
    void ShowLook(const TLook& look);
    void LookEdited();
    void UpdateEnabled();
    void UpdateActions();
    bool BarKey(const TRow& row, const QKeyEvent& key);
    // The panel's sliders, combos and spin boxes take the focus by click
    // or Tab only, and their wheel events pass here first.
    void GuardWheel();
    // A wheel over a control without the focus scrolls the area the panel
    // lies in. False when the panel lies in none.
    bool ScrollByWheel(const QWheelEvent& wheel);

    TGradingSession& state_;
    QList<QAction*> actions_;
    QAction* actUndo_ = nullptr;
    QAction* actRedo_ = nullptr;
    QAction* actRecall_[TSnapshots::kSlots] = {};
    QAction* actCompare_[TSnapshots::kSlots] = {};
    TPositionEditor* positionEditor_ = nullptr;
    std::vector<QWidget*> tabOrder_;
    std::vector<TRow> rows_;
    std::vector<std::pair<const TLookSwitch*, QCheckBox*>> switches_;
    QCheckBox* cbxMatchPreview_ = nullptr;
    QComboBox* cbxFootage_ = nullptr;
    QComboBox* cbxDisplayProfile_ = nullptr;
    QPushButton* sbnGeneralDefaults_ = nullptr;
    QPushButton* sbnDefaults_ = nullptr;
    std::unique_ptr<TFootageChoice> footage_;
    std::unique_ptr<TDisplayProfileChoice> displayProfile_;
};
