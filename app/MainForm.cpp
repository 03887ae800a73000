#include "app/MainForm.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QSplitter>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/About.h"
#include "app/Application.h"
#include "app/FrameBar.h"
#include "app/ImageViewer.h"
#include "app/LutSaveForm.h"
#include "app/ProductInfo.h"

// The icons live in a static library; their registration must be asked for.
static void InitResources() { Q_INIT_RESOURCE(ombrane); }

namespace {

constexpr int kHintTime = 5000;

QIcon ButtonIcon(const QString& normal, const QString& disabled = QString()) {
    QIcon icon(normal);
    if (!disabled.isEmpty()) icon.addFile(disabled, QSize(), QIcon::Disabled);
    return icon;
}

}  // namespace

TfrmMain::TfrmMain(const std::string& libraryFolder, QWidget* parent) : QMainWindow(parent) {
    InitResources();
    setObjectName("frmMain");
    Scopes_ = new TScopesPanel(this);
    CreateComponents(libraryFolder);
    library_->CreateMenu();
    preview_->CreateMenu();
    ConnectHandlers();
    resize(870, 762);
    // No narrower than the tool strip's and the panels' texts need.
    setMinimumSize(std::max(600, minimumSizeHint().width()), 750);
    Scopes_->Attach([this] { return preview_->ScopeSource(); });
    setWindowTitle(ProductInfo().ProductName);
    look_->Footage().ShowIn(statusBar());
    preview_->RestoreSplitPosition();
    Viewer()->SetDisplayTransform(&look_->DisplayProfile().Transform());
    // The window sees every key press before its controls do.
    qApp->installEventFilter(this);
}

TfrmMain::~TfrmMain() { qApp->removeEventFilter(this); }

// ---- layout -------------------------------------------------------------

void TfrmMain::CreateComponents(const std::string& libraryFolder) {
    auto* client = new QWidget(this);
    client->setObjectName("pnlClient");
    auto* outer = new QVBoxLayout(client);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addWidget(CreateToolStrip());

    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);

    Splitter1_ = new QSplitter(Qt::Vertical, client);
    Splitter1_->setObjectName("Splitter1");
    Splitter1_->setHandleWidth(3);
    Splitter1_->setChildrenCollapsible(false);

    library_ = std::make_unique<TLibraryPanel>(libraryFolder, *state_, this, Splitter1_, [this] { Regrade(); });
    preview_ = std::make_unique<TPreviewPanel>(
        *state_, this, Splitter1_, client, Scopes_, sbnShowOriginal_, sbnSplitView_,
        [this] { library_->ClearSelection(); }, [this] { Regrade(); });
    Splitter1_->addWidget(library_->List());
    Splitter1_->addWidget(Viewer());
    Splitter1_->setStretchFactor(0, 1);
    Splitter1_->setStretchFactor(1, 0);
    Splitter1_->setSizes({300, 400});

    // The frame bar of a clip lies under the viewer, the splitter's lower part.
    auto* column = new QVBoxLayout;
    column->setSpacing(0);
    column->addWidget(Splitter1_, 1);
    column->addWidget(FrameBar());
    body->addLayout(column, 1);
    look_ = new TLookPanel(*state_, this);
    library_->SetDisplay(&look_->DisplayProfile().Transform());
    // Undo and snapshots restore the choice in the list and build their
    // LUTs from the library's cells.
    look_->SetLibrary(
        [this] {
            if (!library_->Choice().Item()) library_->Choice().Clear();
            library_->Choice().Show();
            preview_->ShowTitle();
        },
        [this](const QString& file) { return library_->CellOf(file); });
    body->addWidget(look_);
    outer->addLayout(body, 1);
    setCentralWidget(client);
}

QWidget* TfrmMain::CreateToolStrip() {
    auto* strip = new QWidget(this);
    strip->setObjectName("pnlTools");
    strip->setFixedHeight(34);
    auto* column = new QVBoxLayout(strip);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(4, 1, 4, 1);
    row->setSpacing(2);

    auto makeButton = [&](const char* name, const QIcon& icon, const QString& caption, const QString& hint) {
        auto* button = new QToolButton(strip);
        button->setObjectName(name);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);  // flat buttons never take the focus
        button->setIcon(icon);
        button->setIconSize(QSize(24, 24));
        button->setToolTip(hint);
        button->setToolTipDuration(kHintTime);
        if (!caption.isEmpty()) {
            button->setText(caption);
            button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        }
        row->addWidget(button);
        return button;
    };
    sbnOpenPreviewImage_ = makeButton("sbnOpenPreviewImage", ButtonIcon(":/icons/open.png"), "Open Preview Image",
                                      "Open a preview image (Ctrl+O)");
    sbnCreateLUT_ = makeButton("sbnCreateLUT", ButtonIcon(":/icons/lut.png", ":/icons/lut_disabled.png"),
                               "Create 3D LUT", "Create the 3D LUT file (Ctrl+E)");
    sbnCreateLUT_->setEnabled(false);
    sbnCreateLUT_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    sbnAddToLib_ =
        makeButton("sbnAddToLib", ButtonIcon(":/icons/add.png"), QString(), "Add reference images to the library");
    sbnShowOriginal_ = makeButton("sbnShowOriginal", ButtonIcon(":/icons/original.png"), QString(),
                                  "Show the ungraded preview image (\\)");
    sbnShowOriginal_->setCheckable(true);
    sbnShowOriginal_->setEnabled(false);
    sbnShowOriginal_->setShortcut(QKeySequence(Qt::Key_Backslash));
    sbnSplitView_ = makeButton("sbnSplitView", ButtonIcon(":/icons/split.png"), "Split View",
                               "Show the ungraded preview left and the graded preview right of a divider");
    sbnSplitView_->setCheckable(true);
    row->addWidget(Scopes_->MakeToolButton(strip));
    row->addStretch(1);
    sbnAbout_ = makeButton("sbnAbout", ButtonIcon(":/icons/about.png"), QString(), "About");

    auto* line = new QFrame(strip);
    line->setObjectName("bvlTools");
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette silver = line->palette();
    silver.setColor(QPalette::Window, QColor(192, 192, 192));
    line->setPalette(silver);
    column->addLayout(row, 1);
    column->addWidget(line);
    return strip;
}

void TfrmMain::ConnectHandlers() {
    auto guarded = [this](void (TfrmMain::*handler)()) {
        return [this, handler] { RunHandler([this, handler] { (this->*handler)(); }); };
    };
    connect(sbnOpenPreviewImage_, &QToolButton::clicked, this, guarded(&TfrmMain::sbnOpenPreviewImageClick));
    connect(sbnCreateLUT_, &QToolButton::clicked, this, guarded(&TfrmMain::sbnCreateLUTClick));
    connect(sbnAddToLib_, &QToolButton::clicked, this, guarded(&TfrmMain::sbnAddToLibClick));
    connect(sbnAbout_, &QToolButton::clicked, this, guarded(&TfrmMain::sbnAboutClick));
    connect(state_.get(), &TGradingState::LookChanged, this, guarded(&TfrmMain::cbxLevelsClick));
    connect(look_->FootageCombo(), &QComboBox::currentIndexChanged, this, guarded(&TfrmMain::cbxFootageChange));
    connect(look_->DisplayProfileCombo(), &QComboBox::currentIndexChanged, this,
            guarded(&TfrmMain::cbxDisplayProfileChange));
    preview_->Connect();
    connect(library_->List(), &QListWidget::itemSelectionChanged, this, guarded(&TfrmMain::lvwRefsSelectItem));
}

// ---- window events ------------------------------------------------------

void TfrmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    // The viewer starts 400 px high; the list takes the rest.
    const int total = Splitter1_->height() - Splitter1_->handleWidth();
    Splitter1_->setSizes({std::max(total - 400, 60), 400});
    RunHandler([this] { ScanLibrary(); });
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    // A key-down of Alt is consumed before any control of this window sees it.
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Alt &&
        watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == this)
        return true;
    return QMainWindow::eventFilter(watched, event);
}

// ---- grading --------------------------------------------------------------

void TfrmMain::lvwRefsSelectItem() {
    QListWidgetItem* item = library_->HighlightedItem();
    TReferenceChoice& choice = library_->Choice();
    if (!item) {
        if (choice.Empty()) return;
        choice.Clear();
    } else {
        choice.Choose(choice.FileOf(item));
        preview_->EndLutPreview();  // a reference's look takes over from a previewed LUT file
    }
    Regrade();
}

void TfrmMain::Regrade() {
    if (Viewer()->Display().Empty()) return;
    if (state_->Reference().isEmpty()) {
        if (state_->PreviewLut()) {
            preview_->GradeDisplay();
            sbnShowOriginal_->setChecked(false);
        } else {
            Viewer()->SetImage(state_->Footage().Shown(state_->Preview()));
        }
        Scopes_->Refresh();
        return;
    }
    BuildLook();
    preview_->GradeDisplay();
    sbnShowOriginal_->setChecked(false);
}

void TfrmMain::BuildLook() {
    const TImage* cell = library_->ChosenCell();
    if (!cell) return;
    state_->BuildLook(*cell);
    sbnCreateLUT_->setEnabled(true);
    sbnShowOriginal_->setEnabled(true);
}

void TfrmMain::sbnCreateLUTClick() { ShowSaveLutDialog(state_->LastSettings(), this, state_->Footage().Conversion()); }

void TfrmMain::cbxDisplayProfileChange() {
    look_->DisplayProfile().Choose(this);
    ShowDisplayProfile();
}

// The viewer and the library's thumbnails drawn through the display profile.
void TfrmMain::ShowDisplayProfile() {
    Viewer()->SetDisplayTransform(&look_->DisplayProfile().Transform());
    library_->ShowThumbnails();
}

// A new footage space: the preview is converted once here, then regraded.
void TfrmMain::cbxFootageChange() {
    TBusyCursor busy;
    look_->Footage().Choose(state_->Preview());
    state_->ForgetPreviewStats();  // matching measures the converted frame
    if (state_->Preview().Empty()) return;
    Viewer()->SetImage(look_->Footage().Shown(state_->Preview()));
    Regrade();
}

void TfrmMain::sbnAboutClick() { ShowAboutBox(ProductInfo(), this); }
