#pragma once
#include <QDialog>
#include <QString>
#include <memory>

class QLabel;
class QPushButton;
class TLUT;
class TPictureSlot;
struct TLearnedLook;

// "Create Look from Graded Pair…": two picture slots, BEFORE and AFTER (the
// same frame before and after a colour-only edit), each filled by its "..."
// button or by dropping a picture on it. When both hold a picture the look
// is learned on the grading road (grading/LearnLook.h) and the
// fit's quality shown; "Preview" closes the dialog with the learned look for
// the window to preview like a LUT file, the pair staying for the next
// opening; "Export LUT..." writes it through the export dialog and its
// profiles, learned at the size chosen there.
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

    // The look learned at the window's grid size, or nullptr.
    const TLUT* LearnedLut() const { return learned_.get(); }
    std::unique_ptr<TLUT> CopyLearnedLut() const;
    // The look learned for a LUT file of `size` points; held by the dialog
    // until the next call. EError as the learning raises it.
    const TLUT& LearnedForSize(int size);
    QString QualityText() const;
    // The files of the pair as chosen, empty while a slot is empty.
    QString BeforeFile() const { return before_.File; }
    QString AfterFile() const { return after_.File; }

    // Handlers, public so that tests can run them.
    void btnPreviewClick();
    void btnExportClick();

private:
    struct TSlot {
        QString File;
        TPictureSlot* Box = nullptr;
    };
    void Fill(TSlot& slot, const QString& file);
    TLearnedLook LearnAt(int size) const;
    void Learn();
    void UpdateButtons();

    TSlot before_;
    TSlot after_;
    std::unique_ptr<TLUT> learned_;
    std::unique_ptr<TLUT> exported_;
    QLabel* lblQuality_ = nullptr;
    QPushButton* btnPreview_ = nullptr;
    QPushButton* btnExport_ = nullptr;
};
