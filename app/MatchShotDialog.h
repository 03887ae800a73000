#pragma once
#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "engine/picture/Image.h"

class QCheckBox;
class QLabel;
class QPushButton;
class TLUT;
class TPictureSlot;
struct TMatchedShot;

// "Match Shot…": a slot for the graded frame (its "..." button, a file
// dropped on it, "Last saved" for the graded picture this window saved last,
// or a clip, which gives a frame) and the window's current picture as FRAME.
// With both, the look that grades FRAME like the graded frame is fitted on
// the road 'ombrane-cli match' takes (ShotMatching.h) and its report shown,
// or the refusal in one line. "Preview" closes the dialog with the look for
// the window to preview as it previews a learned look; "Export LUT..."
// writes it through the export dialog, matched at the size chosen there.
// "Show matched region" tints the part of FRAME's thumbnail that was not
// matched.
class TfrmMatchShot : public QDialog {
    Q_OBJECT
public:
    explicit TfrmMatchShot(QWidget* parent = nullptr);
    ~TfrmMatchShot() override;

    // What the window tells the dialog: a clip's frame to take (the frame
    // bar's when that clip is open in the window, else its first) and the
    // graded picture it saved last (empty when none).
    struct TWindowSide {
        std::function<TImage(const QString& clip)> ClipFrame;
        std::function<QString()> LastSaved;
    };
    void SetWindowSide(TWindowSide side);

    // FRAME: the window's picture (converted from the footage for the
    // window's look) and its name. Matched again when it differs from the
    // one held.
    void SetFrame(TImage frame, const QString& name);
    // Fills the graded slot and matches. EError for a file that does not
    // load; a refused match is shown in the dialog and leaves no look.
    void SetGraded(const QString& file);

    // The look matched at the window's grid size, or nullptr.
    const TLUT* MatchedLut() const;
    std::unique_ptr<TLUT> CopyMatchedLut() const;
    // The look for a LUT file of `size` points; held until the next call.
    const TLUT& MatchedForSize(int size);
    QString ReportText() const;
    QString GradedFile() const { return gradedFile_; }
    const TImage& GradedPicture() const { return graded_; }
    const TImage& Frame() const { return frame_; }
    // FRAME's thumbnail as shown, and the matched region of the last match.
    const TImage& FrameThumbnail() const { return shownThumbnail_; }
    const TImage& MatchedRegion() const;

    // Handlers, public so that tests can run them.
    void btnPreviewClick();
    void btnExportClick();
    void btnLastSavedClick();
    void chkRegionClick();

private:
    QWidget* MakeFrameBox();
    TImage LoadGraded(const QString& file) const;
    TMatchedShot MatchAt(int size) const;
    void Match();
    void ShowReport(const QString& text);
    void ShowFrameThumbnail();
    void UpdateButtons();

    TWindowSide side_;
    TPictureSlot* gradedSlot_ = nullptr;
    QLabel* lblFrame_ = nullptr;
    QLabel* lblFrameName_ = nullptr;
    QString gradedFile_;
    QString frameName_;
    TImage graded_;
    TImage frame_;
    TImage frameThumbnail_;
    TImage shownThumbnail_;
    std::unique_ptr<TMatchedShot> shot_;
    std::unique_ptr<TLUT> exported_;
    QLabel* lblReport_ = nullptr;
    QCheckBox* chkRegion_ = nullptr;
    QPushButton* btnLastSaved_ = nullptr;
    QPushButton* btnPreview_ = nullptr;
    QPushButton* btnExport_ = nullptr;
};
