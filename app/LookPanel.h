#pragma once
#include <QWidget>
#include <memory>
#include <utility>
#include <vector>

#include "app/DisplayProfileChoice.h"
#include "app/FootageChoice.h"
#include "engine/LookControls.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QPushButton;
class QSlider;
class TGradingState;

// The right panel: the "General" and "Saturation" groups with a track bar
// row for each look control of the table, the switches, Match Preview
// Colours, the footage and display-profile choices and the two "Defaults"
// buttons. Every change of a control goes into the grading state.
class TLookPanel : public QWidget {
    Q_OBJECT
public:
    TLookPanel(TGradingState& state, QWidget* parent);
    ~TLookPanel() override;

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

    TGradingState& state_;
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
