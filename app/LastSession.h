#pragma once
#include <QObject>

class TfrmMain;
class TLookSession;
class TWindowStatus;

// What the window brings back from its last run: the layout (the window's
// geometry and the library panel) from the start, and on request the last
// session's frame, look, snapshots and zoom, which from then on are kept for
// the next start.
class TLastSession : public QObject {
    Q_OBJECT
public:
    TLastSession(TfrmMain& window, TWindowStatus& status);

    void RestoreLayout();
    // Writes the layout to the settings.
    void SaveLayout() const;
    // The frame comes back unless a picture was named at the start; a frame
    // or look that does not come back is said in the status bar.
    void Restore(bool pictureGiven);
    void RestoreZoom();
    // The window closes: the layout and the session are kept.
    void Keep();

private:
    QString FrameFile() const;
    // From now on every change is kept, once the changes rest.
    void KeepChanges();

    TfrmMain& window_;
    TWindowStatus& status_;
    TLookSession* session_ = nullptr;
};
