#include "app/PanelJoins.h"

#include <QComboBox>
#include <QListWidget>
#include <QMainWindow>
#include <QToolButton>

#include "app/Application.h"
#include "app/ImageViewer.h"
#include "app/LibraryPanel.h"
#include "app/LookFiles.h"
#include "app/LookPanel.h"
#include "app/LutSaveForm.h"
#include "app/PreviewPanel.h"
#include "app/ToolStrip.h"
#include "grading/GradingSession.h"

TPanelJoins::TPanelJoins(const TSessionPanels& panels) : QObject(&panels.Window), panels_(panels) {
    ShareDisplay();
    JoinToolStrip();
    JoinLook();
    panels_.Preview.Connect();
    JoinLibrary();
    JoinSnapshots();
}

// The viewer and the library's thumbnails are drawn through the display
// profile chosen in the look panel; looks are built from the library's cells
// (or an opened look document's).
void TPanelJoins::ShareDisplay() {
    panels_.Library.SetDisplay(&panels_.Look.DisplayProfile().Transform());
    panels_.Preview.Viewer()->SetDisplayTransform(&panels_.Look.DisplayProfile().Transform());
    TLookFiles& files = panels_.Files;
    panels_.Session.SetCellSource([&files](const QString& file) { return files.CellOf(file); });
}

void TPanelJoins::JoinToolStrip() {
    TPreviewPanel& preview = panels_.Preview;
    connect(panels_.Strip.OpenPreviewImage, &QToolButton::clicked, this,
            [&preview] { RunHandler([&preview] { preview.OpenClick(); }); });
    connect(panels_.Strip.CreateLUT, &QToolButton::clicked, this, [this] {
        RunHandler([this] {
            const TGradingSession& session = panels_.Session;
            ShowSaveLutDialog(session.LastSettings(), &panels_.Window, session.Footage().Conversion(),
                              LookName(session));
        });
    });
}

// A control moved: the session builds the look afresh and regrades. The
// display profile chosen in the window's dialog reaches the viewer and the
// library's thumbnails.
void TPanelJoins::JoinLook() {
    TGradingSession& session = panels_.Session;
    connect(&session, &TGradingSession::LookChanged, this,
            [&session] { RunHandler([&session] { session.Regrade(); }); });
    TLookPanel& look = panels_.Look;
    connect(look.DisplayProfileCombo(), &QComboBox::currentIndexChanged, this, [this, &look] {
        RunHandler([this, &look] {
            look.DisplayProfile().Choose(&panels_.Window);
            emit look.DisplayProfileChanged();
        });
    });
    connect(&look, &TLookPanel::DisplayProfileChanged, this, [this, &look] {
        panels_.Preview.Viewer()->SetDisplayTransform(&look.DisplayProfile().Transform());
        panels_.Library.ShowThumbnails();
    });
}

// The library and the preview open look documents; a LUT previewed takes the
// choice of a reference away; a deleted reference is one step of the look's
// history.
void TPanelJoins::JoinLibrary() {
    TLibraryPanel* library = &panels_.Library;
    TPreviewPanel* preview = &panels_.Preview;
    TLookFiles* files = &panels_.Files;
    TGradingSession* session = &panels_.Session;
    connect(library->List(), &QListWidget::itemSelectionChanged, this,
            [library] { RunHandler([library] { library->HighlightChanged(); }); });
    connect(preview, &TPreviewPanel::LookDropped, files, &TLookFiles::Open);
    connect(library, &TLibraryPanel::LookChosen, files, &TLookFiles::Open);
    connect(preview, &TPreviewPanel::LutPreviewStarted, library, &TLibraryPanel::ClearSelection);
    connect(library, &TLibraryPanel::DeletingReference, session, &TGradingSession::RecordLook);
    connect(library, &TLibraryPanel::ReferenceDeleted, session,
            [session](const QString& file) { session->RecordDeletion(file); });
}

// Split view compares with the snapshot chosen for it; a look that matches
// its preview is built again once a new frame is in.
void TPanelJoins::JoinSnapshots() {
    TPreviewPanel* preview = &panels_.Preview;
    connect(&panels_.Session.Snapshots(), &TSnapshots::ComparisonChanged, preview, &TPreviewPanel::CompareWithSnapshot);
    connect(preview, &TPreviewPanel::FrameChanged, preview, &TPreviewPanel::CompareWithSnapshot, Qt::QueuedConnection);
}
