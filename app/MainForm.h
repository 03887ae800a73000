#pragma once
#include <QMainWindow>
#include <memory>
#include <string>

#include "app/LibraryDock.h"
#include "app/LibraryPanel.h"
#include "app/LookPanel.h"
#include "app/PreviewPanel.h"
#include "app/ScopesPanel.h"
#include "app/ToolStrip.h"
#include "engine/look/LookControls.h"
#include "engine/look/LookTransfer.h"
#include "engine/picture/Image.h"
#include "grading/GradingSession.h"
#include "library/ReferenceLibrary.h"

class TKeysDialog;
class TLastSession;
class TLookFiles;
class TStatusLine;
class TWindowStatus;

// The main window: the menu bar, the tool strip, the preview viewer in the
// middle, the look panel on its right, the reference library in a dock and
// the status line. It lays the panels out and wires them to the grading
// session they show and send their changes to.
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
    TScopesPanel* Scopes() const { return scopes_; }
    TStatusLine* StatusLine() const;
    TKeysDialog* KeysDialog() const { return keys_; }
    // The layout kept in the settings and the last session.
    TLastSession& LastSession() const { return *lastSession_; }

    // F1: the keys of every action.
    void ShowKeys();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateComponents(const std::string& libraryFolder);
    void CreateToolStrip();
    QWidget* CreateViewerArea(QWidget* parent);
    QWidget* CreateLookArea();
    void ConnectHandlers();
    // Tab goes through the panels in the order they stand on screen.
    void SetTabOrder();

    std::unique_ptr<TGradingSession> state_ = std::make_unique<TGradingSession>();
    std::unique_ptr<TLibraryPanel> library_;
    std::unique_ptr<TPreviewPanel> preview_;
    TLookPanel* look_ = nullptr;
    TLookFiles* lookFiles_ = nullptr;
    TScopesPanel* scopes_ = nullptr;
    TLibraryDock* libraryDock_ = nullptr;
    TWindowStatus* status_ = nullptr;
    TLastSession* lastSession_ = nullptr;
    TKeysDialog* keys_ = nullptr;
    TToolStrip strip_;
    bool shown_ = false;
};
