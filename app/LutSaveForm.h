#pragma once
#include <QDialog>
#include <QString>
#include <functional>

#include "engine/footage/FootageConversion.h"
#include "engine/look/LookTransfer.h"

class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
struct TLutOutputProfile;
class TLUT;

class TGradingSession;

// The name of the look an export is named after: the chosen reference's
// caption, else the previewed LUT's name; empty for neither.
QString LookName(const TGradingSession& state);
// The file name the "..." button suggests: "LOOK - PROFILE.ext", or
// "PROFILE.ext" without a look name, safe for a file name.
QString SuggestedLutName(const QString& lookName, const TLutOutputProfile& profile);

// The LUT export dialog: the user picks an output profile, a file and, where
// the profile allows, a grid size and a bit depth; "Save" builds the look at
// that size from the settings of the last rebuild and writes it with the
// profile's format.
class TfrmSaveLut : public QDialog {
    Q_OBJECT
public:
    // With `footage` the LUT is written for that footage space.
    explicit TfrmSaveLut(const TLookSettings& settings, QWidget* parent = nullptr,
                         const TFootageConversion* footage = nullptr);

    // The profile of the chosen format entry; nullptr while none is chosen.
    const TLutOutputProfile* SelectedProfile() const;
    // The grid size and bit depth "Save" writes with. ChosenSize throws
    // EError when the typed size is empty, not a number or outside 2..101.
    int ChosenSize() const;
    int ChosenBits() const;
    // "Save" writes a learned look instead of building one: the LUT that
    // `learned` gives for the chosen size, resampled to it. The LUT must
    // outlive the writing.
    using TLearnedForSize = std::function<const TLUT&(int size)>;
    void UseLearnedLut(TLearnedForSize learned) { learned_ = std::move(learned); }
    // The same LUT whatever the size; it must outlive the dialog.
    void UseLearnedLut(const TLUT* lut) {
        learned_ = [lut](int) -> const TLUT& { return *lut; };
    }
    // The look's name in the suggested file name.
    void SetLookName(const QString& name) { lookName_ = name; }

    // Handlers, public so that tests can run them and see their errors.
    void cbxOutFormatChange();
    void btnSetLUTFileClick();
    void btnSaveClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateComponents();
    void FormCreate();
    QLabel* AddRowLabel(const char* name, const QString& caption, int top);
    bool cbxDimSizeKeyPress(const QKeyEvent& key);
    void cbxDimSizeKeyDown(const QKeyEvent& key);

    TLookSettings settings_;
    const TFootageConversion* footage_ = nullptr;
    TLearnedForSize learned_;
    QString lookName_;
    QComboBox* cbxOutFormat = nullptr;
    QLineEdit* edtLUTFile = nullptr;
    QPushButton* btnSetLUTFile = nullptr;
    QComboBox* cbxDimSize = nullptr;
    QComboBox* cbxBits = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnCancel = nullptr;
};

// Shows the export dialog modally for the look built from these settings,
// named lookName in the suggested file name.
void ShowSaveLutDialog(const TLookSettings& settings, QWidget* parent, const TFootageConversion* footage = nullptr,
                       const QString& lookName = QString());
