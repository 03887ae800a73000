#pragma once
#include <QObject>
#include <QString>
#include <functional>

class QTimer;
class TImageViewer;
class TLookFiles;

// The session the window restores at its next start: the look and the
// snapshots as a look document in the user's state folder
// ($XDG_STATE_HOME/tarnwerk/Ombrane/session.olook, by default under
// ~/.local/state), the frame's file and the zoom in the settings. It is
// kept when the window closes and a while after each change (a slider's
// drag is kept once it rests, never step by step).
class TLookSession : public QObject {
    Q_OBJECT
public:
    // How long the session waits after a change before it is kept.
    static constexpr int kKeepDelay = 1500;

    TLookSession(TLookFiles& files, TImageViewer& viewer, QObject* parent);

    static QString Folder();
    static QString File();

    // A change: the session is kept once the changes rest.
    void Changed();
    // Keeps the session now; the frame's file ("" for none or a pasted picture).
    void Keep(const QString& frameFile);
    // The frame the last session showed, when its file is still there.
    static QString LastFrame();
    // Restores the look, the snapshots and the zoom of the last session.
    // Returns "" or the one-line reason the look was not restored.
    QString RestoreLook();
    void RestoreZoom();

    // The frame's file, asked for when the session is kept.
    void SetFrameFile(std::function<QString()> frameFile) { frameFile_ = std::move(frameFile); }

private:
    TLookFiles& files_;
    TImageViewer& viewer_;
    QTimer* timer_;
    std::function<QString()> frameFile_;
};
