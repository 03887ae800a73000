#include "app/GradingState.h"

#include "app/FootageChoice.h"
#include "engine/GradingRoad.h"
#include "engine/SourceMatch.h"

TGradingState::TGradingState() : lut_(std::make_unique<TLUT>()) {
    lut_->Kind = lkCube;
    lut_->CubeSize = kLookCubeSize;
}

TGradingState::~TGradingState() = default;

void TGradingState::SetPreviewLut(std::unique_ptr<TLUT> lut, const QString& name) {
    previewLut_ = std::move(lut);
    previewLutName_ = name;
}

bool TGradingState::EndPreviewLut() {
    if (!previewLut_) return false;
    previewLut_.reset();
    previewLutName_.clear();
    return true;
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
    if (!quiet_) emit LookChanged();
}

void TGradingState::BuildLook(const TImage& cell) {
    referenceCell_ = cell.Clone();
    TLookSettings settings = LookFromReference(referenceCell_, positions_);
    if (matchPreview_ && !preview_.Empty()) {
        if (!previewStats_) previewStats_ = FrameStatistics(footage_->Shown(preview_));
        MatchLookToFrame(settings, *previewStats_, previewFile_);
    }
    BuildLookLut(settings, *lut_);
    lastSettings_ = settings;
    ++buildCount_;
    lookBuilt_ = true;
}
