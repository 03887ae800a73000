#pragma once
#include <QDialog>
#include <QString>
#include <memory>

#include "engine/Image.h"

class QLabel;
class QPushButton;
class TLUT;

// "Create Look from Graded Pair…": two picture slots, BEFORE and AFTER (the
// same frame before and after a colour-only edit), each filled by its "..."
// button or by dropping a picture on it. When both hold a picture the look
// is learned and the fit's quality shown; "Preview" closes the dialog with
// the learned look for the window to preview like a LUT file, "Export LUT..."
// writes it through the export dialog and its profiles.
class TfrmLearnPair : public QDialog {
    Q_OBJECT
public:
    explicit TfrmLearnPair(QWidget* parent = nullptr);
    ~TfrmLearnPair() override;

    // Fills a slot and learns the look when both are filled. EError for a
    // picture that does not load or a pair the look cannot be learned from;
    // the slot keeps the picture, the learned look is dropped.
    void SetBefore(const QString& file);
    void SetAfter(const QString& file);

    const TLUT* LearnedLut() const { return learned_.get(); }
    std::unique_ptr<TLUT> TakeLearnedLut();
    QString QualityText() const;

    // Handlers, public so that tests can run them.
    void btnPreviewClick();
    void btnExportClick();

private:
    struct TSlot {
        QString File;
        TImage Picture;
        QLabel* Thumbnail = nullptr;
        QLabel* Name = nullptr;
    };
    QWidget* MakeSlot(TSlot& slot, const QString& caption, void (TfrmLearnPair::*set)(const QString&));
    void Fill(TSlot& slot, const QString& file);
    void Learn();
    void UpdateButtons();

    TSlot before_;
    TSlot after_;
    std::unique_ptr<TLUT> learned_;
    QLabel* lblQuality_ = nullptr;
    QPushButton* btnPreview_ = nullptr;
    QPushButton* btnExport_ = nullptr;
};
