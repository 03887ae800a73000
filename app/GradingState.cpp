#include "app/GradingState.h"

#include "app/FootageChoice.h"
#include "engine/look/GradingRoad.h"
#include "engine/look/SourceMatch.h"

TGradingState::TGradingState() : lut_(std::make_unique<TLUT>()) {
    lut_->Kind = lkCube;
    lut_->CubeSize = kLookCubeSize;
}

TGradingState::~TGradingState() = default;

void TGradingState::SetReference(const QString& file) {
    reference_ = file;
    emit LookEdited();
}

void TGradingState::RenameReference(const QString& from, const QString& to) {
    // The choice follows first, so that whoever hears of the rename sees it.
    if (!reference_.isEmpty() && reference_ == from) SetReference(to);
    emit ReferenceRenamed(from, to);
}

void TGradingState::SetPreviewLut(std::shared_ptr<const TLUT> lut, const QString& name) {
    previewLut_ = std::move(lut);
    previewLutName_ = name;
    emit LookEdited();
}

bool TGradingState::EndPreviewLut() {
    if (!previewLut_) return false;
    previewLut_.reset();
    previewLutName_.clear();
    emit LookEdited();
    return true;
}

TLook TGradingState::CurrentLook() const {
    TLook look;
    look.Reference = reference_;
    look.Lut = previewLut_;
    look.LutName = previewLutName_;
    look.Positions = positions_;
    look.Footage = footage_ ? footage_->Chosen() : 0;
    look.Match = matchPreview_;
    return look;
}

void TGradingState::SetPosition(int TLookPositions::*position, int value) {
    positions_.*position = value;
    Changed();
}

void TGradingState::SetSwitch(bool TLookPositions::*position, bool value) {
    positions_.*position = value;
    Changed();
}

void TGradingState::SetMatchPreview(bool match) {
    matchPreview_ = match;
    Changed();
}

void TGradingState::Changed() {
    emit LookEdited();
    if (!quiet_) emit LookChanged();
}

TLookSettings TGradingState::Settings(const TImage& cell, const TLookPositions& positions, bool match) const {
    TLookSettings settings = MakeLookSettings(CellStats(cell), positions);
    if (match && !preview_.Empty()) MatchLookToFrame(settings, *MatchStats(), previewFile_);
    return settings;
}

std::optional<TColorStats> TGradingState::MatchStats(int footageEntry) const {
    if (preview_.Empty() || footageEntry == footage_->Chosen()) return MatchStats();
    return FrameStatistics(footage_->ShownAs(footageEntry, preview_));
}

std::optional<TColorStats> TGradingState::MatchStats() const {
    if (preview_.Empty()) return std::nullopt;
    if (!previewStats_) previewStats_ = FrameStatistics(footage_->Shown(preview_));
    return previewStats_;
}

const TColorStats& TGradingState::CellStats(const TImage& cell) const {
    if (statsCell_.Empty() || !cell.SamePixels(statsCell_)) {
        ComputeColorStats(cell, cellStats_);
        statsCell_ = cell.Clone();
    }
    return cellStats_;
}

std::shared_ptr<const TLUT> TGradingState::LookLut(const TImage& cell, const TLookPositions& positions,
                                                   bool match) const {
    auto lut = std::make_shared<TLUT>();
    lut->Kind = lkCube;
    lut->CubeSize = kLookCubeSize;
    BuildLookLut(Settings(cell, positions, match), *lut);
    return lut;
}

void TGradingState::BuildLook(const TImage& cell) {
    referenceCell_ = cell.Clone();
    const TLookSettings settings = Settings(referenceCell_, positions_, matchPreview_);
    BuildLookLut(settings, *lut_);
    lastSettings_ = settings;
    ++buildCount_;
    lookBuilt_ = true;
}
