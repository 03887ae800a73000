#pragma once
#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <string>

#include "app/Look.h"
#include "engine/look/LookControls.h"
#include "engine/look/LookTransfer.h"
#include "engine/lut/LUT.h"
#include "engine/picture/Image.h"

class TFootageChoice;

// What the window is grading: the preview picture, the chosen reference (by
// its library file), a previewed LUT file, the footage space, the control
// positions and the look built from them. The viewer shows, Ctrl+E exports
// and Ctrl+S saves what this holds; the panels only change it.
class TGradingState : public QObject {
    Q_OBJECT
public:
    TGradingState();
    ~TGradingState() override;

    // The preview: the picture fitted into the preview box, and the file it
    // came from (empty for a pasted picture).
    const TImage& Preview() const { return preview_; }
    const std::string& PreviewFile() const { return previewFile_; }
    void SetPreview(TImage picture) { preview_ = std::move(picture); }
    void SetPreviewFile(std::string file) { previewFile_ = std::move(file); }

    // The chosen reference's library file; empty when none is chosen.
    const QString& Reference() const { return reference_; }
    void SetReference(const QString& file);
    // A library file was renamed: a choice of it follows the new name, and
    // so do the looks kept elsewhere (ReferenceRenamed).
    void RenameReference(const QString& from, const QString& to);

    // A LUT file that grades the preview instead of the look.
    const TLUT* PreviewLut() const { return previewLut_.get(); }
    const QString& PreviewLutName() const { return previewLutName_; }
    void SetPreviewLut(std::shared_ptr<const TLUT> lut, const QString& name);
    // False when no LUT file was previewed.
    bool EndPreviewLut();

    // The footage space, as the look panel's choice holds it.
    const TFootageChoice& Footage() const { return *footage_; }
    TFootageChoice& Footage() { return *footage_; }
    void SetFootage(TFootageChoice* footage) { footage_ = footage; }

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
    // Another footage space was chosen.
    void FootageChosen() { emit LookEdited(); }

    // The look the window grades with now, as undo and snapshots keep it.
    TLook CurrentLook() const;

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
    // A look's LUT built as BuildLook builds it, from a reference cell and
    // positions, matched to the current preview when asked; the state's
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
    // The same for a look in the footage space of another entry of the
    // Footage combo, as it matches once that space is chosen.
    std::optional<TColorStats> MatchStats(int footageEntry) const;

signals:
    void LookChanged();
    // Any part of the look changed: controls (quiet or not), reference,
    // previewed LUT, footage space.
    void LookEdited();
    void ReferenceRenamed(const QString& from, const QString& to);

private:
    void Changed();
    TLookSettings Settings(const TImage& cell, const TLookPositions& positions, bool match) const;
    // The statistics of a reference's cell, measured again only for a cell
    // of other pixels (a slider's move keeps the reference).
    const TColorStats& CellStats(const TImage& cell) const;

    TImage preview_;
    std::string previewFile_;
    QString reference_;
    std::shared_ptr<const TLUT> previewLut_;
    QString previewLutName_;
    TFootageChoice* footage_ = nullptr;
    TLookPositions positions_;
    bool matchPreview_ = false;
    bool quiet_ = false;
    std::unique_ptr<TLUT> lut_;
    TImage referenceCell_;
    TLookSettings lastSettings_;
    bool lookBuilt_ = false;
    int buildCount_ = 0;
    // Statistics of the preview for Match Preview Colours, measured once per preview.
    mutable std::optional<TColorStats> previewStats_;
    mutable TImage statsCell_;
    mutable TColorStats cellStats_{};
};
