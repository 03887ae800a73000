#pragma once
#include <string>
#include <vector>
#include "engine/footage/FootageConversion.h"
#include "engine/picture/Image.h"
#include "footage/OcioFootage.h"

class QComboBox;
class QLabel;
class QStatusBar;
class TGradingSession;

// The "Footage" choice of the main window: a combo over the session's
// footage spaces. Choosing an entry has the session convert the frame and
// regrade; the choice is kept in the settings.
class TFootageChoice {
public:
    // Gives the session the display default, the camera logs and the usable
    // spaces of the user's config: the settings value "ocio-config", else
    // the OCIO environment variable, and fills the combo with them. A config
    // that does not load adds nothing; its message is the combo's tip. The
    // space chosen last (settings value "footage", a key of the list) is
    // chosen again; one that no longer converts leaves the display default.
    TFootageChoice(QComboBox* combo, TGradingSession& session);

    // Shows the chosen space in the status bar ("Footage: LABEL") from now on.
    void ShowIn(QStatusBar* bar);

    // Takes the combo's current entry into the session. On an error the
    // combo goes back to the entry before and the EError propagates.
    void Choose();
    // The session chose the entry (from the combo, or restoring a look): the
    // combo shows it and the choice is kept in the settings.
    void Follow(int entry);

private:
    void ShowChoice();

    QComboBox* combo_;
    TGradingSession& session_;
    QLabel* status_ = nullptr;
};
