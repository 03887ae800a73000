#include "app/MainForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QScrollArea>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/About.h"
#include "app/Application.h"
#include "app/FrameBar.h"
#include "app/ImageViewer.h"
#include "app/KeysDialog.h"
#include "app/LastSession.h"
#include "app/LookFiles.h"
#include "app/MenuBar.h"
#include "app/PanelJoins.h"
#include "app/ProductInfo.h"
#include "app/ScreenFit.h"
#include "app/TabOrder.h"
#include "app/WindowMenus.h"
#include "app/WindowStatus.h"

// The icons live in a static library; their registration must be asked for.
static void InitResources() { Q_INIT_RESOURCE(ombrane); }

TfrmMain::TfrmMain(const std::string& libraryFolder, QWidget* parent) : QMainWindow(parent) {
    InitResources();
    setObjectName("frmMain");
    scopes_ = new TScopesPanel(this);
    CreateComponents(libraryFolder);
    library_->CreateMenu();
    preview_->CreateMenu();
    new TWindowMenus(*this, strip_);
    ConnectHandlers();
    resize(870, 762);
    // No narrower than the tool strip's and the panels' texts need.
    setMinimumSize(std::max(kMinimumWidth, minimumSizeHint().width()), kMinimumHeight);
    scopes_->Attach([this] { return preview_->ScopeSource(); });
    status_ = new TWindowStatus(*this, *state_, *preview_, *library_, strip_);
    look_->Footage().ShowIn(statusBar());
    preview_->RestoreSplitPosition();
    lastSession_ = new TLastSession(*this, *status_);
    lastSession_->RestoreLayout();
    // The window sees every key press before its controls do.
    qApp->installEventFilter(this);
}

// The docks hide while QWidget's destructor runs, after this class's part is
// gone: the scopes' toggle must no longer reach the window by then.
TfrmMain::~TfrmMain() {
    qApp->removeEventFilter(this);
    disconnect(scopes_->toggleViewAction(), nullptr, this, nullptr);
}

TStatusLine* TfrmMain::StatusLine() const { return status_->Line(); }

// ---- layout -------------------------------------------------------------

void TfrmMain::CreateComponents(const std::string& libraryFolder) {
    CreateToolStrip();
    auto* client = new QWidget(this);
    client->setObjectName("pnlClient");
    auto* body = new QHBoxLayout(client);
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    libraryDock_ = new TLibraryDock(*this);
    library_ = std::make_unique<TLibraryPanel>(libraryFolder, *state_, this, libraryDock_->Dock());
    libraryDock_->SetPanel(library_.get());
    libraryDock_->OnLayoutChanged = [this] { SetTabOrder(); };
    body->addWidget(CreateViewerArea(client), 1);
    look_ = new TLookPanel(*state_, this);
    lookFiles_ = new TLookFiles(*state_, *library_, this);
    body->addWidget(CreateLookArea());
    setCentralWidget(client);
    // The scopes take the window's full height at the right.
    setCorner(Qt::BottomRightCorner, Qt::RightDockWidgetArea);
    setCorner(Qt::TopRightCorner, Qt::RightDockWidgetArea);
    addDockWidget(Qt::BottomDockWidgetArea, libraryDock_->Dock());
}

// The tool strip spans the window above the panels.
void TfrmMain::CreateToolStrip() {
    auto* tools = new QToolBar("Tools", this);
    tools->setObjectName("tlbTools");
    tools->setMovable(false);
    tools->setFloatable(false);
    tools->setContextMenuPolicy(Qt::PreventContextMenu);
    tools->toggleViewAction()->setVisible(false);
    tools->layout()->setContentsMargins(0, 0, 0, 0);
    strip_ = ::CreateToolStrip(this, *scopes_);
    tools->addWidget(strip_.Strip);
    addToolBar(Qt::TopToolBarArea, tools);
}

// The viewer takes the space; the frame bar of a clip lies under it. Both
// have a panel of their own, to which full screen gives the viewer back.
QWidget* TfrmMain::CreateViewerArea(QWidget* parent) {
    auto* viewerPanel = new QWidget(parent);
    viewerPanel->setObjectName("pnlViewer");
    preview_ = std::make_unique<TPreviewPanel>(*state_, this, viewerPanel, viewerPanel, scopes_, strip_.ShowOriginal,
                                               strip_.SplitView);
    auto* column = new QVBoxLayout(viewerPanel);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(preview_->Viewer(), 1);
    column->addWidget(preview_->FrameBar());
    return viewerPanel;
}

// The look panel scrolls when the window is lower than the panel.
QWidget* TfrmMain::CreateLookArea() {
    auto* area = new QScrollArea(this);
    area->setObjectName("scrLook");
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setWidgetResizable(true);
    area->setWidget(look_);
    const int scrollBar = area->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, area);
    area->setFixedWidth(look_->width() + scrollBar);
    return area;
}

void TfrmMain::SetTabOrder() {
    QList<QWidget*> panels = {preview_->Viewer(), preview_->FrameBar(), look_, scopes_};
    if (libraryDock_->Left())
        panels.prepend(library_->List());
    else
        panels.append(library_->List());
    ChainTabOrder(panels);
}

// ---- wiring ---------------------------------------------------------------

// The panels are joined to the session as the panel tests join them; the
// window adds its own: About, and the scopes kept within the screen.
void TfrmMain::ConnectHandlers() {
    connect(strip_.About, &QToolButton::clicked, this,
            [this] { RunHandler([this] { ShowAboutBox(ProductInfo(), this); }); });
    new TPanelJoins({*this, *state_, *preview_, *library_, *look_, *lookFiles_, strip_});
    // Opening the scopes never makes the window larger than the screen.
    connect(scopes_->toggleViewAction(), &QAction::toggled, this, [this] { FitWindowToScreen(*this); });
    connect(scopes_, &QDockWidget::topLevelChanged, this, [this] { FitWindowToScreen(*this); });
}

// ---- window events ------------------------------------------------------

void TfrmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    libraryDock_->WindowShown();
    RunHandler([this] { library_->ScanLibrary(); });
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    lastSession_->Keep();
    QMainWindow::closeEvent(event);
}

void TfrmMain::ShowKeys() {
    if (!keys_) keys_ = new TKeysDialog(WindowActions(*this), this);
    keys_->Fill(WindowActions(*this));
    keys_->show();
    keys_->raise();
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    // A key-down of Alt is consumed before any control of this window sees it.
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Alt &&
        watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == this)
        return true;
    return QMainWindow::eventFilter(watched, event);
}
