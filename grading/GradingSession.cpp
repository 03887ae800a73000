#include "grading/GradingSession.h"

#include "engine/look/GradingRoad.h"
#include "engine/look/SourceMatch.h"

TGradingSession::TGradingSession() : lut_(std::make_unique<TLUT>()) {
    lut_->Kind = lkCube;
    lut_->CubeSize = kLookCubeSize;
    history_ = std::make_unique<TLookHistory>(CurrentLook());
    snapshots_ = std::make_unique<TSnapshots>(*this);
}

TGradingSession::~TGradingSession() = default;

void TGradingSession::SetReference(const QString& file) {
    reference_ = file;
    emit LookEdited();
}

void TGradingSession::RenameReference(const QString& from, const QString& to) {
    // The choice follows first, so that whoever hears of the rename sees it.
    if (!reference_.isEmpty() && reference_ == from) SetReference(to);
    history_->RenameReference(from, to);
    snapshots_->RenameReference(from, to);
    emit ReferenceRenamed(from, to);
}

void TGradingSession::SetCellSource(std::function<const TImage*(const QString&)> cellOf) {
    cellOf_ = std::move(cellOf);
    snapshots_->SetCellOf(cellOf_);
}

void TGradingSession::SetPreviewLut(std::shared_ptr<const TLUT> lut, const QString& name) {
    previewLut_ = std::move(lut);
    previewLutName_ = name;
    emit LookEdited();
}

bool TGradingSession::EndPreviewLut() {
    if (!previewLut_) return false;
    previewLut_.reset();
    previewLutName_.clear();
    emit LookEdited();
    return true;
}

void TGradingSession::SetFootageSpaces(TFootageSpaces spaces) {
    footage_ = std::move(spaces);
    *history_ = TLookHistory(CurrentLook());
}

void TGradingSession::ChooseFootage(int entry) {
    emit LookEdited();
    footage_.Choose(entry, preview_);
    ForgetPreviewStats();  // matching measures the converted frame
    if (preview_.Empty()) return;
    emit FootageConverted();
    Regrade();
}

TLook TGradingSession::CurrentLook() const {
    TLook look;
    look.Reference = reference_;
    look.Lut = previewLut_;
    look.LutName = previewLutName_;
    look.Positions = positions_;
    look.Footage = footage_.Chosen();
    look.Match = matchPreview_;
    return look;
}

void TGradingSession::UpdateComparison() { comparisonLut_ = snapshots_->SnapshotLut(snapshots_->Comparison()); }

void TGradingSession::SetPosition(int TLookPositions::*position, int value) {
    positions_.*position = value;
    Changed();
}

void TGradingSession::SetSwitch(bool TLookPositions::*position, bool value) {
    positions_.*position = value;
    Changed();
}

void TGradingSession::SetMatchPreview(bool match) {
    matchPreview_ = match;
    Changed();
}

void TGradingSession::Changed() {
    emit LookEdited();
    if (!quiet_) emit LookChanged();
}

TLookSettings TGradingSession::Settings(const TImage& cell, const TLookPositions& positions, bool match) const {
    TLookSettings settings = MakeLookSettings(CellStats(cell), positions);
    if (match && !preview_.Empty()) MatchLookToFrame(settings, *MatchStats(), previewFile_);
    return settings;
}

std::optional<TColorStats> TGradingSession::MatchStats(int footageEntry) const {
    if (preview_.Empty() || footageEntry == footage_.Chosen()) return MatchStats();
    return FrameStatistics(footage_.ShownAs(footageEntry, preview_));
}

std::optional<TColorStats> TGradingSession::MatchStats() const {
    if (preview_.Empty()) return std::nullopt;
    if (!previewStats_) previewStats_ = FrameStatistics(footage_.Shown(preview_));
    return previewStats_;
}

const TColorStats& TGradingSession::CellStats(const TImage& cell) const {
    if (statsCell_.Empty() || !cell.SamePixels(statsCell_)) {
        ComputeColorStats(cell, cellStats_);
        statsCell_ = cell.Clone();
    }
    return cellStats_;
}

std::shared_ptr<const TLUT> TGradingSession::LookLut(const TImage& cell, const TLookPositions& positions,
                                                     bool match) const {
    auto lut = std::make_shared<TLUT>();
    lut->Kind = lkCube;
    lut->CubeSize = kLookCubeSize;
    BuildLookLut(Settings(cell, positions, match), *lut);
    return lut;
}

void TGradingSession::BuildLook(const TImage& cell) {
    referenceCell_ = cell.Clone();
    const TLookSettings settings = Settings(referenceCell_, positions_, matchPreview_);
    BuildLookLut(settings, *lut_);
    lastSettings_ = settings;
    ++buildCount_;
    lookBuilt_ = true;
}

void TGradingSession::Regrade() {
    if (preview_.Empty()) return;
    bool built = false;
    if (!reference_.isEmpty()) {
        if (const TImage* cell = CellOf(reference_)) {
            BuildLook(*cell);
            built = true;
        }
    }
    emit Regraded(built);
}
