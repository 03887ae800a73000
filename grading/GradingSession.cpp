#include "grading/GradingSession.h"

#include <QCoreApplication>
#include <QScopeGuard>

#include "engine/look/GradingRoad.h"
#include "engine/look/SourceMatch.h"
#include "engine/picture/ImageResize.h"

TGradingSession::TGradingSession() : lut_(std::make_unique<TLUT>()) {
    lut_->Kind = lkCube;
    lut_->CubeSize = kLookCubeSize;
    history_ = std::make_unique<TLookHistory>(CurrentLook());
    snapshots_ = std::make_unique<TSnapshots>(*this);
    connect(this, &TGradingSession::LookEdited, this, &TGradingSession::ScheduleRecord);
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

const TImage& TGradingSession::Preview() const {
    if (previewOf_) {
        preview_ = FitImage(*previewOf_, previewBoxWidth_, previewBoxHeight_);
        previewOf_.reset();
    }
    return preview_;
}

void TGradingSession::SetPreview(TImage picture) {
    preview_ = std::move(picture);
    previewOf_.reset();
}

void TGradingSession::SetPreviewOf(std::shared_ptr<const TImage> frame, int boxWidth, int boxHeight) {
    preview_ = TImage();
    previewOf_ = std::move(frame);
    previewBoxWidth_ = boxWidth;
    previewBoxHeight_ = boxHeight;
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
    footage_.Choose(entry, Preview());
    emit FootageChosen(entry);
    ForgetPreviewStats();  // matching measures the converted frame
    if (!HasPreview()) return;
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
    if (match && HasPreview()) MatchLookToFrame(settings, *MatchStats(), previewFile_);
    return settings;
}

std::optional<TColorStats> TGradingSession::MatchStats(int footageEntry) const {
    if (!HasPreview() || footageEntry == footage_.Chosen()) return MatchStats();
    return FrameStatistics(footage_.ShownAs(footageEntry, Preview()));
}

std::optional<TColorStats> TGradingSession::MatchStats() const {
    if (!HasPreview()) return std::nullopt;
    if (!previewStats_) previewStats_ = FrameStatistics(footage_.Shown(Preview()));
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
    if (!HasPreview()) return;
    bool built = false;
    if (!reference_.isEmpty()) {
        if (const TImage* cell = CellOf(reference_)) {
            BuildLook(*cell);
            built = true;
        }
    }
    emit Regraded(built);
}

// ---- undo and snapshots ---------------------------------------------------

TSnapshotLooks TGradingSession::SnapshotLooks() const {
    TSnapshotLooks looks;
    for (int slot = 0; slot < TSnapshots::kSlots; ++slot)
        if (snapshots_->Has(slot)) looks[slot] = snapshots_->Look(slot);
    return looks;
}

void TGradingSession::ScheduleRecord() {
    if (recordPending_ || !QCoreApplication::instance()) return;
    recordPending_ = true;
    QMetaObject::invokeMethod(
        this, [this] { RecordLook(); }, Qt::QueuedConnection);
}

void TGradingSession::RecordLook() {
    recordPending_ = false;
    history_->Record(CurrentLook(), TLookHistory::TClock::now());
    emit HistoryChanged();
}

void TGradingSession::RecordDeletion(const QString& file) {
    recordPending_ = false;
    history_->RecordDeletion(file, CurrentLook(), TLookHistory::TClock::now());
    emit HistoryChanged();
}

void TGradingSession::Undo() {
    RecordLook();
    if (!history_->CanUndo()) return;
    if (!history_->UndoDeletes().isEmpty()) emit DeletionUndone(history_->UndoDeletes());
    Restore(history_->Undo());
    emit HistoryChanged();
}

void TGradingSession::Redo() {
    RecordLook();
    if (!history_->CanRedo()) return;
    if (!history_->RedoDeletes().isEmpty()) emit DeletionRedone(history_->RedoDeletes());
    Restore(history_->Redo());
    emit HistoryChanged();
}

void TGradingSession::StoreSnapshot(int slot) {
    RecordLook();
    snapshots_->Store(slot, CurrentLook());
    emit HistoryChanged();
}

void TGradingSession::RecallSnapshot(int slot) {
    RecordLook();
    if (!snapshots_->Has(slot)) return;
    const TLook look = snapshots_->Look(slot);
    history_->EndStep();
    Restore(look);
    RecordLook();
    history_->EndStep();
}

void TGradingSession::RestoreDocument(const TLook& look, const TSnapshotLooks& snapshots) {
    RecordLook();
    for (int slot = 0; slot < TSnapshots::kSlots; ++slot) snapshots_->Replace(slot, snapshots[slot]);
    history_->EndStep();
    Restore(look);
    RecordLook();
    history_->EndStep();
}

void TGradingSession::Restore(const TLook& look) {
    // The views put their controls in place while the session is quiet.
    {
        const auto loud = qScopeGuard([this, wasQuiet = quiet_] { quiet_ = wasQuiet; });
        quiet_ = true;
        positions_ = look.Positions;
        matchPreview_ = look.Match;
        if (look.Lut)
            SetPreviewLut(look.Lut, look.LutName);
        else
            EndPreviewLut();
        SetReference(look.Reference);
        emit LookRestored(look);
    }
    // A new footage space converts the preview and regrades; else the look
    // is built once here.
    if (look.Footage != footage_.Chosen() && look.Footage < static_cast<int>(footage_.Entries().size()))
        ChooseFootage(look.Footage);
    else
        Touch();
}
