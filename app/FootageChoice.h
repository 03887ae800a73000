#pragma once
#include <memory>
#include <string>
#include <vector>

#include "engine/footage/FootageConversion.h"
#include "engine/picture/Image.h"
#include "footage/OcioFootage.h"

class QComboBox;
class QLabel;
class QStatusBar;

// The "Footage" choice of the main window: the combo's entries, the
// conversion of the chosen footage space and the preview converted with it.
// The preview is converted once per choice and per new picture, so the
// regrades work on a converted copy as they do on a display picture.
class TFootageChoice {
public:
    // Fills the combo with the display default, the camera logs and the
    // usable spaces of the user's config: the settings value "ocio-config",
    // else the OCIO environment variable. A config that does not load adds
    // nothing; its message is kept and shown as the combo's tip.
    // The space chosen last (settings value "footage", a key of the list) is
    // chosen again; one that no longer converts leaves the display default.
    explicit TFootageChoice(QComboBox* combo);

    // Shows the chosen space in the status bar ("Footage: LABEL") from now on.
    void ShowIn(QStatusBar* bar);

    // Takes the combo's current entry: makes its conversion, converts the
    // preview and keeps the choice in the settings. On an error the combo
    // goes back to the entry before and the EError propagates.
    void Choose(const TImage& preview);
    // A new preview picture: its converted copy is made now. For a preview
    // opened from a picture of more than 8 bits (`previewFile`), the copy is
    // made from the file's own values converted in float, as the command
    // line's grade converts them, and then fitted to the preview's size:
    // linear values beyond 1 and the fine steps of the shadows reach the
    // conversion as they are.
    void PreviewChanged(const TImage& preview, const std::string& previewFile = std::string());

    // The picture the viewer shows for the preview: the preview itself for
    // display footage, else its converted copy.
    const TImage& Shown(const TImage& preview) const;
    // The viewer's copy of the preview's full picture at a size, converted as
    // Shown is: a deep preview from its file in float, else resampled first.
    TImage ShownCopy(const TImage& full, int width, int height) const;
    // The preview as the space of another entry would show it, converted as
    // Shown converts it for the chosen one. EError for a space that cannot
    // be used.
    TImage ShownAs(int entry, const TImage& preview) const;
    // Converts a full picture in place (nothing for display footage).
    void Convert(TImage& picture) const;
    // The entry of the combo the conversion was made for.
    int Chosen() const { return chosen_; }
    // The key of an entry (empty for the display default and for an entry
    // out of range), the entry of a key (-1 when no entry has it), and the
    // config the entries of a config come from ("" for none).
    std::string KeyOf(int entry) const;
    int EntryOf(const std::string& key) const;
    std::string ConfigFile() const { return configError_.empty() ? configPath_ : std::string(); }
    // Null for display footage.
    const TFootageConversion* Conversion() const { return conversion_.get(); }

private:
    void ShowChoice();

    QComboBox* combo_;
    QLabel* status_ = nullptr;
    std::string configPath_;
    std::string configError_;
    std::vector<TFootageSpaceEntry> spaces_;
    int chosen_ = 0;
    std::unique_ptr<TFootageConversion> conversion_;
    std::string previewFile_;  // the deep picture the preview shows, or ""
    TImage converted_;
};
