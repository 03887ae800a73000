#pragma once
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/look/LookControls.h"
#include "engine/look/LookTransfer.h"
#include "engine/lut/LUT.h"
#include "engine/picture/Image.h"
#include "grading/FootageSpaces.h"
#include "grading/Look.h"
#include "grading/LookHistory.h"
#include "grading/Snapshots.h"

// What a front end is grading: the frame (a still, a deep picture, a pasted
// picture, a clip's or a sequence's frame, fitted into the preview box), the
// chosen reference (by its library file) and its cell, a previewed or
// learned LUT, the footage space and its conversion, the control positions
// with the strength, Match Preview Colours, the look built from them, the
// look's undo history and the snapshots A..D. The session builds the look
// and announces Regraded; the window's panels show what it holds and send it
// their changes and commands (undo, redo, store, recall or compare a
// snapshot).
class TGradingSession : public QObject {
    Q_OBJECT
public:
    TGradingSession();
    ~TGradingSession() override;

    // The frame: the picture fitted into the preview box, and the file it
    // came from (empty for a pasted picture).
    const TImage& Preview() const;
    bool HasPreview() const { return !preview_.Empty() || previewOf_; }
    const std::string& PreviewFile() const { return previewFile_; }
    void SetPreview(TImage picture);
    // The preview is `frame` fitted into the box, fitted when first asked
    // for: a clip's frame stepped to is not fitted unless something reads
    // it (Match Preview Colours, a footage conversion, a learned pair).
    void SetPreviewOf(std::shared_ptr<const TImage> frame, int boxWidth, int boxHeight);
    void SetPreviewFile(std::string file) { previewFile_ = std::move(file); }

    // The chosen reference's library file; empty when none is chosen.
    const QString& Reference() const { return reference_; }
    void SetReference(const QString& file);
    // A library file was renamed: a choice of it follows the new name, and
    // so do the history's and the snapshots' looks (then ReferenceRenamed).
    void RenameReference(const QString& from, const QString& to);
    // Where the cell of a reference file comes from (the library, or an
    // opened look document); nullptr for a file it no longer holds.
    void SetCellSource(std::function<const TImage*(const QString&)> cellOf);
    const TImage* CellOf(const QString& file) const { return cellOf_ ? cellOf_(file) : nullptr; }

    // A LUT file that grades the preview instead of the look.
    const TLUT* PreviewLut() const { return previewLut_.get(); }
    const QString& PreviewLutName() const { return previewLutName_; }
    void SetPreviewLut(std::shared_ptr<const TLUT> lut, const QString& name);
    // False when no LUT file was previewed.
    bool EndPreviewLut();

    // The footage spaces and the conversion of the chosen one.
    const TFootageSpaces& Footage() const { return footage_; }
    TFootageSpaces& Footage() { return footage_; }
    // The spaces to choose from, one of them chosen: the history starts
    // from the look in that space.
    void SetFootageSpaces(TFootageSpaces spaces);
    // Another footage space: the frame is converted once here, then
    // regraded. EError (the choice as it was) for a space that cannot be used.
    void ChooseFootage(int entry);

    // The grading controls. A change emits LookChanged, except while quiet.
    const TLookPositions& Positions() const { return positions_; }
    bool MatchPreview() const { return matchPreview_; }
    void SetPosition(int TLookPositions::*position, int value);
    void SetSwitch(bool TLookPositions::*position, bool value);
    void SetMatchPreview(bool match);
    void SetQuiet(bool quiet) { quiet_ = quiet; }
    // The look changed as a whole (after quiet changes).
    void Touch() { Changed(); }
    bool Quiet() const { return quiet_; }

    // The look graded with now, as undo and snapshots keep it.
    TLook CurrentLook() const;
    TLookHistory& History() { return *history_; }
    const TLookHistory& History() const { return *history_; }
    TSnapshots& Snapshots() { return *snapshots_; }
    const TSnapshots& Snapshots() const { return *snapshots_; }
    // The looks kept in the snapshots, empty slots as nothing.
    TSnapshotLooks SnapshotLooks() const;

    // Takes the look held now into the history (done on its own, once the
    // current event is handled, after any change of the look).
    void RecordLook();
    // The chosen reference's library file was deleted and the look held now
    // took its place: one step, which Undo takes back with the file.
    void RecordDeletion(const QString& file);
    // Undo is possible, or a change waits to become a step.
    bool CanUndo() const { return history_->CanUndo() || recordPending_; }
    bool CanRedo() const { return history_->CanRedo(); }
    // A step that deleted a library file: DeletionUndone (DeletionRedone)
    // brings the file back (deletes it again) before the look is restored;
    // an exception from there leaves the history where it was.
    void Undo();
    void Redo();
    void StoreSnapshot(int slot);
    void RecallSnapshot(int slot);
    // A look opened from a document: the look and the four snapshots take
    // the place of the ones held, as one step (Undo goes back to the look
    // before; the snapshots stay the document's).
    void RestoreDocument(const TLook& look, const TSnapshotLooks& snapshots);
    // The LUT of the snapshot split view compares with, or nullptr; made
    // afresh by UpdateComparison.
    const TLUT* ComparisonLut() const { return comparisonLut_.get(); }
    void UpdateComparison();

    // The look of the chosen reference as last built.
    const TLUT& Lut() const { return *lut_; }
    TLUT& Lut() { return *lut_; }
    const TImage& ReferenceCell() const { return referenceCell_; }
    const TLookSettings& LastSettings() const { return lastSettings_; }
    bool LookBuilt() const { return lookBuilt_; }
    int BuildCount() const { return buildCount_; }
    // Builds the look from a reference cell and the controls, matched to the
    // preview when asked.
    void BuildLook(const TImage& cell);
    // With a frame: the look of the chosen reference is built (when its cell
    // is known), then Regraded says the frame's grade is due.
    void Regrade();
    // A look's LUT built as BuildLook builds it, from a reference cell and
    // positions, matched to the current preview when asked; the session's
    // own look stays as it is.
    std::shared_ptr<const TLUT> LookLut(const TImage& cell, const TLookPositions& positions, bool match) const;
    // Graded: a look of a chosen reference, or a previewed LUT file.
    bool Graded() const { return (lookBuilt_ && !reference_.isEmpty()) || previewLut_; }
    // The LUT the preview is graded with: a previewed LUT file, else the look.
    const TLUT& ActiveLut() const { return previewLut_ ? *previewLut_ : *lut_; }
    // The preview's statistics for Match Preview Colours are measured afresh.
    void ForgetPreviewStats() { previewStats_.reset(); }
    // The statistics Match Preview Colours matches the look to: the shown
    // preview's, measured once per preview; nothing without a preview.
    std::optional<TColorStats> MatchStats() const;
    // The same for a look in another footage space, as it matches once that
    // space is chosen.
    std::optional<TColorStats> MatchStats(int footageEntry) const;

signals:
    void LookChanged();
    // Any part of the look changed: controls (quiet or not), reference,
    // previewed LUT, footage space.
    void LookEdited();
    void ReferenceRenamed(const QString& from, const QString& to);
    // A new footage space converted the frame (before its regrade).
    void FootageConverted();
    // The frame's grade is due: the look was built afresh, or the reference
    // or previewed LUT it is graded with changed. lookBuilt tells whether a
    // reference's look was built.
    void Regraded(bool lookBuilt);
    // A look of the history, a snapshot or a document took the place of the
    // current one; its controls, reference and previewed LUT are in place
    // (announced while quiet, before the footage space and the regrade).
    void LookRestored(const TLook& look);
    // Undo, redo or a snapshot stored: what can be undone or recalled changed.
    void HistoryChanged();
    // Undo of a step that deleted a library file brings the file back;
    // redo deletes it again.
    void DeletionUndone(const QString& file);
    void DeletionRedone(const QString& file);
    // A footage space was chosen and the frame converted to it.
    void FootageChosen(int entry);

private:
    void Changed();
    // Puts the controls, the reference and the previewed LUT of a look in
    // place quietly, then regrades once.
    void Restore(const TLook& look);
    // Changes made in one go (a reference chosen and a LUT preview ended, a
    // Defaults button) are one step.
    void ScheduleRecord();
    TLookSettings Settings(const TImage& cell, const TLookPositions& positions, bool match) const;
    // The statistics of a reference's cell, measured again only for a cell
    // of other pixels (a slider's move keeps the reference).
    const TColorStats& CellStats(const TImage& cell) const;

    // The preview made, or the frame it is still to be fitted from.
    mutable TImage preview_;
    mutable std::shared_ptr<const TImage> previewOf_;
    int previewBoxWidth_ = 0, previewBoxHeight_ = 0;
    std::string previewFile_;
    QString reference_;
    std::function<const TImage*(const QString&)> cellOf_;
    std::shared_ptr<const TLUT> previewLut_;
    QString previewLutName_;
    TFootageSpaces footage_;
    TLookPositions positions_;
    bool matchPreview_ = false;
    bool quiet_ = false;
    bool recordPending_ = false;
    std::unique_ptr<TLUT> lut_;
    TImage referenceCell_;
    TLookSettings lastSettings_;
    bool lookBuilt_ = false;
    int buildCount_ = 0;
    std::unique_ptr<TLookHistory> history_;
    std::unique_ptr<TSnapshots> snapshots_;
    std::shared_ptr<const TLUT> comparisonLut_;
    // Statistics of the preview for Match Preview Colours, measured once per preview.
    mutable std::optional<TColorStats> previewStats_;
    mutable TImage statsCell_;
    mutable TColorStats cellStats_{};
};
