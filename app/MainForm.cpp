#include "app/MainForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDockWidget>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
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
#include "app/LibraryDock.h"
#include "app/LookFiles.h"
#include "app/LookSession.h"
#include "app/LutSaveForm.h"
#include "app/MenuBar.h"
#include "app/ProductInfo.h"
#include "app/ScreenFit.h"
#include "app/StatusLine.h"
#include "app/TabOrder.h"
#include "app/ToolStrip.h"
#include "clip/ClipModule.h"
#include "grading/UserSettings.h"

// The icons live in a static library; their registration must be asked for.
static void InitResources() { Q_INIT_RESOURCE(ombrane); }

namespace {

// The divider's step.
constexpr double kDividerStep = 0.05;
// The tool tip of Create 3D LUT while a LUT file is previewed, and the
// property that keeps its own.
const QString kCreateLutWaits =
    "A previewed LUT file is shown as it is: choose a reference to create a 3D LUT of its look";
constexpr const char* kPlainHint = "plainHint";
// How long the status line shows what a deletion or its undo did.
constexpr int kDeletionMessageTime = 10000;

}  // namespace

TfrmMain::TfrmMain(const std::string& libraryFolder, QWidget* parent) : QMainWindow(parent) {
    InitResources();
    setObjectName("frmMain");
    Scopes_ = new TScopesPanel(this);
    CreateComponents(libraryFolder);
    library_->CreateMenu();
    preview_->CreateMenu();
    CreateMenus();
    ConnectHandlers();
    resize(870, 762);
    // No narrower than the tool strip's and the panels' texts need.
    setMinimumSize(std::max(kMinimumWidth, minimumSizeHint().width()), kMinimumHeight);
    Scopes_->Attach([this] { return preview_->ScopeSource(); });
    statusLine_ = new TStatusLine(statusBar());
    statusBar()->addPermanentWidget(statusLine_, 1);
    connect(preview_->Viewer(), &TImageViewer::ZoomChanged, statusLine_, &TStatusLine::SetZoom);
    look_->Footage().ShowIn(statusBar());
    ShowState();
    preview_->RestoreSplitPosition();
    preview_->Viewer()->SetDisplayTransform(&look_->DisplayProfile().Transform());
    RestoreLayout();
    // The window sees every key press before its controls do.
    qApp->installEventFilter(this);
}

// The docks hide while QWidget's destructor runs, after this class's part is
// gone: the scopes' toggle must no longer reach FitToScreen by then.
TfrmMain::~TfrmMain() {
    qApp->removeEventFilter(this);
    disconnect(Scopes_->toggleViewAction(), nullptr, this, nullptr);
}

// ---- layout -------------------------------------------------------------

void TfrmMain::CreateComponents(const std::string& libraryFolder) {
    // The tool strip spans the window above the panels.
    auto* tools = new QToolBar("Tools", this);
    tools->setObjectName("tlbTools");
    tools->setMovable(false);
    tools->setFloatable(false);
    tools->setContextMenuPolicy(Qt::PreventContextMenu);
    tools->toggleViewAction()->setVisible(false);
    tools->layout()->setContentsMargins(0, 0, 0, 0);
    const TToolStrip strip = CreateToolStrip(this, *Scopes_);
    sbnOpenPreviewImage_ = strip.OpenPreviewImage;
    sbnCreateLUT_ = strip.CreateLUT;
    sbnCreateLUT_->setProperty(kPlainHint, sbnCreateLUT_->toolTip());
    sbnAddToLib_ = strip.AddToLib;
    sbnShowOriginal_ = strip.ShowOriginal;
    sbnSplitView_ = strip.SplitView;
    sbnAbout_ = strip.About;
    tools->addWidget(strip.Strip);
    addToolBar(Qt::TopToolBarArea, tools);

    auto* client = new QWidget(this);
    client->setObjectName("pnlClient");
    auto* body = new QHBoxLayout(client);
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);

    libraryDock_ = new TLibraryDock(*this);
    library_ = std::make_unique<TLibraryPanel>(libraryFolder, *state_, this, libraryDock_->Dock());
    libraryDock_->SetPanel(library_.get());
    libraryDock_->OnLayoutChanged = [this] { SetTabOrder(); };
    // The viewer takes the space; the frame bar of a clip lies under it.
    // Both have a panel of their own, to which full screen gives the viewer
    // back.
    auto* viewerPanel = new QWidget(client);
    viewerPanel->setObjectName("pnlViewer");
    preview_ = std::make_unique<TPreviewPanel>(*state_, this, viewerPanel, viewerPanel, Scopes_, sbnShowOriginal_,
                                               sbnSplitView_, [this] { library_->ClearSelection(); });
    auto* column = new QVBoxLayout(viewerPanel);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(preview_->Viewer(), 1);
    column->addWidget(preview_->FrameBar());
    body->addWidget(viewerPanel, 1);
    look_ = new TLookPanel(*state_, this);
    lookFiles_ = new TLookFiles(*state_, *look_, *library_, this);
    preview_->SetLookOpener([this](const QString& file) { lookFiles_->Open(file); });
    library_->SetLookOpener([this](const QString& file) { lookFiles_->Open(file); });
    library_->SetDisplay(&look_->DisplayProfile().Transform());
    // Undo and snapshots restore the choice in the list; looks are built
    // from the library's cells (or an opened look document's).
    look_->SetLibrary([this] {
        if (!library_->Choice().Item() && !TDocumentCells::IsDocumentReference(library_->Choice().File()))
            library_->Choice().Clear();
        library_->Choice().Show();
        ShowState();
    });
    state_->SetCellSource([this](const QString& file) { return lookFiles_->CellOf(file); });
    look_->SetDeletion(
        [this](const QString& file) {
            library_->RestoreDeleted(file);
            ShowMessage(TLibraryPanel::RestoredMessage(file));
        },
        [this](const QString& file) { library_->DeleteAgain(file); });
    body->addWidget(CreateLookArea());
    setCentralWidget(client);
    // The scopes take the window's full height at the right.
    setCorner(Qt::BottomRightCorner, Qt::RightDockWidgetArea);
    setCorner(Qt::TopRightCorner, Qt::RightDockWidgetArea);
    addDockWidget(Qt::BottomDockWidgetArea, libraryDock_->Dock());
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

// The menu bar holds every action of the window with its short-cut; the
// tool strip's and the look panel's buttons get actions that click them.
void TfrmMain::CreateMenus() {
    auto* createLut = MakeButtonAction(sbnCreateLUT_, "Create 3D LUT...", QKeySequence(Qt::CTRL | Qt::Key_E));
    auto* showOriginal = MakeButtonAction(sbnShowOriginal_, "Show Original", QKeySequence(Qt::Key_Backslash));
    auto* splitView = MakeButtonAction(sbnSplitView_, "Split View", QKeySequence(Qt::CTRL | Qt::Key_Backslash));
    auto* about = MakeButtonAction(sbnAbout_, "About...", QKeySequence(Qt::CTRL | Qt::Key_F1));
    auto* defaults = MakeButtonAction(findChild<QPushButton*>("sbnDefaults"), "Saturation Defaults", QKeySequence());
    auto* generalDefaults =
        MakeButtonAction(findChild<QPushButton*>("sbnGeneralDefaults"), "General Defaults", QKeySequence());
    connect(sbnAddToLib_, &QToolButton::clicked, library_->AddAction(), &QAction::trigger);

    auto* dividerLeft = new QAction("Move Divider Left", this);
    dividerLeft->setObjectName("actDividerLeft");
    dividerLeft->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
    connect(dividerLeft, &QAction::triggered, this, [this] { MoveDivider(-kDividerStep); });
    auto* dividerRight = new QAction("Move Divider Right", this);
    dividerRight->setObjectName("actDividerRight");
    dividerRight->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
    connect(dividerRight, &QAction::triggered, this, [this] { MoveDivider(kDividerStep); });

    auto* keys = new QAction("Keys...", this);
    keys->setObjectName("actKeys");
    keys->setShortcut(QKeySequence(Qt::Key_F1));
    connect(keys, &QAction::triggered, this, [this] { RunHandler([this] { ShowKeys(); }); });
    auto* quit = new QAction("Quit", this);
    quit->setObjectName("actQuit");
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit, &QAction::triggered, this, &QWidget::close);

    QAction* learnPair = NamedAction("miLearnPair");
    learnPair->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
    QAction* matchShot = NamedAction("miMatchShot");
    matchShot->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M));

    auto* openLook = new QAction(QString("Open Look") + QChar(0x2026), this);
    openLook->setObjectName("miOpenLook");
    openLook->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    connect(openLook, &QAction::triggered, this, [this] { RunHandler([this] { lookFiles_->OpenClick(); }); });
    auto* saveLook = new QAction(QString("Save Look") + QChar(0x2026), this);
    saveLook->setObjectName("miSaveLook");
    saveLook->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    connect(saveLook, &QAction::triggered, this, [this] { RunHandler([this] { lookFiles_->SaveClick(); }); });

    TMenuActions menus;
    menus.File = {NamedAction("miOpenPreviewImage"),
                  NamedAction("miSaveGradedImage"),
                  nullptr,
                  openLook,
                  saveLook,
                  lookFiles_->RecentMenu()->menuAction(),
                  nullptr,
                  createLut,
                  nullptr,
                  quit};
    const QList<QAction*> look = look_->LookActions();
    menus.Edit = {look.value(0), look.value(1), nullptr, NamedAction("miPaste")};
    menus.View = {showOriginal, splitView, dividerLeft, dividerRight, nullptr, Scopes_->toggleViewAction(), nullptr};
    menus.View += preview_->ViewActions();
    menus.View += nullptr;
    menus.View += MakeRememberedToggle(this, "Dark Surround", "actDarkSurround", kDarkSurroundKey,
                                       [this](bool dark) { preview_->Viewer()->SetDarkSurround(dark); });
    menus.Look = {NamedAction("miPreviewLutFile"), learnPair, matchShot, nullptr, generalDefaults, defaults};
    // The snapshots: store, recall and compare, slot by slot.
    for (qsizetype i = 2; i < look.size(); ++i) {
        if ((i - 2) % 3 == 0) menus.Look += nullptr;
        menus.Look += look[i];
    }
    menus.Library = {library_->AddAction(),      library_->RenameAction(),  library_->DeleteAction(), nullptr,
                     libraryDock_->ShowAction(), libraryDock_->GridAction()};
    menus.Help = {keys, about};
    BuildMenuBar(*this, menus);
}

QAction* TfrmMain::NamedAction(const char* name) const { return findChild<QAction*>(name); }

void TfrmMain::ConnectHandlers() {
    auto guarded = [this](void (TfrmMain::*handler)()) {
        return [this, handler] { RunHandler([this, handler] { (this->*handler)(); }); };
    };
    connect(sbnOpenPreviewImage_, &QToolButton::clicked, this,
            [this] { RunHandler([this] { preview_->OpenClick(); }); });
    connect(sbnCreateLUT_, &QToolButton::clicked, this, guarded(&TfrmMain::sbnCreateLUTClick));
    connect(sbnAbout_, &QToolButton::clicked, this, guarded(&TfrmMain::sbnAboutClick));
    // A control moved: the session builds the look afresh and regrades.
    connect(state_.get(), &TGradingSession::LookChanged, this, [this] { RunHandler([this] { state_->Regrade(); }); });
    connect(state_.get(), &TGradingSession::Regraded, this, [this](bool built) {
        if (built) sbnCreateLUT_->setEnabled(true);
    });
    connect(look_->DisplayProfileCombo(), &QComboBox::currentIndexChanged, this,
            guarded(&TfrmMain::cbxDisplayProfileChange));
    preview_->Connect();
    connect(library_->List(), &QListWidget::itemSelectionChanged, this,
            [this] { RunHandler([this] { library_->HighlightChanged(); }); });
    // A deleted reference is one step of the look's history; the status
    // line says what grades now.
    connect(library_.get(), &TLibraryPanel::DeletingReference, look_, &TLookPanel::RecordLook);
    connect(library_.get(), &TLibraryPanel::ReferenceDeleted, this, [this](const QString& file, const QString& now) {
        look_->RecordDeletion(file);
        ShowMessage(TLibraryPanel::DeletedMessage(file, now));
    });
    connect(statusBar(), &QStatusBar::messageChanged, this, [this](const QString& message) {
        if (message.isEmpty()) statusLine_->show();
    });

    // The title and the status line follow the frame, the look and the bypass.
    connect(preview_.get(), &TPreviewPanel::FrameChanged, this, &TfrmMain::FrameChanged);
    connect(preview_.get(), &TPreviewPanel::LutPreviewChanged, this, &TfrmMain::ShowState);
    connect(state_.get(), &TGradingSession::LookChanged, this, &TfrmMain::ShowState);
    connect(state_.get(), &TGradingSession::ReferenceRenamed, this, &TfrmMain::ShowState);
    connect(library_->List(), &QListWidget::itemSelectionChanged, this, &TfrmMain::ShowState);
    connect(sbnShowOriginal_, &QToolButton::toggled, this, &TfrmMain::ShowState);
    connect(Scopes_->toggleViewAction(), &QAction::toggled, this, &TfrmMain::FitToScreen);

    // Split view compares with the snapshot chosen for it; a look that
    // matches its preview is built again once a new frame is in.
    TPreviewPanel* preview = preview_.get();
    connect(&state_->Snapshots(), &TSnapshots::ComparisonChanged, preview, &TPreviewPanel::CompareWithSnapshot);
    connect(&state_->Snapshots(), &TSnapshots::ComparisonChanged, this, &TfrmMain::ShowComparison);
    connect(preview, &TPreviewPanel::FrameChanged, preview, &TPreviewPanel::CompareWithSnapshot, Qt::QueuedConnection);
    connect(preview, &TPreviewPanel::FrameChanged, this, &TfrmMain::ShowComparison, Qt::QueuedConnection);
    connect(Scopes_, &QDockWidget::topLevelChanged, this, &TfrmMain::FitToScreen);
    // Split view and Show Original decide whether the comparison is on screen.
    for (QToolButton* button : {sbnSplitView_, sbnShowOriginal_})
        connect(button, &QToolButton::toggled, this, &TfrmMain::ShowComparison);
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
    SaveLayout();
    if (session_) session_->Keep(QFile::decodeName(state_->PreviewFile().c_str()));
    QMainWindow::closeEvent(event);
}

// ---- layout -------------------------------------------------------------

void TfrmMain::RestoreLayout() {
    const QByteArray geometry = UserSettings().value(kGeometryKey).toByteArray();
    if (!geometry.isEmpty()) restoreGeometry(geometry);
    libraryDock_->Restore();
}

void TfrmMain::SaveLayout() const {
    UserSettings().setValue(kGeometryKey, saveGeometry());
    libraryDock_->Save();
}

void TfrmMain::SetTabOrder() {
    QList<QWidget*> panels = {preview_->Viewer(), preview_->FrameBar(), look_, Scopes_};
    if (libraryDock_->Left())
        panels.prepend(library_->List());
    else
        panels.append(library_->List());
    ChainTabOrder(panels);
}

void TfrmMain::FitToScreen() { FitWindowToScreen(*this); }

void TfrmMain::MoveDivider(double by) {
    TImageViewer* viewer = preview_->Viewer();
    if (!viewer->SplitView()) return;
    viewer->SetSplitPosition(viewer->SplitPosition() + by);
    // As a drag of the divider: kept in the settings, the scopes follow.
    emit viewer->SplitPositionChanged(viewer->SplitPosition());
}

// ---- state in view --------------------------------------------------------

void TfrmMain::FrameChanged(const QString& file, const QSize& size) {
    frameName_ = file.isEmpty() ? QStringLiteral("pasted picture") : QFileInfo(file).fileName();
    statusLine_->SetFrame(QFileInfo(file).fileName(), size);
    const TFrameBar* bar = preview_->FrameBar();
    statusLine_->SetInterlaced(bar->HasClip() && !bar->Info().FieldOrder.empty());
    ShowState();
}

void TfrmMain::ShowComparison() {
    const int slot = look_->Snapshots().Comparison();
    const bool compared = state_->ComparisonLut() && preview_->Viewer()->SplitView();
    statusLine_->SetComparison(compared ? TSnapshots::Name(slot) : QString());
}

void TfrmMain::ShowState() {
    const QString product = ProductInfo().ProductName;
    setWindowTitle(frameName_.isEmpty() ? product : frameName_ + QString(" ") + QChar(0x2014) + " " + product);
    statusLine_->SetLook(TLookFiles::Caption(state_->Reference()),
                         state_->PreviewLut() ? state_->PreviewLutName() : QString());
    statusLine_->SetPositions(state_->Positions());
    // A previewed LUT file is shown as it is: Create 3D LUT, which makes a
    // file of a reference's look, waits until a reference is chosen again.
    const bool lutShown = state_->PreviewLut() != nullptr;
    sbnCreateLUT_->setEnabled(state_->LookBuilt() && !lutShown);
    sbnCreateLUT_->setToolTip(lutShown ? kCreateLutWaits : sbnCreateLUT_->property(kPlainHint).toString());
    statusLine_->SetBypass(sbnShowOriginal_->isChecked());
}

void TfrmMain::ShowMessage(const QString& text) {
    // The status line takes the bar's width, where the message would be
    // drawn: it steps aside until the message is gone.
    statusLine_->hide();
    statusBar()->showMessage(text, kDeletionMessageTime);
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

// ---- grading --------------------------------------------------------------

void TfrmMain::sbnCreateLUTClick() {
    ShowSaveLutDialog(state_->LastSettings(), this, state_->Footage().Conversion(), LookName(*state_));
}

// The viewer and the library's thumbnails drawn through the display profile.
void TfrmMain::cbxDisplayProfileChange() {
    look_->DisplayProfile().Choose(this);
    preview_->Viewer()->SetDisplayTransform(&look_->DisplayProfile().Transform());
    library_->ShowThumbnails();
}

void TfrmMain::sbnAboutClick() { ShowAboutBox(ProductInfo(), this); }

// ---- look documents and the session ----------------------------------------

void TfrmMain::RestoreSession(bool pictureGiven) {
    session_ = new TLookSession(*lookFiles_, *preview_->Viewer(), this);
    session_->SetFrameFile([this] { return QFile::decodeName(state_->PreviewFile().c_str()); });
    const QString frame = pictureGiven ? QString() : TLookSession::LastFrame();
    QString problem;
    try {
        if (!frame.isEmpty()) preview_->OpenPreviewFile(frame);
    } catch (const std::exception& error) {
        problem = QString::fromStdString(error.what());
    }
    const QString lookProblem = session_->RestoreLook();
    if (problem.isEmpty()) problem = lookProblem;
    if (!problem.isEmpty()) ShowMessage(problem);
    // From now on every change is kept, once the changes rest.
    auto changed = [this] { session_->Changed(); };
    connect(state_.get(), &TGradingSession::LookEdited, session_, changed);
    connect(&state_->Snapshots(), &TSnapshots::StoredChanged, session_, changed);
    connect(preview_.get(), &TPreviewPanel::FrameChanged, session_, changed);
    connect(preview_->Viewer(), &TImageViewer::ZoomChanged, session_, changed);
}

void TfrmMain::RestoreZoom() {
    if (session_) session_->RestoreZoom();
}
