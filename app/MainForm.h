#pragma once
#include <QMainWindow>
#include <memory>
#include <string>

#include "app/LibraryDock.h"
#include "app/LibraryPanel.h"
#include "app/LookPanel.h"
#include "app/PreviewPanel.h"
#include "app/ScopesPanel.h"
#include "engine/look/LookControls.h"
#include "engine/look/LookTransfer.h"
#include "engine/picture/Image.h"
#include "grading/GradingSession.h"
#include "library/ReferenceLibrary.h"

class QAction;
class QToolButton;
class TKeysDialog;
class TLookFiles;
class TLookSession;
class TStatusLine;

// The main window: the menu bar, the tool strip, the preview viewer in the
// middle, the look panel on its right, the reference library in a dock and
// the status line. It lays the panels out and wires them to the grading
// session they show and send their changes to. The layout is kept in the
// settings.
class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    // The smallest window: it fits a 1366 x 768 screen with the scopes open.
    static constexpr int kMinimumWidth = 600;
    static constexpr int kMinimumHeight = 520;

    explicit TfrmMain(const std::string& libraryFolder, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // The window's parts, for the owner and for tests: the grading session
    // the panels show, and the panels.
    TGradingSession& Grading() const { return *state_; }
    TPreviewPanel& Preview() const { return *preview_; }
    TLibraryPanel& Library() const { return *library_; }
    TLookPanel& Look() const { return *look_; }
    TLibraryDock& Dock() const { return *libraryDock_; }
    TLookFiles& LookFiles() const { return *lookFiles_; }
    TScopesPanel* Scopes() const { return Scopes_; }
    TStatusLine* StatusLine() const { return statusLine_; }
    TKeysDialog* KeysDialog() const { return keys_; }
    TLookSession* Session() const { return session_; }

    // F1: the keys of every action.
    void ShowKeys();
    // The session: the last one's frame (unless a picture was named at the
    // start), look, snapshots and zoom come back, and from now on the
    // session is kept for the next start.
    void RestoreSession(bool pictureGiven);
    void RestoreZoom();
    // Writes the layout (library panel and window geometry) to the settings.
    void SaveLayout() const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void sbnCreateLUTClick();
    void cbxDisplayProfileChange();
    void sbnAboutClick();
    void CreateComponents(const std::string& libraryFolder);
    QWidget* CreateLookArea();
    void CreateMenus();
    void ConnectHandlers();
    void RestoreLayout();
    // Tab goes through the panels in the order they stand on screen.
    void SetTabOrder();
    // Opening the scopes never makes the window larger than the screen.
    void FitToScreen();
    void MoveDivider(double by);
    // The title and the status line show the frame and the look.
    void FrameChanged(const QString& file, const QSize& size);
    void ShowState();
    // A message in the status bar for a while, in place of the status line.
    void ShowMessage(const QString& text);
    // The status line names the snapshot compared with while it is on screen.
    void ShowComparison();
    QAction* NamedAction(const char* name) const;

    std::unique_ptr<TGradingSession> state_ = std::make_unique<TGradingSession>();
    std::unique_ptr<TLibraryPanel> library_;
    std::unique_ptr<TPreviewPanel> preview_;
    TLookPanel* look_ = nullptr;
    TLookFiles* lookFiles_ = nullptr;
    TLookSession* session_ = nullptr;
    bool shown_ = false;

    TScopesPanel* Scopes_ = nullptr;
    TLibraryDock* libraryDock_ = nullptr;
    TStatusLine* statusLine_ = nullptr;
    TKeysDialog* keys_ = nullptr;
    QString frameName_;  // the file name of the frame shown, or "pasted picture"
    QToolButton* sbnOpenPreviewImage_ = nullptr;
    QToolButton* sbnCreateLUT_ = nullptr;
    QToolButton* sbnAddToLib_ = nullptr;
    QToolButton* sbnShowOriginal_ = nullptr;
    QToolButton* sbnSplitView_ = nullptr;
    QToolButton* sbnAbout_ = nullptr;
};
