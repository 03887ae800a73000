#include "app/LookPanel.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStyleOptionComboBox>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>

#include "app/Application.h"
#include "app/PositionEditor.h"
#include "grading/GradingSession.h"

namespace {

constexpr int kPanelWidth = 230;
// A footage space or display profile of the user's own with a very long
// name may not widen the panel beyond this; its entry is then shown cut.
constexpr int kPanelMaxWidth = 2 * kPanelWidth;
constexpr int kHintTime = 5000;
constexpr int kPageStep = 10;
constexpr int kShiftStep = 10;

const char* const kNoStrengthHint = "Look Strength is 0 %: the look leaves the picture as it is";
const char* const kLutPreviewHint = "A LUT file grades the preview: choose a reference to grade with the look";

QString Percent(int position) { return QString::number(position) + "%"; }

// What "Defaults" of the General group resets and what it leaves, from the
// table of controls: "Sets Color Gain to 100%, Look Strength to 100% and
// turns Advanced Color Analysis on; Compress Saturation and Match Preview
// Colours keep their state".
QString GeneralDefaultsHint() {
    QStringList reset, kept;
    for (const TLookControl& control : LookControls())
        if (control.Group == TLookGroup::General) reset << QString(control.Caption) + " to " + Percent(control.Default);
    std::vector<const TLookSwitch*> switches;
    for (const TLookSwitch& option : LookSwitches()) switches.push_back(&option);
    switches.push_back(&MatchPreviewSwitch());
    for (const TLookSwitch* option : switches) {
        if (!option->GeneralDefaults)
            kept << option->Caption;
        else
            reset << QString("turns ") + option->Caption + (option->OptionValue ? " off" : " on");
    }
    auto list = [](const QStringList& items) {
        return items.size() < 2 ? items.join("") : items.mid(0, items.size() - 1).join(", ") + " and " + items.last();
    };
    return "Sets " + list(reset) + "; " + list(kept) + " keep their state";
}

// The width a combo needs to show its longest entry whole.
int ComboWidth(const QComboBox& combo) {
    const QFontMetrics metrics = combo.fontMetrics();
    int text = 0;
    for (int i = 0; i < combo.count(); ++i) {
        const int icon = combo.itemIcon(i).isNull() ? 0 : combo.iconSize().width() + 4;
        text = std::max(text, metrics.horizontalAdvance(combo.itemText(i)) + icon);
    }
    QStyleOptionComboBox option;
    option.initFrom(&combo);
    option.editable = combo.isEditable();
    option.frame = combo.hasFrame();
    return combo.style()->sizeFromContents(QStyle::CT_ComboBox, &option, QSize(text, metrics.height()), &combo).width();
}

// A control whose value the mouse wheel changes.
bool TurnsByWheel(const QObject* widget) {
    return qobject_cast<const QAbstractSlider*>(widget) || qobject_cast<const QComboBox*>(widget) ||
           qobject_cast<const QAbstractSpinBox*>(widget);
}

// The look changes once at the end of the object's lifetime, not with each
// control moved meanwhile.
class TQuietState {
public:
    explicit TQuietState(TGradingSession& state) : state_(state) { state_.SetQuiet(true); }
    ~TQuietState() { state_.SetQuiet(false); }
    TQuietState(const TQuietState&) = delete;
    TQuietState& operator=(const TQuietState&) = delete;

private:
    TGradingSession& state_;
};

}  // namespace

TLookPanel::TLookPanel(TGradingSession& state, QWidget* parent) : QWidget(parent), state_(state) {
    setObjectName("pnlRight");
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->addWidget(CreateGroup(TLookGroup::General, "General", "grpGeneral"));
    column->addWidget(CreateGroup(TLookGroup::Saturation, "Saturation", "grpSaturation"));
    column->addStretch(1);
    FitWidth();
    // A display profile file chosen adds its name.
    for (QComboBox* combo : {cbxFootage_, cbxDisplayProfile_})
        connect(combo->model(), &QAbstractItemModel::rowsInserted, this, &TLookPanel::FitWidth);
    positionEditor_ = new TPositionEditor(this);
    ConnectControls();
    CreateActions();
    SetTabOrder();
    UpdateEnabled();
    GuardWheel();
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
        tabOrder_.push_back(sbnDefaults_);
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
    const QFontMetrics metrics(label->font());
    label->setMinimumWidth(
        std::max(metrics.horizontalAdvance(Percent(control.Min)), metrics.horizontalAdvance(Percent(control.Max))) +
        2 * label->margin());
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setToolTip("Double-click to type a value");
    bar->installEventFilter(this);
    label->installEventFilter(this);
    tabOrder_.push_back(bar);
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
        tabOrder_.push_back(box);
        return box;
    };
    for (const TLookSwitch& option : LookSwitches())
        switches_.emplace_back(&option, addBox(option.Caption, option.Box, option.Hint, !option.OptionValue));
    const TLookSwitch& match = MatchPreviewSwitch();
    cbxMatchPreview_ = addBox(match.Caption, match.Box, match.Hint, !match.OptionValue);
    // Each combo on a row of its own under its caption, as wide as its
    // longest entry: no entry is shown cut.
    auto addCombo = [&](const char* caption, const char* name) {
        auto* combo = new QComboBox(group);
        combo->setObjectName(name);
        grid->addWidget(new QLabel(caption, group), row++, 0, 1, 3);
        grid->addWidget(combo, row++, 0, 1, 3);
        tabOrder_.push_back(combo);
        return combo;
    };
    cbxFootage_ = addCombo("Footage", "cbxFootage");
    footage_ = std::make_unique<TFootageChoice>(cbxFootage_, state_);
    cbxDisplayProfile_ = addCombo("Display profile", "cbxDisplayProfile");
    displayProfile_ = std::make_unique<TDisplayProfileChoice>(cbxDisplayProfile_);
    sbnGeneralDefaults_ = new QPushButton("Defaults", group);
    sbnGeneralDefaults_->setObjectName("sbnGeneralDefaults");
    grid->addWidget(sbnGeneralDefaults_, row, 0, 1, 3, Qt::AlignRight);
    tabOrder_.push_back(sbnGeneralDefaults_);
}

// The panel as wide as its captions and the combos' longest entries need in
// this font. The combos are measured here rather than adjusting to their
// contents themselves, which would resize them past the layout.
// The General group and the panel measure their contents afresh.
void TLookPanel::Relayout() {
    QWidget* group = cbxFootage_->parentWidget();
    group->layout()->invalidate();
    group->updateGeometry();
    layout()->invalidate();
}

void TLookPanel::FitWidth() {
    int longest = 0;
    for (QComboBox* combo : {cbxFootage_, cbxDisplayProfile_}) {
        combo->setMinimumWidth(0);
        longest = std::max(longest, ComboWidth(*combo));
    }
    Relayout();
    const int margins = minimumSizeHint().width() -
                        std::max(cbxFootage_->minimumSizeHint().width(), cbxDisplayProfile_->minimumSizeHint().width());
    for (QComboBox* combo : {cbxFootage_, cbxDisplayProfile_})
        combo->setMinimumWidth(std::min(longest, kPanelMaxWidth - margins));
    Relayout();
    setFixedWidth(std::clamp(minimumSizeHint().width(), kPanelWidth, kPanelMaxWidth));
}

void TLookPanel::ConnectControls() {
    for (const TRow& row : rows_) {
        connect(row.Bar, &QSlider::valueChanged, this, [this, row](int position) {
            row.Label->setText(Percent(position));
            state_.SetPosition(row.Control->Position, position);
        });
        connect(row.Bar, &QSlider::sliderPressed, this, [this] {
            state_.RecordLook();
            state_.History().SetDragging(true);
        });
        connect(row.Bar, &QSlider::sliderReleased, this, [this] {
            state_.RecordLook();
            state_.History().SetDragging(false);
        });
    }
    connect(&state_, &TGradingSession::LookEdited, this, &TLookPanel::LookEdited);
    connect(cbxFootage_, &QComboBox::currentIndexChanged, this, [this] { RunHandler([this] { footage_->Choose(); }); });
    connect(&state_, &TGradingSession::FootageChosen, this, [this](int entry) { footage_->Follow(entry); });
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

// ---- undo and snapshots ---------------------------------------------------

void TLookPanel::CreateActions() {
    // Undoing a deletion moves a file, which may fail.
    actUndo_ = AddAction("Undo", "miUndo", QKeySequence(Qt::CTRL | Qt::Key_Z),
                         [this] { RunHandler([this] { state_.Undo(); }); });
    actRedo_ = AddAction("Redo", "miRedo", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                         [this] { RunHandler([this] { state_.Redo(); }); });
    for (int slot = 0; slot < TSnapshots::kSlots; ++slot) {
        const QString name = TSnapshots::Name(slot);
        const auto digit = static_cast<Qt::Key>(Qt::Key_1 + slot);
        AddAction("Store Snapshot " + name, qPrintable("miStoreSnapshot" + name), QKeySequence(Qt::CTRL | digit),
                  [this, slot] { state_.StoreSnapshot(slot); });
        actRecall_[slot] = AddAction("Recall Snapshot " + name, qPrintable("miRecallSnapshot" + name),
                                     QKeySequence(digit), [this, slot] { state_.RecallSnapshot(slot); });
        actCompare_[slot] =
            AddAction("Compare with Snapshot " + name, qPrintable("miCompareSnapshot" + name),
                      QKeySequence(Qt::ALT | digit), [this, slot] { state_.Snapshots().ToggleComparison(slot); });
        actCompare_[slot]->setCheckable(true);
    }
    connect(&state_.Snapshots(), &TSnapshots::ComparisonChanged, this, &TLookPanel::UpdateActions);
    connect(&state_, &TGradingSession::HistoryChanged, this, &TLookPanel::UpdateActions);
    connect(&state_, &TGradingSession::LookRestored, this, &TLookPanel::ShowLook);
    UpdateActions();
}

QAction* TLookPanel::AddAction(const QString& text, const char* name, const QKeySequence& keys,
                               std::function<void()> run) {
    auto* action = new QAction(text, this);
    action->setObjectName(name);
    action->setShortcut(keys);
    connect(action, &QAction::triggered, this, [run = std::move(run)] { run(); });
    addAction(action);
    actions_.push_back(action);
    return action;
}

void TLookPanel::LookEdited() { UpdateEnabled(); }

// The controls follow a restored look; their changes reach the session
// while it is quiet, and it regrades once.
void TLookPanel::ShowLook(const TLook& look) {
    positionEditor_->Close(false);
    for (const TRow& row : rows_) row.Bar->setValue(look.Positions.*row.Control->Position);
    for (const auto& [option, box] : switches_) box->setChecked(look.Positions.*option->Position);
    cbxMatchPreview_->setChecked(look.Match);
}

void TLookPanel::UpdateActions() {
    actUndo_->setEnabled(state_.CanUndo());
    actRedo_->setEnabled(state_.CanRedo());
    for (int slot = 0; slot < TSnapshots::kSlots; ++slot) {
        actRecall_[slot]->setEnabled(state_.Snapshots().Has(slot));
        actCompare_[slot]->setEnabled(state_.Snapshots().Has(slot));
        actCompare_[slot]->setChecked(state_.Snapshots().Comparison() == slot);
    }
}

// ---- controls that cannot act --------------------------------------------

void TLookPanel::UpdateEnabled() {
    const bool lutPreview = state_.PreviewLut() != nullptr;
    const bool noStrength = state_.Positions().Strength == 0;
    auto why = [&](bool strengthScales) -> QString {
        if (lutPreview) return kLutPreviewHint;
        if (strengthScales && noStrength) return kNoStrengthHint;
        return QString();
    };
    auto set = [](QWidget* widget, const QString& reason, const QString& hint) {
        widget->setEnabled(reason.isEmpty());
        widget->setToolTip(reason.isEmpty() ? hint : reason);
    };
    for (const TRow& row : rows_) set(row.Bar, why(row.Control->Dosed), QString());
    for (const auto& [option, box] : switches_) set(box, why(true), option->Hint);
    set(cbxMatchPreview_, why(true), MatchPreviewSwitch().Hint);
    set(sbnDefaults_, why(true), QString());
    set(sbnGeneralDefaults_, why(false), GeneralDefaultsHint());
}

// ---- keys, double-clicks and typed values ---------------------------------

bool TLookPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel && TurnsByWheel(watched) && !static_cast<QWidget*>(watched)->hasFocus()) {
        if (ScrollByWheel(*static_cast<QWheelEvent*>(event))) return true;
        // Passed on to the widgets around the control.
        event->ignore();
        return true;
    }
    for (const TRow& row : rows_) {
        if (watched == row.Bar && row.Bar->isEnabled()) {
            if (event->type() == QEvent::MouseButtonDblClick) {
                row.Bar->setValue(row.Control->Default);
                return true;
            }
            if (event->type() == QEvent::KeyPress) return BarKey(row, *static_cast<QKeyEvent*>(event));
        }
        if (watched == row.Label && event->type() == QEvent::MouseButtonDblClick && row.Bar->isEnabled()) {
            positionEditor_->Open(row.Bar, row.Label);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool TLookPanel::BarKey(const TRow& row, const QKeyEvent& key) {
    if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) {
        positionEditor_->Open(row.Bar, row.Label);
        return true;
    }
    if (!(key.modifiers() & Qt::ShiftModifier)) return false;
    int sign = 0;
    if (key.key() == Qt::Key_Right || key.key() == Qt::Key_Up) sign = 1;
    if (key.key() == Qt::Key_Left || key.key() == Qt::Key_Down) sign = -1;
    if (sign == 0) return false;
    row.Bar->setValue(row.Bar->value() + sign * kShiftStep);
    return true;
}

// ---- the mouse wheel -------------------------------------------------------

void TLookPanel::GuardWheel() {
    for (QWidget* widget : findChildren<QWidget*>()) {
        if (!TurnsByWheel(widget)) continue;
        widget->setFocusPolicy(Qt::StrongFocus);
        widget->installEventFilter(this);
    }
}

bool TLookPanel::ScrollByWheel(const QWheelEvent& wheel) {
    QAbstractScrollArea* area = nullptr;
    for (QWidget* widget = parentWidget(); widget && !area; widget = widget->parentWidget())
        area = qobject_cast<QAbstractScrollArea*>(widget);
    if (!area) return false;
    QWidget* viewport = area->viewport();
    QWheelEvent scroll(viewport->mapFromGlobal(wheel.globalPosition()), wheel.globalPosition(), wheel.pixelDelta(),
                       wheel.angleDelta(), wheel.buttons(), wheel.modifiers(), wheel.phase(), wheel.inverted());
    QCoreApplication::sendEvent(viewport, &scroll);
    return true;
}

void TLookPanel::SetTabOrder() {
    for (size_t i = 1; i < tabOrder_.size(); ++i) setTabOrder(tabOrder_[i - 1], tabOrder_[i]);
}
