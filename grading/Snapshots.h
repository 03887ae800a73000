#pragma once
#include <QObject>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "engine/picture/Image.h"
#include "grading/Look.h"

class TGradingSession;

// The looks of the four snapshots, empty slots as nothing.
using TSnapshotLooks = std::array<std::optional<TLook>, 4>;

// Up to four kept looks, A to D, and the one the viewer's split view
// compares the current look with.
class TSnapshots : public QObject {
    Q_OBJECT
public:
    static constexpr int kSlots = 4;

    // cellOf: the library cell of a reference file, or nullptr when the
    // file is no longer in the library.
    TSnapshots(const TGradingSession& state, std::function<const TImage*(const QString&)> cellOf = {});

    void SetCellOf(std::function<const TImage*(const QString&)> cellOf) { cellOf_ = std::move(cellOf); }
    static QString Name(int slot) { return QString(QChar('A' + slot)); }

    void Store(int slot, const TLook& look);
    // Keeps the look in the slot, or empties the slot (ending a comparison
    // with it).
    void Replace(int slot, const std::optional<TLook>& look);
    // A library file was renamed: a kept look that chose it follows.
    void RenameReference(const QString& from, const QString& to);
    bool Has(int slot) const { return Valid(slot) && slots_[slot].has_value(); }
    // The kept look; Has(slot) must hold.
    const TLook& Look(int slot) const { return *slots_[slot]; }

    // The LUT the kept look grades with, built from its reference cell as
    // the current look is built (matched to the current preview when the
    // look matches); its previewed LUT; nullptr for an empty slot, an
    // ungraded look or a reference no longer in the library.
    std::shared_ptr<const TLUT> SnapshotLut(int slot) const;

    // The slot split view compares with, or -1 for the original picture.
    int Comparison() const { return comparison_; }
    // Choosing the slot compared already goes back to the original.
    void ToggleComparison(int slot);
    void SetComparison(int slot);

signals:
    // The comparison slot, or the look kept in it, changed.
    void ComparisonChanged();
    void StoredChanged();

private:
    static bool Valid(int slot) { return slot >= 0 && slot < kSlots; }

    const TGradingSession& state_;
    std::function<const TImage*(const QString&)> cellOf_;
    std::array<std::optional<TLook>, kSlots> slots_;
    int comparison_ = -1;
};
