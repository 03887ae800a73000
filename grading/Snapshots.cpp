#include "grading/Snapshots.h"

#include "grading/GradingSession.h"

TSnapshots::TSnapshots(const TGradingSession& state, std::function<const TImage*(const QString&)> cellOf)
    : state_(state), cellOf_(std::move(cellOf)) {}

void TSnapshots::Store(int slot, const TLook& look) {
    if (!Valid(slot)) return;
    slots_[slot] = look;
    emit StoredChanged();
    if (slot == comparison_) emit ComparisonChanged();
}

void TSnapshots::Replace(int slot, const std::optional<TLook>& look) {
    if (look) return Store(slot, *look);
    if (!Has(slot)) return;
    slots_[slot].reset();
    emit StoredChanged();
    if (slot == comparison_) SetComparison(-1);
}

void TSnapshots::RenameReference(const QString& from, const QString& to) {
    for (std::optional<TLook>& look : slots_)
        if (look && look->Reference == from) look->Reference = to;
}

std::shared_ptr<const TLUT> TSnapshots::SnapshotLut(int slot) const {
    if (!Has(slot)) return nullptr;
    const TLook& look = *slots_[slot];
    if (look.Lut) return look.Lut;
    if (look.Reference.isEmpty() || !cellOf_) return nullptr;
    const TImage* cell = cellOf_(look.Reference);
    return cell ? state_.LookLut(*cell, look.Positions, look.Match) : nullptr;
}

void TSnapshots::ToggleComparison(int slot) { SetComparison(slot == comparison_ ? -1 : slot); }

void TSnapshots::SetComparison(int slot) {
    if (!Valid(slot)) slot = -1;
    if (slot == comparison_) return;
    comparison_ = slot;
    emit ComparisonChanged();
}
