#include "MainForm.h"

#include <QAction>
#include <QFileInfo>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

#include "About.h"
#include "Application.h"
#include "ClipFile.h"
#include "ColorSpace.h"
#include "DeepPreviewSave.h"
#include "Dialogs.h"
#include "Error.h"
#include "FileDrop.h"
#include "FrameBar.h"
#include "GradingRoad.h"
#include "ImageFile.h"
#include "ImageResize.h"
#include "ImageViewer.h"
#include "LUT.h"
#include "LutConvert.h"
#include "LearnPairDialog.h"
#include "LutSaveForm.h"
#include "NaturalOrder.h"
#include "PictureFormats.h"
#include "ProductInfo.h"
#include "ReferenceList.h"
#include "QtImage.h"
#include "SourceMatch.h"
#include "Thumbnail.h"

// The icons live in a static library; their registration must be asked for.
static void InitResources() { Q_INIT_RESOURCE(ombrane); }

namespace {

constexpr int kPreviewBoxWidth = 1000;
constexpr int kPreviewBoxHeight = 500;
constexpr int kHintTime = 5000;

const QString kPromptNoPreview = "Please open a preview image.";
const QString kLibraryFilter = QString::fromStdString("Image Files|" + PicturePatterns(TPictureRole::Reference)) +
                               "|All Files|*.*";
const QString kPictureFilter =
    QString::fromStdString("All pictures|" + PicturePatterns(TPictureRole::Written) + "|" + PictureTypeFilters()) +
    "|Clips|*.mov;*.mp4;*.mkv;*.mxf;*.avi|All Files|*.*";
const QString kSavePreviewFilter = "Jpeg Files|*.jpg; *.jpeg|All Files|*.*";
const QString kLutFileFilter = "All Files|*.*";
// The settings key of the split view's divider position (a share of the picture's width).
const QString kSplitPositionKey = "splitPosition";

QSettings UserSettings() { return QSettings(QSettings::NativeFormat, QSettings::UserScope, "tarnwerk", "Ombrane"); }

std::string ToStd(const QString& text) { return text.toStdString(); }

// Sets a flag for the lifetime of the object.
class TFlagGuard {
public:
    explicit TFlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~TFlagGuard() { flag_ = false; }
    TFlagGuard(const TFlagGuard&) = delete;
    TFlagGuard& operator=(const TFlagGuard&) = delete;

private:
    bool& flag_;
};

// Suspends a widget's repainting for the lifetime of the object.
class TUpdatesSuspended {
public:
    explicit TUpdatesSuspended(QWidget* widget) : widget_(widget) { widget_->setUpdatesEnabled(false); }
    ~TUpdatesSuspended() { widget_->setUpdatesEnabled(true); }
    TUpdatesSuspended(const TUpdatesSuspended&) = delete;
    TUpdatesSuspended& operator=(const TUpdatesSuspended&) = delete;

private:
    QWidget* widget_;
};

// Hands a caption typed in the list to the window, which renames the file
// first; the caption changes only when the rename succeeded.
class TCaptionDelegate : public QStyledItemDelegate {
public:
    // ownerAlive turns false when the window starts to go; an editor still
    // open then commits nothing.
    TCaptionDelegate(TfrmMain* owner, std::shared_ptr<const bool> ownerAlive, QListWidget* list)
        : QStyledItemDelegate(list), owner_(owner), ownerAlive_(std::move(ownerAlive)), list_(list) {}

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
        if (!*ownerAlive_) return;
        auto* edit = qobject_cast<QLineEdit*>(editor);
        QListWidgetItem* item = list_->item(index.row());
        if (!edit || !item) return;
        try {
            owner_->lvwRefsEdited(item, edit->text());
        } catch (const std::exception& error) {
            // Shown once the editor has closed.
            const QString message = QString::fromStdString(error.what());
            QMetaObject::invokeMethod(
                owner_, [message] { ReportError(EError(ToStd(message))); }, Qt::QueuedConnection);
        }
    }

private:
    TfrmMain* owner_;
    std::shared_ptr<const bool> ownerAlive_;
    QListWidget* list_;
};

QIcon ButtonIcon(const QString& normal, const QString& disabled = QString()) {
    QIcon icon(normal);
    if (!disabled.isEmpty()) icon.addFile(disabled, QSize(), QIcon::Disabled);
    return icon;
}

}  // namespace

TfrmMain::TfrmMain(const std::string& libraryFolder, QWidget* parent)
    : QMainWindow(parent), library_(libraryFolder), Lut_(std::make_unique<TLUT>()) {
    InitResources();
    setObjectName("frmMain");
    Lut_->Kind = lkCube;
    Lut_->CubeSize = kLookCubeSize;
    Scopes_ = new TScopesPanel(this);
    CreateComponents();
    CreateMenus();
    ConnectHandlers();
    resize(870, 762);
    setMinimumSize(600, 750);
    Scopes_->Attach([this] { return ScopeSource(); });
    setWindowTitle(ProductInfo().ProductName);
    footage_->ShowIn(statusBar());
    Viewer_->SetSplitPosition(UserSettings().value(kSplitPositionKey, 0.5).toDouble());
    Viewer_->SetDisplayTransform(&displayProfile_->Transform());
    // The window sees every key press before its controls do.
    qApp->installEventFilter(this);
}

TfrmMain::~TfrmMain() {
    *alive_ = false;
    qApp->removeEventFilter(this);
}

// ---- layout -------------------------------------------------------------

void TfrmMain::CreateComponents() {
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

    lvwRefs_ = new TReferenceList(Splitter1_);
    lvwRefs_->setObjectName("lvwRefs");
    choice_ = std::make_unique<TReferenceChoice>(lvwRefs_, kFileNameRole);
    lvwRefs_->setViewMode(QListView::IconMode);
    lvwRefs_->setIconSize(QSize(kThumbnailSize, kThumbnailSize));
    lvwRefs_->setResizeMode(QListView::Adjust);
    lvwRefs_->setMovement(QListView::Static);
    lvwRefs_->setWrapping(true);
    lvwRefs_->setWordWrap(true);
    lvwRefs_->setSpacing(4);
    lvwRefs_->setSelectionMode(QAbstractItemView::SingleSelection);
    lvwRefs_->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    lvwRefs_->setItemDelegate(new TCaptionDelegate(this, alive_, lvwRefs_));
    lvwRefs_->setContextMenuPolicy(Qt::CustomContextMenu);
    lvwRefs_->setMinimumHeight(60);
    // The hint of the list is not shown as a tool tip.
    lvwRefs_->setAccessibleDescription("Library of reference images");
    // The selection stays highlighted when the list loses the focus.
    QPalette palette = lvwRefs_->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    lvwRefs_->setPalette(palette);

    Viewer_ = new TImageViewer(Splitter1_);
    Viewer_->setObjectName("Viewer");
    Viewer_->setMinimumHeight(60);
    Viewer_->setContextMenuPolicy(Qt::CustomContextMenu);
    Splitter1_->addWidget(lvwRefs_);
    Splitter1_->addWidget(Viewer_);
    Splitter1_->setStretchFactor(0, 1);
    Splitter1_->setStretchFactor(1, 0);
    Splitter1_->setSizes({300, 400});

    // The frame bar of a clip lies under the viewer, the splitter's lower part.
    auto* column = new QVBoxLayout;
    column->setSpacing(0);
    column->addWidget(Splitter1_, 1);
    FrameBar_ = new TFrameBar(client);
    FrameBar_->SetPreviewBox(kPreviewBoxWidth, kPreviewBoxHeight);
    FrameBar_->WatchKeys(Viewer_);
    column->addWidget(FrameBar_);
    body->addLayout(column, 1);
    body->addWidget(CreateRightPanel());
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
    sbnOpenPreviewImage_ = makeButton("sbnOpenPreviewImage", ButtonIcon(":/icons/open.png"),
                                      "Open Preview Image", "Open a preview image (Ctrl+O)");
    sbnCreateLUT_ = makeButton("sbnCreateLUT", ButtonIcon(":/icons/lut.png", ":/icons/lut_disabled.png"),
                               "Create 3D LUT", "Create the 3D LUT file (Ctrl+E)");
    sbnCreateLUT_->setEnabled(false);
    sbnCreateLUT_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    sbnAddToLib_ = makeButton("sbnAddToLib", ButtonIcon(":/icons/add.png"), QString(),
                              "Add reference images to the library");
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

QWidget* TfrmMain::CreateRightPanel() {
    auto* panel = new QWidget(this);
    panel->setObjectName("pnlRight");
    panel->setFixedWidth(230);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(4, 4, 4, 4);
    column->addWidget(CreateGeneralGroup());
    column->addWidget(CreateSaturationGroup());
    column->addStretch(1);
    return panel;
}

QSlider* TfrmMain::AddTrackBar(QGridLayout* grid, int row, const QString& caption, const char* name,
                               const char* labelName, QLabel** label) {
    QWidget* parent = grid->parentWidget();
    auto* captionLabel = new QLabel(caption, parent);
    captionLabel->setObjectName(QString::fromLatin1(labelName) + "Caption");
    auto* bar = new QSlider(Qt::Horizontal, parent);
    bar->setObjectName(name);
    bar->setRange(kTrackBarMin, kTrackBarMax);
    bar->setValue(kTrackBarDefault);
    bar->setTickPosition(QSlider::NoTicks);
    bar->setPageStep(10);
    *label = new QLabel(QString::number(kTrackBarDefault) + "%", parent);
    (*label)->setObjectName(labelName);
    (*label)->setMinimumWidth(34);
    (*label)->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(captionLabel, row, 0);
    grid->addWidget(bar, row, 1);
    grid->addWidget(*label, row, 2);
    return bar;
}

QWidget* TfrmMain::CreateGeneralGroup() {
    auto* group = new QGroupBox("General", this);
    group->setObjectName("grpGeneral");
    auto* grid = new QGridLayout(group);
    grid->setColumnStretch(1, 1);
    tbrColorGain_ = AddTrackBar(grid, 0, "Color Gain", "tbrColorGain", "lblColorGain", &lblColorGain_);
    tbrStrength_ = AddTrackBar(grid, 1, "Look Strength", "tbrStrength", "lblStrength", &lblStrength_);
    tbrStrength_->setRange(kStrengthMin, kStrengthMax);
    tbrStrength_->setValue(kStrengthDefault);
    lblStrength_->setText(QString::number(kStrengthDefault) + "%");
    cbxLevels_ = new QCheckBox("Advanced Color Analysis", group);
    cbxLevels_->setObjectName("cbxLevels");
    cbxLevels_->setChecked(true);
    cbxLevels_->setToolTip("Calculate the color statistics for Low, Middle and High ranges separately");
    cbxLevels_->setToolTipDuration(kHintTime);
    CheckBox1_ = new QCheckBox("Compress Saturation", group);
    CheckBox1_->setObjectName("CheckBox1");
    CheckBox1_->setToolTip("Compress the saturation of incoming colors to prevent the oversaturation");
    CheckBox1_->setToolTipDuration(kHintTime);
    cbxMatchPreview_ = new QCheckBox("Match Preview Colours", group);
    cbxMatchPreview_->setObjectName("cbxMatchPreview");
    cbxMatchPreview_->setToolTip("Take the preview's own color cast and spread out before the reference's go in");
    cbxMatchPreview_->setToolTipDuration(kHintTime);
    sbnGeneralDefaults_ = new QPushButton("Defaults", group);
    sbnGeneralDefaults_->setObjectName("sbnGeneralDefaults");
    cbxFootage_ = new QComboBox(group);
    cbxFootage_->setObjectName("cbxFootage");
    footage_ = std::make_unique<TFootageChoice>(cbxFootage_);
    grid->addWidget(cbxLevels_, 2, 0, 1, 3);
    grid->addWidget(CheckBox1_, 3, 0, 1, 3);
    grid->addWidget(cbxMatchPreview_, 4, 0, 1, 3);
    grid->addWidget(new QLabel("Footage", group), 5, 0);
    grid->addWidget(cbxFootage_, 5, 1, 1, 2);
    auto* displayProfile = new QComboBox(group);
    displayProfile->setObjectName("cbxDisplayProfile");
    displayProfile_ = std::make_unique<TDisplayProfileChoice>(displayProfile);
    grid->addWidget(new QLabel("Display profile", group), 6, 0);
    grid->addWidget(displayProfile, 6, 1, 1, 2);
    // The combos' long entries would take the captions' room in the fixed
    // panel: they take what the captions leave and show their entry cut.
    for (QComboBox* combo : {cbxFootage_, displayProfile}) {
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        combo->setMinimumContentsLength(6);
    }
    grid->addWidget(sbnGeneralDefaults_, 7, 0, 1, 3, Qt::AlignRight);
    return group;
}

QWidget* TfrmMain::CreateSaturationGroup() {
    auto* group = new QGroupBox("Saturation", this);
    group->setObjectName("grpSaturation");
    auto* grid = new QGridLayout(group);
    grid->setColumnStretch(1, 1);
    struct TRow {
        const char* Caption;
        const char* Bar;
        const char* Label;
    };
    static const TRow rows[] = {
        {"Overall", "tbrSaturation", "lblSatOverall"}, {"Yellow Tones", "tbrYellow", "lblSatYellow"},
        {"Orange Tones", "tbrOrange", "lblSatOrange"}, {"Red Tones", "tbrRed", "lblSatRed"},
        {"Violet Tones", "tbrViolet", "lblSatViolet"}, {"Blue Tones", "tbrBlue", "lblSatBlue"},
        {"Green Tones", "tbrGreen", "lblSatGreen"},    {"Low Tones", "tbrLow", "lblSatLow"},
        {"Middle Tones", "tbrMiddle", "lblSatMid"},    {"Hi Tones", "tbrHi", "lblSatHi"},
    };
    int r = 0;
    for (const TRow& row : rows) {
        QLabel* label = nullptr;
        saturationBars_.push_back(AddTrackBar(grid, r++, row.Caption, row.Bar, row.Label, &label));
        saturationLabels_.push_back(label);
    }
    sbnDefaults_ = new QPushButton("Defaults", group);
    sbnDefaults_->setObjectName("sbnDefaults");
    grid->addWidget(sbnDefaults_, r, 0, 1, 3, Qt::AlignRight);
    return group;
}

void TfrmMain::CreateMenus() {
    pmnRefs_ = new QMenu(this);
    pmnRefs_->setObjectName("pmnRefs");
    miAddImagesToLibrary_ = pmnRefs_->addAction("Add Images To Library...");
    miAddImagesToLibrary_->setObjectName("miAddImagesToLibrary");
    miRenameImage_ = pmnRefs_->addAction("Rename Image");
    miRenameImage_->setObjectName("miRenameImage");
    miRenameImage_->setShortcut(QKeySequence(Qt::Key_F2));
    miDeleteImage_ = pmnRefs_->addAction("Delete Image");
    miDeleteImage_->setObjectName("miDeleteImage");
    miDeleteImage_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
    // The short-cuts work while the list has the keyboard focus.
    for (QAction* action : {miRenameImage_, miDeleteImage_}) {
        action->setShortcutContext(Qt::WidgetShortcut);
        lvwRefs_->addAction(action);
    }

    pmnPreview_ = new QMenu(this);
    pmnPreview_->setObjectName("pmnPreview");
    miOpenPreviewImage_ = pmnPreview_->addAction("Open Preview Image...");
    miOpenPreviewImage_->setObjectName("miOpenPreviewImage");
    miPaste_ = pmnPreview_->addAction("Paste Preview Image from Clipboard");
    miPaste_->setObjectName("miPaste");
    miSaveGradedImage_ = pmnPreview_->addAction("Save Graded Image...");
    miSaveGradedImage_->setObjectName("miSaveGradedImage");
    miPreviewLutFile_ = pmnPreview_->addAction("Preview LUT File...");
    miPreviewLutFile_->setObjectName("miPreviewLutFile");
    pmnPreview_->addAction("Create Look from Graded Pair…", this, [this] { RunHandler([this] { miLearnPairClick(); }); })
        ->setObjectName("miLearnPair");
    // The preview's items work from anywhere in the window by their short-cuts.
    const struct {
        QAction* Action;
        QKeySequence Keys;
    } shortcuts[] = {{miOpenPreviewImage_, QKeySequence(Qt::CTRL | Qt::Key_O)},
                     {miPaste_, QKeySequence(Qt::CTRL | Qt::Key_V)},
                     {miSaveGradedImage_, QKeySequence(Qt::CTRL | Qt::Key_S)},
                     {miPreviewLutFile_, QKeySequence(Qt::CTRL | Qt::Key_L)}};
    for (const auto& item : shortcuts) {
        item.Action->setShortcut(item.Keys);
        item.Action->setToolTip(item.Action->text().remove("...") + " (" +
                                item.Keys.toString(QKeySequence::NativeText) + ")");
        addAction(item.Action);
    }
    pmnPreview_->setToolTipsVisible(true);
}

void TfrmMain::ConnectHandlers() {
    auto guarded = [this](void (TfrmMain::*handler)()) {
        return [this, handler] { RunHandler([this, handler] { (this->*handler)(); }); };
    };
    connect(sbnOpenPreviewImage_, &QToolButton::clicked, this, guarded(&TfrmMain::sbnOpenPreviewImageClick));
    connect(sbnCreateLUT_, &QToolButton::clicked, this, guarded(&TfrmMain::sbnCreateLUTClick));
    connect(sbnAddToLib_, &QToolButton::clicked, this, guarded(&TfrmMain::sbnAddToLibClick));
    connect(sbnShowOriginal_, &QToolButton::clicked, this, guarded(&TfrmMain::sbnShowOriginalClick));
    connect(sbnAbout_, &QToolButton::clicked, this, guarded(&TfrmMain::sbnAboutClick));
    connect(sbnDefaults_, &QPushButton::clicked, this, guarded(&TfrmMain::sbnDefaultsClick));
    connect(sbnGeneralDefaults_, &QPushButton::clicked, this, guarded(&TfrmMain::sbnGeneralDefaultsClick));
    connect(tbrColorGain_, &QSlider::valueChanged, this, guarded(&TfrmMain::cbxLevelsClick));
    for (QSlider* bar : saturationBars_)
        connect(bar, &QSlider::valueChanged, this, guarded(&TfrmMain::cbxLevelsClick));
    connect(cbxLevels_, &QCheckBox::toggled, this, guarded(&TfrmMain::cbxLevelsClick));
    connect(CheckBox1_, &QCheckBox::toggled, this, guarded(&TfrmMain::cbxLevelsClick));
    connect(cbxFootage_, &QComboBox::currentIndexChanged, this, guarded(&TfrmMain::cbxFootageChange));
    connect(findChild<QComboBox*>("cbxDisplayProfile"), &QComboBox::currentIndexChanged, this,
            guarded(&TfrmMain::cbxDisplayProfileChange));
    connect(tbrStrength_, &QSlider::valueChanged, this, guarded(&TfrmMain::cbxLevelsClick));
    connect(cbxMatchPreview_, &QCheckBox::toggled, this, guarded(&TfrmMain::cbxLevelsClick));
    connect(sbnSplitView_, &QToolButton::toggled, this, guarded(&TfrmMain::sbnSplitViewClick));
    connect(sbnShowOriginal_, &QToolButton::toggled, this, guarded(&TfrmMain::sbnSplitViewClick));
    connect(Viewer_, &TImageViewer::SplitPositionChanged, this,
            [this](double share) {
                UserSettings().setValue(kSplitPositionKey, share);
                Scopes_->Refresh();
            });
    connect(miPreviewLutFile_, &QAction::triggered, this, guarded(&TfrmMain::miPreviewLutFileClick));
    // A closed menu leaves paste to its short-cut, which checks the clipboard itself.
    connect(pmnPreview_, &QMenu::aboutToHide, this, [this] { miPaste_->setEnabled(true); });
    connect(FrameBar_, &TFrameBar::FrameShown, this, [this](const TImage& frame) { ShowClipFrame(frame); });
    new TFileDropTarget(Viewer_, [this](const QStringList& files) {
        RunHandler([this, files] { DropOnPreview(files); });
    });
    new TFileDropTarget(lvwRefs_->viewport(), [this](const QStringList& files) {
        RunHandler([this, files] { DropOnLibrary(files); });
    });

    connect(miAddImagesToLibrary_, &QAction::triggered, this, guarded(&TfrmMain::sbnAddToLibClick));
    connect(miRenameImage_, &QAction::triggered, this, guarded(&TfrmMain::miRenameImageClick));
    connect(miDeleteImage_, &QAction::triggered, this, guarded(&TfrmMain::miDeleteImageClick));
    connect(miOpenPreviewImage_, &QAction::triggered, this, guarded(&TfrmMain::sbnOpenPreviewImageClick));
    connect(miPaste_, &QAction::triggered, this, guarded(&TfrmMain::miPasteClick));
    connect(miSaveGradedImage_, &QAction::triggered, this, guarded(&TfrmMain::miSaveGradedImageClick));
    connect(pmnPreview_, &QMenu::aboutToShow, this, guarded(&TfrmMain::pmnPreviewPopup));

    connect(lvwRefs_, &QListWidget::itemSelectionChanged, this, guarded(&TfrmMain::lvwRefsSelectItem));
    connect(lvwRefs_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { pmnRefs_->popup(lvwRefs_->viewport()->mapToGlobal(at)); });
    connect(Viewer_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { pmnPreview_->popup(Viewer_->mapToGlobal(at)); });
    // The viewer re-fits its picture whenever the window or the splitter
    // changes its size.
    connect(Viewer_, &TImageViewer::LayoutChanged, this, guarded(&TfrmMain::ViewerLayoutChanged));
    connect(Viewer_, &TImageViewer::LayoutChanged, Scopes_, &TScopesPanel::Refresh);
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

void TfrmMain::ViewerLayoutChanged() {
    // The grade comes back only where the viewer showed it before: a
    // reference is chosen and the ungraded preview was not asked for.
    if (Viewer_->HasImage() && ((LookBuilt_ && !choice_->Empty()) || previewLut_) && !sbnShowOriginal_->isChecked())
        GradeDisplay();
}

void TfrmMain::GradeDisplay() {
    Viewer_->RestoreDisplay();
    GradePicture(ActiveLut(), Viewer_->Display());
    Viewer_->update();
    Scopes_->Refresh();
}

TScopeSource TfrmMain::ScopeSource() const {
    TScopeSource source;
    // Read only: the viewer's painted copy stays as it is.
    const TImageViewer& viewer = *Viewer_;
    source.Picture.Left = &viewer.Display();
    // Split view: the ungraded side left of the divider, the graded one right.
    if (viewer.SplitView() && !sbnShowOriginal_->isChecked() && !viewer.Scaled().Empty()) {
        source.Picture.Left = &viewer.Scaled();
        source.Picture.Right = &viewer.Display();
        source.Picture.Divider = static_cast<int>(viewer.SplitPosition() * viewer.Display().Width() + 0.5);
    }
    if (LookBuilt_ && !choice_->Empty()) {
        source.Reference = &ReferenceBitmap_;
        source.ReferenceStats = &lastSettings_.Stats;
    }
    return source;
}

QListWidgetItem* TfrmMain::HighlightedItem() const {
    const QList<QListWidgetItem*> selected = lvwRefs_->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void TfrmMain::ClearSelection() {
    choice_->Clear();
    choice_->Show();
}

// ---- reference library --------------------------------------------------

void TfrmMain::ScanLibrary() {
    // Events run between files; a scan asked for meanwhile restarts this one.
    if (scanning_) {
        rescanWanted_ = true;
        return;
    }
    TFlagGuard scanning(scanning_);
    QStringList failures;
    do {
        rescanWanted_ = false;
        failures.clear();
        {
            // Emptying the list for the scan is no choice of the user's.
            const QSignalBlocker quiet(lvwRefs_);
            lvwRefs_->clear();
        }
        imlRefs_.clear();
        TUpdatesSuspended suspended(lvwRefs_);
        std::vector<std::string> names = library_.Files();
        // Name order, whatever order the file system enumerates in.
        std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
            const QString captionA = QString::fromStdString(TReferenceLibrary::CaptionOf(a));
            const QString captionB = QString::fromStdString(TReferenceLibrary::CaptionOf(b));
            if (NaturalLess(captionA, captionB)) return true;
            if (NaturalLess(captionB, captionA)) return false;
            return NaturalLess(QString::fromStdString(a), QString::fromStdString(b));
        });
        for (const std::string& name : names) {
            QCoreApplication::processEvents();
            if (rescanWanted_) break;
            int index = -1;
            try {
                index = MakeThumbnail(name);
            } catch (const std::exception& error) {
                // An unreadable file is left out; the scan goes on.
                failures << QString::fromStdString(name) + ": " + QString::fromStdString(error.what());
                continue;
            }
            auto* item = new QListWidgetItem(QString::fromStdString(TReferenceLibrary::CaptionOf(name)));
            item->setIcon(QIcon(QPixmap::fromImage(QImageFromImage(displayProfile_->Transform().Apply(imlRefs_[index])))));
            item->setData(kFileNameRole, QString::fromStdString(name));
            item->setData(kImageIndexRole, index);
            item->setFlags(item->flags() | Qt::ItemIsEditable);
            lvwRefs_->addItem(item);
        }
    } while (rescanWanted_);
    // The chosen reference stays chosen when it is still there, and its look
    // is built from the file as it is now; gone, nothing is chosen.
    if (!choice_->Empty()) {
        if (!choice_->Item()) choice_->Clear();
        choice_->Show();
        RunHandler([this] { Regrade(); });
    }
    if (!failures.isEmpty())
        throw EError(ToStd("These files of the library could not be loaded:\n" + failures.join("\n")));
}

int TfrmMain::MakeThumbnail(const std::string& fileName) {
    imlRefs_.push_back(library_.LoadCell(fileName));
    return static_cast<int>(imlRefs_.size()) - 1;
}

void TfrmMain::sbnAddToLibClick() {
    const QStringList files = Dialogs().OpenFiles(this, "Add Images To Library", kLibraryFilter);
    if (files.isEmpty()) return;
    AddToLibrary(files);
}

void TfrmMain::AddToLibrary(const QStringList& files) {
    try {
        TBusyCursor busy;
        bool stop = false;
        for (const QString& file : files) {
            AddOneToLibrary(file, stop);
            if (stop) break;
        }
    } catch (...) {
        // What was written before the failure is shown at once.
        RunHandler([this] { ScanLibrary(); });
        throw;
    }
    ScanLibrary();
}

void TfrmMain::AddOneToLibrary(const QString& file, bool& stop) {
    const std::string name = library_.NameForAdd(ToStd(file));
    if (library_.Contains(name)) {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
        const auto answer = Dialogs().Ask(
            this,
            "A library image named \"" + QString::fromStdString(TReferenceLibrary::CaptionOf(name)) +
                "\" already exists. Replace it?",
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QApplication::restoreOverrideCursor();
        if (answer == QMessageBox::No) return;
        if (answer != QMessageBox::Yes) {
            stop = true;
            return;
        }
        library_.Add(ToStd(file), true);
        return;
    }
    // Not asked, so not allowed to replace: a file of that name that comes
    // into being meanwhile is kept.
    library_.Add(ToStd(file), false);
}

void TfrmMain::miRenameImageClick() {
    if (QListWidgetItem* item = choice_->Item()) lvwRefs_->editItem(item);
}

void TfrmMain::lvwRefsEdited(QListWidgetItem* item, const QString& caption) {
    const std::string oldName = ToStd(item->data(kFileNameRole).toString());
    if (caption == item->text()) return;
    const std::string newName = library_.Rename(oldName, ToStd(caption));
    item->setData(kFileNameRole, QString::fromStdString(newName));
    item->setText(caption);
    choice_->Renamed(QString::fromStdString(oldName), QString::fromStdString(newName));
    // The new caption takes its place in name order once the editor has closed.
    QMetaObject::invokeMethod(this, [this] { SortLibraryList(); }, Qt::QueuedConnection);
}

void TfrmMain::SortLibraryList() {
    {
        // Taking the items out and back in is no new choice of the user's,
        // though the list moves its highlight to a neighbour of each item
        // taken out.
        const QSignalBlocker quiet(lvwRefs_);
        std::vector<QListWidgetItem*> items;
        while (lvwRefs_->count() > 0) items.push_back(lvwRefs_->takeItem(0));
        std::stable_sort(items.begin(), items.end(), [](const QListWidgetItem* a, const QListWidgetItem* b) {
            return NaturalLess(a->text(), b->text());
        });
        for (QListWidgetItem* item : items) lvwRefs_->addItem(item);
    }
    choice_->Show();
}

void TfrmMain::lvwRefsSelectItem() {
    QListWidgetItem* item = HighlightedItem();
    if (!item) {
        if (choice_->Empty()) return;
        choice_->Clear();
    } else {
        choice_->Choose(choice_->FileOf(item));
        EndLutPreview();  // a reference's look takes over from a previewed LUT file
    }
    Regrade();
}

void TfrmMain::miDeleteImageClick() {
    QListWidgetItem* item = choice_->Item();
    if (!item || lvwRefs_->indexWidget(lvwRefs_->indexFromItem(item))) return;  // caption being edited
    const QString text = "Are you sure you want to remove the \"" + item->text() + "\" image from the library?";
    if (Dialogs().Ask(this, text, QMessageBox::Yes | QMessageBox::Cancel) != QMessageBox::Yes) return;
    library_.Remove(ToStd(item->data(kFileNameRole).toString()));
    // The list may move the highlight to a neighbour, which is then chosen.
    delete item;
    if (!choice_->Empty() && !choice_->Item()) {
        choice_->Clear();
        Regrade();
    }
}

// ---- preview and grading ------------------------------------------------

void TfrmMain::sbnOpenPreviewImageClick() {
    const QString file = Dialogs().OpenPicture(this, "Open Preview Image", kPictureFilter);
    if (file.isEmpty()) return;
    OpenPreviewFile(file);
}

void TfrmMain::OpenPreviewFile(const QString& file) {
    TBusyCursor busy;
    if (IsClipName(ToStd(file))) {
        const TImage first = FrameBar_->Open(ToStd(file));
        ClearSelection();
        PreviewFileName_ = ToStd(file);
        ShowClipFrame(first);
        return;
    }
    // The window changes only once the new picture has loaded.
    TImage loaded;
    LoadImageFile(ToStd(file), loaded);
    TImage fitted = FitImage(loaded, kPreviewBoxWidth, kPreviewBoxHeight);
    loaded = TImage();
    ClearSelection();
    PreviewFileName_ = ToStd(file);
    PreviewBitmap_ = std::move(fitted);
    FrameBar_->Close();
    footage_->PreviewChanged(PreviewBitmap_, PreviewFileName_);
    Viewer_->SetImage(footage_->Shown(PreviewBitmap_));
    PreviewChanged();
}

void TfrmMain::ShowClipFrame(const TImage& frame) {
    PreviewBitmap_ = FitImage(frame, kPreviewBoxWidth, kPreviewBoxHeight);
    footage_->PreviewChanged(PreviewBitmap_);
    Viewer_->SetImage(footage_->Shown(PreviewBitmap_));
    frameStats_.reset();
    const bool graded = (LookBuilt_ && !choice_->Empty()) || previewLut_;
    if (!choice_->Empty() && cbxMatchPreview_->isChecked())
        Regrade();
    else if (graded && !sbnShowOriginal_->isChecked())
        GradeDisplay();
    else
        Scopes_->Refresh();
}

// A new preview: its statistics are measured afresh when matching asks for
// them, and a previewed LUT file grades it at once.
void TfrmMain::PreviewChanged() {
    frameStats_.reset();
    if (previewLut_) {
        GradeDisplay();
        sbnShowOriginal_->setChecked(false);
    }
    Scopes_->Refresh();
}

void TfrmMain::miPasteClick() {
    const QImage picture = QGuiApplication::clipboard()->image();
    if (picture.isNull()) return;
    Viewer_->HideSelection();
    ClearSelection();
    PreviewFileName_.clear();
    TBusyCursor busy;
    PreviewBitmap_ = ImageFromQImage(picture);
    footage_->PreviewChanged(PreviewBitmap_);
    Viewer_->SetImage(footage_->Shown(PreviewBitmap_));
    PreviewChanged();
}

void TfrmMain::pmnPreviewPopup() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    miPaste_->setEnabled(data && data->hasImage());
}

void TfrmMain::cbxLevelsClick() {
    lblColorGain_->setText(QString::number(tbrColorGain_->value()) + "%");
    lblStrength_->setText(QString::number(tbrStrength_->value()) + "%");
    for (std::size_t i = 0; i < saturationBars_.size(); ++i)
        saturationLabels_[i]->setText(QString::number(saturationBars_[i]->value()) + "%");
    Regrade();
}

void TfrmMain::Regrade() {
    if (DefaultsGuard_) return;
    if (Viewer_->Display().Empty()) return;
    if (choice_->Empty()) {
        if (previewLut_) {
            GradeDisplay();
            sbnShowOriginal_->setChecked(false);
        } else {
            Viewer_->SetImage(footage_->Shown(PreviewBitmap_));
        }
        Scopes_->Refresh();
        return;
    }
    BuildLook();
    GradeDisplay();
    sbnShowOriginal_->setChecked(false);
}

void TfrmMain::BuildLook() {
    QListWidgetItem* item = choice_->Item();
    if (!item) return;
    const int index = item->data(kImageIndexRole).toInt();
    if (index < 0 || index >= static_cast<int>(imlRefs_.size())) return;
    ReferenceBitmap_ = imlRefs_[index].Clone();
    TLookSettings settings = LookFromReference(ReferenceBitmap_, ControlPositions());
    if (cbxMatchPreview_->isChecked() && !PreviewBitmap_.Empty()) MatchToPreview(settings);
    BuildLookLut(settings, *Lut_);
    lastSettings_ = settings;
    ++buildCount_;
    LookBuilt_ = true;
    sbnCreateLUT_->setEnabled(true);
    sbnShowOriginal_->setEnabled(true);
}

TLookPositions TfrmMain::ControlPositions() const {
    TLookPositions positions;
    positions.Gain = tbrColorGain_->value();
    int* factors[] = {&positions.Saturation, &positions.Yellow, &positions.Orange, &positions.Red,
                      &positions.Violet,     &positions.Blue,   &positions.Green,  &positions.Low,
                      &positions.Middle,     &positions.High};
    for (std::size_t i = 0; i < saturationBars_.size(); ++i) *factors[i] = saturationBars_[i]->value();
    positions.AdvancedAnalysis = cbxLevels_->isChecked();
    positions.CompressSaturation = CheckBox1_->isChecked();
    positions.Strength = tbrStrength_->value();
    return positions;
}

void TfrmMain::sbnDefaultsClick() {
    {
        // Each moved bar updates its label; the regrade waits for the last.
        TFlagGuard guard(DefaultsGuard_);
        for (QSlider* bar : saturationBars_) bar->setValue(kTrackBarDefault);
    }
    Regrade();
}

void TfrmMain::sbnGeneralDefaultsClick() {
    tbrColorGain_->setValue(kTrackBarDefault);
    tbrStrength_->setValue(kStrengthDefault);
    cbxLevels_->setChecked(true);
}

void TfrmMain::sbnShowOriginalClick() {
    if (!Viewer_->HasImage()) return;
    if (sbnShowOriginal_->isChecked()) {
        Viewer_->RestoreDisplay();
        Viewer_->update();
        Scopes_->Refresh();
    } else {
        GradeDisplay();
    }
}

void TfrmMain::miSaveGradedImageClick() {
    if (choice_->Empty() && !previewLut_) return;
    if (PreviewBitmap_.Empty()) throw EError(ToStd(kPromptNoPreview));
    const QString file = Dialogs().SaveFile(this, "Save Graded Image", QString(),
                                            kSavePreviewFilter + OwnFormatFilter(PreviewFileName_), "jpeg");
    if (file.isEmpty()) return;
    TBusyCursor busy;
    if (SaveGradedAtOwnDepth(ActiveLut(), PreviewFileName_, ToStd(file), footage_->Conversion())) return;
    TImage image;
    TColourProfile profile;  // a tagged preview is written back into its own space
    if (FrameBar_->HasClip())
        image = FrameBar_->CurrentPicture();
    else if (!PreviewFileName_.empty())
        LoadImageFile(PreviewFileName_, image, profile);
    else
        image = PreviewBitmap_.Clone();
    GradePicture(ActiveLut(), image, footage_->Conversion());
    if (profile.IsSrgb())
        SaveJpegFile(ToStd(file), image, 100);
    else
        SaveImageFile(ToStd(file), image, profile);
}

void TfrmMain::sbnCreateLUTClick() { ShowSaveLutDialog(lastSettings_, this, footage_->Conversion()); }

void TfrmMain::cbxDisplayProfileChange() {
    displayProfile_->Choose(this);
    ShowDisplayProfile();
}

// The viewer and the library's thumbnails drawn through the display profile.
void TfrmMain::ShowDisplayProfile() {
    Viewer_->SetDisplayTransform(&displayProfile_->Transform());
    for (int row = 0; row < lvwRefs_->count(); ++row) {
        QListWidgetItem* item = lvwRefs_->item(row);
        const int index = item->data(kImageIndexRole).toInt();
        if (index >= 0 && index < static_cast<int>(imlRefs_.size()))
            item->setIcon(QIcon(QPixmap::fromImage(QImageFromImage(displayProfile_->Transform().Apply(imlRefs_[index])))));
    }
}

// A new footage space: the preview is converted once here, then regraded.
void TfrmMain::cbxFootageChange() {
    TBusyCursor busy;
    footage_->Choose(PreviewBitmap_);
    frameStats_.reset();  // matching measures the converted frame
    if (PreviewBitmap_.Empty()) return;
    Viewer_->SetImage(footage_->Shown(PreviewBitmap_));
    Regrade();
}

void TfrmMain::sbnAboutClick() { ShowAboutBox(ProductInfo(), this); }

// ---- split view, LUT preview, dropped files -----------------------------

// Show Original shows the whole ungraded picture, so the divider waits
// while it is down.
void TfrmMain::sbnSplitViewClick() {
    Viewer_->SetSplitView(sbnSplitView_->isChecked() && !sbnShowOriginal_->isChecked());
    Scopes_->Refresh();
}

const TLUT& TfrmMain::ActiveLut() const { return previewLut_ ? *previewLut_ : *Lut_; }

void TfrmMain::MatchToPreview(TLookSettings& settings) {
    if (!frameStats_) frameStats_ = FrameStatistics(footage_->Shown(PreviewBitmap_));
    MatchLookToFrame(settings, *frameStats_, PreviewFileName_);
}

void TfrmMain::miPreviewLutFileClick() {
    const QString file = Dialogs().OpenPicture(this, "Preview LUT File", kLutFileFilter);
    if (!file.isEmpty()) PreviewLutFile(file);
}

void TfrmMain::PreviewLutFile(const QString& file) {
    TBusyCursor busy;
    std::unique_ptr<TLUT> lut = ReadLutFile(ToStd(file));
    CheckUsableTables(*lut);
    PreviewLut(std::move(lut), QFileInfo(file).fileName());
}

void TfrmMain::miLearnPairClick() {
    TfrmLearnPair dialog(this);
    if (dialog.exec() == QDialog::Accepted && dialog.LearnedLut()) PreviewLut(dialog.TakeLearnedLut(), "learned look");
}

void TfrmMain::PreviewLut(std::unique_ptr<TLUT> lut, const QString& name) {
    previewLut_ = std::move(lut);
    previewLutName_ = name;
    ClearSelection();
    ShowLutPreviewTitle();
    sbnShowOriginal_->setEnabled(true);
    if (!Viewer_->HasImage()) return;
    GradeDisplay();
    sbnShowOriginal_->setChecked(false);
}

void TfrmMain::EndLutPreview() {
    if (!previewLut_) return;
    previewLut_.reset();
    previewLutName_.clear();
    ShowLutPreviewTitle();
}

void TfrmMain::ShowLutPreviewTitle() {
    const QString product = ProductInfo().ProductName;
    setWindowTitle(previewLut_ ? product + " - LUT preview: " + previewLutName_ : product);
}

void TfrmMain::DropOnPreview(const QStringList& files) {
    const TDroppedFiles dropped = SortDroppedFiles(files);
    if (!dropped.Pictures.isEmpty()) OpenPreviewFile(dropped.Pictures.first());
    if (!dropped.Luts.isEmpty()) PreviewLutFile(dropped.Luts.first());
    if (!dropped.Others.isEmpty())
        throw EError(ToStd(RefusedFilesMessage(
            "Only pictures and LUT files can be dropped on the preview. These files were not used:",
            dropped.Others)));
}

void TfrmMain::DropOnLibrary(const QStringList& files) {
    const TDroppedFiles dropped = SortDroppedFiles(files);
    if (!dropped.Pictures.isEmpty()) AddToLibrary(dropped.Pictures);
    const QStringList refused = dropped.Luts + dropped.Others;
    if (!refused.isEmpty())
        throw EError(ToStd(RefusedFilesMessage(
            "Only pictures can be added to the library. These files were not added:", refused)));
}
