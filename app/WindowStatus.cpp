#include "app/WindowStatus.h"

#include <QFileInfo>
#include <QListWidget>
#include <QMainWindow>
#include <QStatusBar>
#include <QToolButton>

#include "app/FrameBar.h"
#include "app/ImageViewer.h"
#include "app/LibraryPanel.h"
#include "app/LookFiles.h"
#include "app/PreviewPanel.h"
#include "app/ProductInfo.h"
#include "app/StatusLine.h"
#include "app/ToolStrip.h"
#include "clip/ClipModule.h"
#include "grading/GradingSession.h"

namespace {

// The tool tip of Create 3D LUT while a LUT file is previewed, and the
// property that keeps its own.
const QString kCreateLutWaits =
    "A previewed LUT file is shown as it is: choose a reference to create a 3D LUT of its look";
constexpr const char* kPlainHint = "plainHint";
// How long the status line shows what a deletion or its undo did.
constexpr int kDeletionMessageTime = 10000;

}  // namespace

TWindowStatus::TWindowStatus(QMainWindow& window, TGradingSession& session, TPreviewPanel& preview,
                             TLibraryPanel& library, const TToolStrip& strip)
    : QObject(&window),
      window_(window),
      session_(session),
      preview_(preview),
      createLut_(strip.CreateLUT),
      showOriginal_(strip.ShowOriginal),
      splitView_(strip.SplitView) {
    createLut_->setProperty(kPlainHint, createLut_->toolTip());
    line_ = new TStatusLine(window.statusBar());
    window.statusBar()->addPermanentWidget(line_, 1);
    Connect(library);
    ShowState();
}

void TWindowStatus::Connect(TLibraryPanel& library) {
    connect(&session_, &TGradingSession::Regraded, this, [this](bool built) {
        if (built) createLut_->setEnabled(true);
    });
    connect(&library, &TLibraryPanel::ReferenceDeleted, this,
            [this](const QString& file, const QString& now) { ShowMessage(TLibraryPanel::DeletedMessage(file, now)); });
    connect(&library, &TLibraryPanel::ReferenceRestored, this,
            [this](const QString& file) { ShowMessage(TLibraryPanel::RestoredMessage(file)); });
    connect(window_.statusBar(), &QStatusBar::messageChanged, this, [this](const QString& message) {
        if (message.isEmpty()) line_->show();
    });
    connect(preview_.Viewer(), &TImageViewer::ZoomChanged, line_, &TStatusLine::SetZoom);
    // The title and the status line follow the frame, the look and the bypass.
    connect(&preview_, &TPreviewPanel::FrameChanged, this, &TWindowStatus::FrameChanged);
    connect(&preview_, &TPreviewPanel::LutPreviewChanged, this, &TWindowStatus::ShowState);
    connect(&session_, &TGradingSession::LookChanged, this, &TWindowStatus::ShowState);
    connect(&session_, &TGradingSession::ReferenceRenamed, this, &TWindowStatus::ShowState);
    connect(&session_, &TGradingSession::LookRestored, this, &TWindowStatus::ShowState);
    connect(library.List(), &QListWidget::itemSelectionChanged, this, &TWindowStatus::ShowState);
    connect(showOriginal_, &QToolButton::toggled, this, &TWindowStatus::ShowState);
    // Split view and Show Original decide whether the comparison is on screen.
    connect(&session_.Snapshots(), &TSnapshots::ComparisonChanged, this, &TWindowStatus::ShowComparison);
    connect(&preview_, &TPreviewPanel::FrameChanged, this, &TWindowStatus::ShowComparison, Qt::QueuedConnection);
    for (QToolButton* button : {splitView_, showOriginal_})
        connect(button, &QToolButton::toggled, this, &TWindowStatus::ShowComparison);
}

void TWindowStatus::FrameChanged(const QString& file, const QSize& size) {
    frameName_ = file.isEmpty() ? QStringLiteral("pasted picture") : QFileInfo(file).fileName();
    line_->SetFrame(QFileInfo(file).fileName(), size);
    const TFrameBar* bar = preview_.FrameBar();
    line_->SetInterlaced(bar->HasClip() && !bar->Info().FieldOrder.empty());
    ShowState();
}

void TWindowStatus::ShowComparison() {
    const int slot = session_.Snapshots().Comparison();
    const bool compared = session_.ComparisonLut() && preview_.Viewer()->SplitView();
    line_->SetComparison(compared ? TSnapshots::Name(slot) : QString());
}

void TWindowStatus::ShowState() {
    const QString product = ProductInfo().ProductName;
    window_.setWindowTitle(frameName_.isEmpty() ? product : frameName_ + QString(" ") + QChar(0x2014) + " " + product);
    line_->SetLook(TLookFiles::Caption(session_.Reference()),
                   session_.PreviewLut() ? session_.PreviewLutName() : QString());
    line_->SetPositions(session_.Positions());
    // A previewed LUT file is shown as it is: Create 3D LUT, which makes a
    // file of a reference's look, waits until a reference is chosen again.
    const bool lutShown = session_.PreviewLut() != nullptr;
    createLut_->setEnabled(session_.LookBuilt() && !lutShown);
    createLut_->setToolTip(lutShown ? kCreateLutWaits : createLut_->property(kPlainHint).toString());
    line_->SetBypass(showOriginal_->isChecked());
}

void TWindowStatus::ShowMessage(const QString& text) {
    // The status line takes the bar's width, where the message would be
    // drawn: it steps aside until the message is gone.
    line_->hide();
    window_.statusBar()->showMessage(text, kDeletionMessageTime);
}
