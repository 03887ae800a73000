#include "app/LookPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "app/GradingState.h"

namespace {

constexpr int kPanelWidth = 230;
constexpr int kHintTime = 5000;
constexpr int kPageStep = 10;

QString Percent(int position) { return QString::number(position) + "%"; }

// The look changes once at the end of the object's lifetime, not with each
// control moved meanwhile.
class TQuietState {
public:
    explicit TQuietState(TGradingState& state) : state_(state) { state_.SetQuiet(true); }
    ~TQuietState() { state_.SetQuiet(false); }
    TQuietState(const TQuietState&) = delete;
    TQuietState& operator=(const TQuietState&) = delete;

private:
    TGradingState& state_;
};

}  // namespace

TLookPanel::TLookPanel(TGradingState& state, QWidget* parent) : QWidget(parent), state_(state) {
    setObjectName("pnlRight");
    setFixedWidth(kPanelWidth);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->addWidget(CreateGroup(TLookGroup::General, "General", "grpGeneral"));
    column->addWidget(CreateGroup(TLookGroup::Saturation, "Saturation", "grpSaturation"));
    column->addStretch(1);
    state_.SetFootage(footage_.get());
    ConnectControls();
}

TLookPanel::~TLookPanel() = default;

QWidget* TLookPanel::CreateGroup(TLookGroup group, const QString& title, const char* name) {
    auto* box = new QGroupBox(title, this);
    box->setObjectName(name);
    auto* grid = new QGridLayout(box);
    grid->setColumnStretch(1, 1);
    for (const TLookControl& control : LookControls())
        if (control.Group == group) AddRow(grid, control);
    if (group == TLookGroup::General) {
        AddGeneralChoices(grid);
    } else {
        sbnDefaults_ = new QPushButton("Defaults", box);
        sbnDefaults_->setObjectName("sbnDefaults");
        grid->addWidget(sbnDefaults_, grid->rowCount(), 0, 1, 3, Qt::AlignRight);
    }
    return box;
}

void TLookPanel::AddRow(QGridLayout* grid, const TLookControl& control) {
    QWidget* parent = grid->parentWidget();
    auto* caption = new QLabel(control.Caption, parent);
    caption->setObjectName(QString::fromLatin1(control.Label) + "Caption");
    auto* bar = new QSlider(Qt::Horizontal, parent);
    bar->setObjectName(control.Bar);
    bar->setRange(control.Min, control.Max);
    bar->setValue(control.Default);
    bar->setTickPosition(QSlider::NoTicks);
    bar->setPageStep(kPageStep);
    auto* label = new QLabel(Percent(control.Default), parent);
    label->setObjectName(control.Label);
    label->setMinimumWidth(34);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const int row = static_cast<int>(
        std::count_if(rows_.begin(), rows_.end(), [&](const TRow& r) { return r.Control->Group == control.Group; }));
    grid->addWidget(caption, row, 0);
    grid->addWidget(bar, row, 1);
    grid->addWidget(label, row, 2);
    rows_.push_back({&control, bar, label});
}

void TLookPanel::AddGeneralChoices(QGridLayout* grid) {
    QWidget* group = grid->parentWidget();
    int row = grid->rowCount();
    auto addBox = [&](const char* caption, const char* name, const char* hint, bool checked) {
        auto* box = new QCheckBox(caption, group);
        box->setObjectName(name);
        box->setChecked(checked);
        box->setToolTip(hint);
        box->setToolTipDuration(kHintTime);
        grid->addWidget(box, row++, 0, 1, 3);
        return box;
    };
    for (const TLookSwitch& option : LookSwitches())
        switches_.emplace_back(&option, addBox(option.Caption, option.Box, option.Hint, !option.OptionValue));
    cbxMatchPreview_ = addBox("Match Preview Colours", "cbxMatchPreview",
                              "Take the preview's own color cast and spread out before the reference's go in", false);
    sbnGeneralDefaults_ = new QPushButton("Defaults", group);
    sbnGeneralDefaults_->setObjectName("sbnGeneralDefaults");
    cbxFootage_ = new QComboBox(group);
    cbxFootage_->setObjectName("cbxFootage");
    footage_ = std::make_unique<TFootageChoice>(cbxFootage_);
    grid->addWidget(new QLabel("Footage", group), row, 0);
    grid->addWidget(cbxFootage_, row++, 1, 1, 2);
    cbxDisplayProfile_ = new QComboBox(group);
    cbxDisplayProfile_->setObjectName("cbxDisplayProfile");
    displayProfile_ = std::make_unique<TDisplayProfileChoice>(cbxDisplayProfile_);
    grid->addWidget(new QLabel("Display profile", group), row, 0);
    grid->addWidget(cbxDisplayProfile_, row, 1, 1, 2);
    // The combos' long entries would take the captions' room in the fixed
    // panel: they take what the captions leave and show their entry cut.
    for (QComboBox* combo : {cbxFootage_, cbxDisplayProfile_}) {
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        combo->setMinimumContentsLength(6);
    }
    grid->addWidget(sbnGeneralDefaults_, row + 1, 0, 1, 3, Qt::AlignRight);
}

void TLookPanel::ConnectControls() {
    for (const TRow& row : rows_)
        connect(row.Bar, &QSlider::valueChanged, this, [this, row](int position) {
            row.Label->setText(Percent(position));
            state_.SetPosition(row.Control->Position, position);
        });
    for (const auto& [option, box] : switches_)
        connect(box, &QCheckBox::toggled, this,
                [this, option](bool checked) { state_.SetSwitch(option->Position, checked); });
    connect(cbxMatchPreview_, &QCheckBox::toggled, this, [this](bool checked) { state_.SetMatchPreview(checked); });
    connect(sbnDefaults_, &QPushButton::clicked, this, [this] { sbnDefaultsClick(); });
    connect(sbnGeneralDefaults_, &QPushButton::clicked, this, [this] { sbnGeneralDefaultsClick(); });
}

void TLookPanel::sbnDefaultsClick() {
    {
        // Each moved bar updates its label; the look changes after the last.
        TQuietState quiet(state_);
        for (const TRow& row : rows_)
            if (row.Control->Group == TLookGroup::Saturation) row.Bar->setValue(row.Control->Default);
    }
    state_.Touch();
}

void TLookPanel::sbnGeneralDefaultsClick() {
    for (const TRow& row : rows_)
        if (row.Control->Group == TLookGroup::General) row.Bar->setValue(row.Control->Default);
    for (const auto& [option, box] : switches_)
        if (option->GeneralDefaults) box->setChecked(!option->OptionValue);
}
