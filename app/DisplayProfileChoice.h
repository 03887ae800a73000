#pragma once
#include <string>

#include "imageio/ColourProfile.h"

class QComboBox;
class QWidget;

// The "Display profile" choice of the main window: what the viewer, the
// library thumbnails and the reference cells are drawn through. "Screen"
// takes the profile a colour daemon puts on the X11 root window
// (_ICC_PROFILE), nothing where there is none; "None" draws the numbers as
// they are; "Profile File..." asks for an ICC file. The choice is kept in the
// settings. The transform is built once per change of the profile; the
// scopes never see it.
class TDisplayProfileChoice {
public:
    // Fills the combo and takes the choice the settings hold; a remembered
    // file that is no longer usable falls back to "Screen", an unusable
    // screen profile to drawing without a profile, and the problem is shown
    // once through Dialogs() when the event loop runs.
    explicit TDisplayProfileChoice(QComboBox* combo);

    // Takes the combo's current entry ("Profile File..." asks through
    // Dialogs()). On an error or a cancelled dialog the combo goes back to
    // the entry before; an error propagates as EError naming the file (or
    // the screen).
    void Choose(QWidget* parent);

    const TDisplayTransform& Transform() const { return transform_; }

    // The X11 root window's _ICC_PROFILE, or empty (another platform, no
    // property); EError for one larger than kMaxIccProfileBytes.
    static std::string ScreenProfile();

private:
    void Apply(int entry, const std::string& file);
    // Apply's message, empty when it succeeded.
    std::string TryApply(int entry, const std::string& file);
    void Show(int entry, const std::string& file, TDisplayTransform transform);
    void Remember() const;

    QComboBox* combo_;
    int chosen_ = 0;
    std::string file_;
    TDisplayTransform transform_;
};
