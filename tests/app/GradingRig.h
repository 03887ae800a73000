#pragma once
#include <QApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMainWindow>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>
#include <memory>

#include "app/Application.h"
#include "app/FrameBar.h"
#include "app/ImageViewer.h"
#include "app/LibraryPanel.h"
#include "app/LookFiles.h"
#include "app/LookPanel.h"
#include "app/PreviewPanel.h"
#include "app/ScopesPanel.h"
#include "app/StatusLine.h"
#include "app/ToolStrip.h"
#include "app/WindowStatus.h"
#include "grading/GradingSession.h"

// A grading session with the panels that show it and send it commands: the
// library, the preview with its Show Original and Split View buttons, the
// look panel, the look documents and the status line, joined to each other
// as the window joins them. There is no menu bar, dock, key list or last
// session: the tests of those build the window itself.
class TGradingRig {
public:
    // The panels over the library folder; its files are listed at once
    // unless `scan` is false.
    explicit TGradingRig(const QString& libraryFolder, bool scan = true) {
        scopes_ = new TScopesPanel(&host_);
        strip_ = CreateToolStrip(&host_, *scopes_);
        auto* client = new QWidget(&host_);
        library_ = std::make_unique<TLibraryPanel>(libraryFolder.toStdString(), state_, &host_, client);
        preview_ = std::make_unique<TPreviewPanel>(state_, &host_, client, client, scopes_, strip_.ShowOriginal,
                                                   strip_.SplitView);
        look_ = new TLookPanel(state_, client);
        files_ = new TLookFiles(state_, *library_, &host_);
        Lay(client);
        Join();
        status_ = new TWindowStatus(host_, state_, *preview_, *library_, strip_);
        look_->Footage().ShowIn(host_.statusBar());
        preview_->RestoreSplitPosition();
        host_.resize(870, 762);
        host_.show();
        QApplication::processEvents();
        if (scan) RunHandler([this] { library_->ScanLibrary(); });
    }
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
    void Select(const QString& caption) {
        const auto found = library_->List()->findItems(caption, Qt::MatchExactly);
        if (!found.isEmpty()) found.first()->setSelected(true);
    }
    QString SelectedCaption() const {
        const auto selected = library_->List()->selectedItems();
        return selected.isEmpty() ? QString() : selected.first()->text();
    }

private:
    void Lay(QWidget* client) {
        auto* row = new QHBoxLayout(client);
        row->setContentsMargins(0, 0, 0, 0);
        auto* column = new QVBoxLayout;
        column->addWidget(preview_->Viewer(), 1);
        column->addWidget(preview_->FrameBar());
        column->addWidget(library_->List());
        row->addLayout(column, 1);
        row->addWidget(look_);
        host_.setCentralWidget(client);
        auto* tools = new QToolBar(&host_);
        tools->addWidget(strip_.Strip);
        host_.addToolBar(Qt::TopToolBarArea, tools);
    }
    // The same connections as the window's.
    void Join() {
        library_->CreateMenu();
        preview_->CreateMenu();
        library_->SetDisplay(&look_->DisplayProfile().Transform());
        preview_->Viewer()->SetDisplayTransform(&look_->DisplayProfile().Transform());
        state_.SetCellSource([this](const QString& file) { return files_->CellOf(file); });
        QObject::connect(&state_, &TGradingSession::LookChanged, &host_,
                         [this] { RunHandler([this] { state_.Regrade(); }); });
        preview_->Connect();
        scopes_->Attach([this] { return preview_->ScopeSource(); });
        TPreviewPanel* preview = preview_.get();
        QObject::connect(&state_.Snapshots(), &TSnapshots::ComparisonChanged, preview,
                         &TPreviewPanel::CompareWithSnapshot);
        QObject::connect(preview, &TPreviewPanel::FrameChanged, preview, &TPreviewPanel::CompareWithSnapshot,
                         Qt::QueuedConnection);
        QObject::connect(library_->List(), &QListWidget::itemSelectionChanged, &host_,
                         [this] { RunHandler([this] { library_->HighlightChanged(); }); });
        QObject::connect(preview, &TPreviewPanel::LookDropped, files_, &TLookFiles::Open);
        QObject::connect(library_.get(), &TLibraryPanel::LookChosen, files_, &TLookFiles::Open);
        QObject::connect(preview, &TPreviewPanel::LutPreviewStarted, library_.get(), &TLibraryPanel::ClearSelection);
        QObject::connect(library_.get(), &TLibraryPanel::DeletingReference, &state_, &TGradingSession::RecordLook);
        QObject::connect(library_.get(), &TLibraryPanel::ReferenceDeleted, &state_,
                         [this](const QString& file) { state_.RecordDeletion(file); });
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
