#pragma once
#include <QApplication>
#include <QDockWidget>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMainWindow>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>
#include <memory>
#include <string>

#include "app/Application.h"
#include "app/FrameBar.h"
#include "app/ImageViewer.h"
#include "app/LibraryPanel.h"
#include "app/LookFiles.h"
#include "app/LookPanel.h"
#include "app/PanelJoins.h"
#include "app/PreviewPanel.h"
#include "app/ScopesPanel.h"
#include "app/StatusLine.h"
#include "app/ToolStrip.h"
#include "app/WindowStatus.h"
#include "grading/GradingSession.h"

// A grading session with the panels that show it and send it commands, on a
// plain main window of their own: the tool strip, the preview with its frame
// bar, the library in a dock under it, the look panel at the right, the
// scopes, the look documents and the status line. They are joined by the
// window's own joins (TPanelJoins), so a change to those reaches the panel
// tests. There is no menu bar, key list, title or last session: the tests of
// those build the window itself.
class TGradingRig {
public:
    // The panels over the library folder, shown; its files are listed at
    // once unless `scan` is false.
    explicit TGradingRig(const QString& libraryFolder, bool scan = true) {
        host_.resize(870, 762);
        scopes_ = new TScopesPanel(&host_);
        MakeStrip();
        auto* client = new QWidget(&host_);
        auto* dock = new QDockWidget("Library", &host_);
        dock->setObjectName("dckLibrary");
        library_ = std::make_unique<TLibraryPanel>(libraryFolder.toStdString(), state_, &host_, dock);
        auto* viewerPanel = new QWidget(client);
        preview_ = std::make_unique<TPreviewPanel>(state_, &host_, viewerPanel, viewerPanel, scopes_,
                                                   strip_.ShowOriginal, strip_.SplitView);
        look_ = new TLookPanel(state_, client);
        files_ = new TLookFiles(state_, *library_, &host_);
        Lay(client, viewerPanel, dock);
        library_->CreateMenu();
        preview_->CreateMenu();
        new TPanelJoins({host_, state_, *preview_, *library_, *look_, *files_, strip_});
        scopes_->Attach([this] { return preview_->ScopeSource(); });
        status_ = new TWindowStatus(host_, state_, *preview_, *library_, strip_);
        look_->Footage().ShowIn(host_.statusBar());
        preview_->RestoreSplitPosition();
        host_.show();
        QApplication::processEvents();
        if (scan) RunHandler([this] { library_->ScanLibrary(); });
    }
    explicit TGradingRig(const std::string& libraryFolder, bool scan = true)
        : TGradingRig(QString::fromStdString(libraryFolder), scan) {}
    TGradingRig(const TGradingRig&) = delete;
    TGradingRig& operator=(const TGradingRig&) = delete;

    TGradingSession& Grading() { return state_; }
    TLibraryPanel& Library() { return *library_; }
    TPreviewPanel& Preview() { return *preview_; }
    TLookPanel& Look() { return *look_; }
    TLookFiles& LookFiles() { return *files_; }
    TScopesPanel* Scopes() { return scopes_; }
    const TToolStrip& Strip() const { return strip_; }
    // The window the panels stand in: the parent of their menus and dialogs.
    QMainWindow& Host() { return host_; }
    TImageViewer* Viewer() const { return preview_->Viewer(); }
    TStatusLine* StatusLine() const { return status_->Line(); }

    template <typename T>
    T* Find(const char* name) const {
        return host_.findChild<T*>(name);
    }
    // The library's item of that caption selected, as a click does.
    void Select(const QString& caption) {
        const auto found = library_->List()->findItems(caption, Qt::MatchExactly);
        if (!found.isEmpty()) found.first()->setSelected(true);
    }
    QString SelectedCaption() const {
        const auto selected = library_->List()->selectedItems();
        return selected.isEmpty() ? QString() : selected.first()->text();
    }

private:
    void MakeStrip() {
        auto* tools = new QToolBar("Tools", &host_);
        strip_ = CreateToolStrip(&host_, *scopes_);
        tools->addWidget(strip_.Strip);
        host_.addToolBar(Qt::TopToolBarArea, tools);
    }
    void Lay(QWidget* client, QWidget* viewerPanel, QDockWidget* dock) {
        auto* body = new QHBoxLayout(client);
        body->setContentsMargins(0, 0, 0, 0);
        auto* column = new QVBoxLayout(viewerPanel);
        column->setContentsMargins(0, 0, 0, 0);
        column->addWidget(preview_->Viewer(), 1);
        column->addWidget(preview_->FrameBar());
        body->addWidget(viewerPanel, 1);
        body->addWidget(look_);
        host_.setCentralWidget(client);
        dock->setWidget(library_->List());
        host_.addDockWidget(Qt::BottomDockWidgetArea, dock);
    }

    // Declared so that the panels go before the widgets they stand in, and
    // those before the session they read.
    TGradingSession state_;
    QMainWindow host_;
    TScopesPanel* scopes_ = nullptr;
    TToolStrip strip_;
    std::unique_ptr<TLibraryPanel> library_;
    std::unique_ptr<TPreviewPanel> preview_;
    TLookPanel* look_ = nullptr;
    TLookFiles* files_ = nullptr;
    TWindowStatus* status_ = nullptr;
};
