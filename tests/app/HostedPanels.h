#pragma once
#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMainWindow>
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
#include "app/ToolStrip.h"
#include "app/WindowStatus.h"
#include "grading/GradingSession.h"

// The panels on a plain main window of their own, each a view of one grading
// session, for tests of a panel's features without the menus, keys, title
// and last session of the program's window. Only the few connections a
// panel's feature goes through are made, as the program's window makes them:
// a moved control regrades, the library's highlight chooses the reference,
// looks are built from the library's cells, a deleted reference is a step
// of the history, and the display profile chosen in the look panel draws
// the viewer and the thumbnails.
class THostedPanels {
public:
    explicit THostedPanels(const std::string& libraryFolder) {
        Host = std::make_unique<QMainWindow>();
        Host->resize(870, 762);
        Scopes = new TScopesPanel(Host.get());
        MakeStrip();
        auto* client = new QWidget(Host.get());
        auto* body = new QHBoxLayout(client);
        body->setContentsMargins(0, 0, 0, 0);
        auto* viewerPanel = new QWidget(client);
        Preview = std::make_unique<TPreviewPanel>(Session, Host.get(), viewerPanel, viewerPanel, Scopes,
                                                  Strip.ShowOriginal, Strip.SplitView);
        auto* column = new QVBoxLayout(viewerPanel);
        column->setContentsMargins(0, 0, 0, 0);
        column->addWidget(Preview->Viewer(), 1);
        column->addWidget(Preview->FrameBar());
        body->addWidget(viewerPanel, 1);
        auto* dock = new QDockWidget("Library", Host.get());
        Library = std::make_unique<TLibraryPanel>(libraryFolder, Session, Host.get(), dock);
        dock->setWidget(Library->List());
        Host->addDockWidget(Qt::BottomDockWidgetArea, dock);
        Look = new TLookPanel(Session, client);
        body->addWidget(Look);
        Host->setCentralWidget(client);
        Files = new TLookFiles(Session, *Library, Host.get());
        Library->SetDisplay(&Look->DisplayProfile().Transform());
        Preview->Viewer()->SetDisplayTransform(&Look->DisplayProfile().Transform());
        Session.SetCellSource([this](const QString& file) { return Files->CellOf(file); });
        Library->CreateMenu();
        Preview->CreateMenu();
        Preview->Connect();
        Connect();
        Scopes->Attach([this] { return Preview->ScopeSource(); });
        Status = new TWindowStatus(*Host, Session, *Preview, *Library, Strip);
        RunHandler([this] { Library->ScanLibrary(); });
    }
    ~THostedPanels() {
        Preview.reset();
        Library.reset();
    }

    void Show() {
        Host->show();
        QApplication::processEvents();
    }
    // The library's item of that caption highlighted, as a click does.
    void Choose(const QString& caption) {
        const auto found = Library->List()->findItems(caption, Qt::MatchExactly);
        if (!found.isEmpty()) Library->List()->setCurrentItem(found.first());
        QApplication::processEvents();
    }

    TGradingSession Session;
    std::unique_ptr<QMainWindow> Host;
    TScopesPanel* Scopes = nullptr;
    TToolStrip Strip;
    TLookPanel* Look = nullptr;
    TLookFiles* Files = nullptr;
    TWindowStatus* Status = nullptr;
    std::unique_ptr<TLibraryPanel> Library;
    std::unique_ptr<TPreviewPanel> Preview;

private:
    void MakeStrip() {
        auto* tools = new QToolBar("Tools", Host.get());
        Strip = CreateToolStrip(Host.get(), *Scopes);
        tools->addWidget(Strip.Strip);
        Host->addToolBar(Qt::TopToolBarArea, tools);
    }
    void Connect() {
        QObject::connect(&Session, &TGradingSession::LookChanged, Host.get(),
                         [this] { RunHandler([this] { Session.Regrade(); }); });
        QObject::connect(Library->List(), &QListWidget::itemSelectionChanged, Host.get(),
                         [this] { RunHandler([this] { Library->HighlightChanged(); }); });
        QObject::connect(Preview.get(), &TPreviewPanel::LutPreviewStarted, Library.get(),
                         &TLibraryPanel::ClearSelection);
        QObject::connect(Library.get(), &TLibraryPanel::LookChosen, Files, &TLookFiles::Open);
        QObject::connect(Library.get(), &TLibraryPanel::DeletingReference, &Session, &TGradingSession::RecordLook);
        QObject::connect(Library.get(), &TLibraryPanel::ReferenceDeleted, &Session,
                         [this](const QString& file) { Session.RecordDeletion(file); });
        QObject::connect(Look->DisplayProfileCombo(), &QComboBox::currentIndexChanged, Host.get(), [this] {
            RunHandler([this] {
                Look->DisplayProfile().Choose(Host.get());
                emit Look->DisplayProfileChanged();
            });
        });
        QObject::connect(Look, &TLookPanel::DisplayProfileChanged, Host.get(), [this] {
            Preview->Viewer()->SetDisplayTransform(&Look->DisplayProfile().Transform());
            Library->ShowThumbnails();
        });
    }
};
