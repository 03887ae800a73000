#include "app/ScopesPanel.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/ScopeView.h"
#include "engine/picture/Image.h"
#include "grading/UserSettings.h"
#include "scopeview/ScopeBox.h"

namespace {

constexpr int kScopesHintTime = 5000;
// The entries of the scope list, in list order.
constexpr TScopeKind kKinds[] = {TScopeKind::All, TScopeKind::Waveform, TScopeKind::Vectorscope, TScopeKind::Histogram};

// The toggle's icon: a trace over a dark screen.
QIcon ScopesIcon() {
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(30, 30, 30));
    painter.setPen(QColor(90, 90, 90));
    painter.drawRoundedRect(QRectF(1.5, 3.5, 21, 17), 2, 2);
    painter.setPen(QPen(kScopeTraceColour, 1.6));
    const QPointF trace[] = {{4, 16}, {8, 9}, {11, 13}, {15, 7}, {20, 11}};
    painter.drawPolyline(trace, 5);
    return QIcon(pixmap);
}

bool IsWhite(const std::uint8_t* p) { return p[0] == 255 && p[1] == 255 && p[2] == 255; }

bool WhiteRow(const TImage& image, int y, int left, int right) {
    for (int x = left; x < right; ++x)
        if (!IsWhite(image.Row(y) + 3 * x)) return false;
    return true;
}

bool WhiteColumn(const TImage& image, int x, int top, int bottom) {
    for (int y = top; y < bottom; ++y)
        if (!IsWhite(image.Row(y) + 3 * x)) return false;
    return true;
}

// What the reference's marks on the vectorscope mean.
QString LegendText() {
    const auto swatch = [](const QColor& colour, const char* sign) {
        return QStringLiteral("<span style=\"color:%1\">%2</span>").arg(colour.name(), QString::fromUtf8(sign));
    };
    return swatch(kScopeReferenceColour, "\u25a0") + " reference colours &nbsp; " +
           swatch(kScopeReferenceColour, "\u25cb") +
           " its shadows, midtones, highlights: dot (dark, grey, light) at the mean, ellipse the spread; "
           "dashed where the range has no pixels &nbsp; " +
           swatch(kScopeSkinColour, "\u2015") + " skin tone &nbsp; boxes: 75 % colour bars";
}

}  // namespace

TImage PictureOfCell(const TImage& cell) {
    int top = 0, bottom = cell.Height(), left = 0, right = cell.Width();
    while (top < bottom && WhiteRow(cell, top, left, right)) ++top;
    while (bottom > top && WhiteRow(cell, bottom - 1, left, right)) --bottom;
    while (left < right && WhiteColumn(cell, left, top, bottom)) ++left;
    while (right > left && WhiteColumn(cell, right - 1, top, bottom)) --right;
    if (top >= bottom || left >= right) return cell.Clone();
    TImage picture(right - left, bottom - top);
    for (int y = top; y < bottom; ++y) std::copy_n(cell.Row(y) + 3 * left, 3 * (right - left), picture.Row(y - top));
    return picture;
}

TScopesPanel::TScopesPanel(QMainWindow* window) : QDockWidget("Scopes", window) {
    setObjectName("dckScopes");
    setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    setMinimumWidth(kMinimumPanelWidth);
    setWidget(CreateControls());
    hide();

    QAction* toggle = toggleViewAction();
    toggle->setObjectName("actScopes");
    toggle->setIcon(ScopesIcon());
    toggle->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    toggle->setShortcutContext(Qt::WindowShortcut);
    toggle->setToolTip("Show or hide the scopes (Ctrl+K)");
    window->addAction(toggle);

    pending_ = new QTimer(this);
    pending_->setSingleShot(true);
    pending_->setInterval(0);
    connect(pending_, &QTimer::timeout, this, [this] {
        if (isVisible()) RefreshNow();
    });
    connect(toggle, &QAction::toggled, this, [this](bool shown) { FitWindow(shown && !isFloating()); });
    // Only the user's own showing and hiding is remembered, not the panel
    // going with the window.
    connect(toggle, &QAction::triggered, this, &TScopesPanel::SaveSettings);
    connect(this, &QDockWidget::topLevelChanged, this, [this](bool floating) { FitWindow(isVisible() && !floating); });
}

QWidget* TScopesPanel::CreateControls() {
    auto* body = new QWidget(this);
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(4, 4, 4, 4);
    auto* row = new QHBoxLayout;
    cbxScope_ = new QComboBox(body);
    cbxScope_->setObjectName("cbxScope");
    cbxScope_->addItems({"All", "Waveform", "Vectorscope", "Histogram"});
    cbxScope_->setToolTip("The scope to show, or all three");
    cbxScope_->setToolTipDuration(kScopesHintTime);
    cbxParade_ = new QCheckBox("RGB Parade", body);
    cbxParade_->setObjectName("cbxParade");
    cbxParade_->setToolTip("Show red, green and blue side by side instead of the luma waveform");
    cbxParade_->setToolTipDuration(kScopesHintTime);
    row->addWidget(cbxScope_, 1);
    row->addWidget(cbxParade_);
    column->addLayout(row);
    view_ = new TScopeView(body);
    view_->setObjectName("scpView");
    view_->setToolTip(
        "Waveform: luma per column from 0 to 100 % (code values on the right), dashed lines at 0.33 and 0.66.\n"
        "Vectorscope: the picture in green; the selected reference in orange, with a dot\n"
        "(dark, grey, light) and an ellipse for the mean and spread of each luma range;\n"
        "boxes mark the 75 % colour bars red, magenta, blue, cyan, green and yellow,\n"
        "rings 25 to 100 % of full chroma, the line the skin tone.\n"
        "Histogram: red, green, blue and luma over the code values.");
    view_->OnResize = [this] { Redraw(); };
    column->addWidget(view_, 1);
    legend_ = new QLabel(LegendText(), body);
    legend_->setObjectName("lblScopeLegend");
    legend_->setWordWrap(true);
    legend_->setTextFormat(Qt::RichText);
    legend_->hide();
    column->addWidget(legend_);

    connect(cbxScope_, &QComboBox::currentIndexChanged, this, [this] {
        // The parade is a form of the waveform.
        cbxParade_->setEnabled(Kind() == TScopeKind::All || Kind() == TScopeKind::Waveform);
        Redraw();
        SaveSettings();
    });
    connect(cbxParade_, &QCheckBox::toggled, this, [this] {
        Redraw();
        SaveSettings();
    });
    return body;
}

void TScopesPanel::Attach(std::function<TScopeSource()> source) {
    source_ = std::move(source);
    auto* window = qobject_cast<QMainWindow*>(parentWidget());
    if (window) window->addDockWidget(Qt::RightDockWidgetArea, this);
    const QSettings settings = UserSettings();
    restoring_ = true;
    const int kind = settings.value(kScopesKindKey, 0).toInt();
    cbxScope_->setCurrentIndex(kind >= 0 && kind < cbxScope_->count() ? kind : 0);
    cbxParade_->setChecked(settings.value(kScopesParadeKey, false).toBool());
    setVisible(settings.value(kScopesVisibleKey, false).toBool());
    restoring_ = false;
}

QToolButton* TScopesPanel::MakeToolButton(QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName("sbnScopes");
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIconSize(QSize(24, 24));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setDefaultAction(toggleViewAction());
    return button;
}

TScopeKind TScopesPanel::Kind() const { return kKinds[std::max(cbxScope_->currentIndex(), 0)]; }

void TScopesPanel::SetKind(TScopeKind kind) {
    cbxScope_->setCurrentIndex(
        static_cast<int>(std::find(std::begin(kKinds), std::end(kKinds), kind) - std::begin(kKinds)));
}

bool TScopesPanel::Parade() const { return cbxParade_->isChecked(); }

void TScopesPanel::Refresh() {
    stale_ = true;
    if (isVisible()) pending_->start();
}

void TScopesPanel::RefreshNow() {
    pending_->stop();
    stale_ = false;
    const TScopeSource source = source_ ? source_() : TScopeSource{};
    const TImage* picture = source.Picture.Left;
    const int rows = picture ? picture->Height() : 0;
    data_.Measure(source.Picture, (rows + kMeasuredRows - 1) / kMeasuredRows, kMeasuredColumns);
    hasReference_ = source.Reference != nullptr && source.ReferenceStats != nullptr && !source.Reference->Empty();
    if (hasReference_) MeasureReference(*source.Reference);
    ++measureCount_;
    Redraw();
}

void TScopesPanel::MeasureReference(const TImage& cell) {
    if (cell.SamePixels(measuredCell_)) return;
    // The cell's white padding is no colour of the reference.
    const TImage picture = PictureOfCell(cell);
    cloud_.Measure(picture);
    ComputeColorStats(picture, referenceStats_);
    measuredCell_ = cell.Clone();
}

void TScopesPanel::Redraw() {
    ShowLegend();
    const QSize box = view_->size();
    if (box.isEmpty()) return;
    const TScopeReference reference = hasReference_ ? TScopeReference{&cloud_, &referenceStats_} : TScopeReference{};
    drawing_ = DrawScopesInBox(data_, Kind(), box, Parade(), reference);
    view_->SetDrawing(drawing_);
}

void TScopesPanel::ShowLegend() {
    legend_->setVisible(hasReference_ && (Kind() == TScopeKind::All || Kind() == TScopeKind::Vectorscope));
}

void TScopesPanel::showEvent(QShowEvent* event) {
    QDockWidget::showEvent(event);
    if (stale_) pending_->start();
}

void TScopesPanel::closeEvent(QCloseEvent* event) {
    QDockWidget::closeEvent(event);
    QSettings settings = UserSettings();
    settings.setValue(kScopesVisibleKey, false);
}

void TScopesPanel::SaveSettings() const {
    if (restoring_) return;
    QSettings settings = UserSettings();
    settings.setValue(kScopesVisibleKey, toggleViewAction()->isChecked());
    settings.setValue(kScopesKindKey, cbxScope_->currentIndex());
    settings.setValue(kScopesParadeKey, cbxParade_->isChecked());
}

void TScopesPanel::FitWindow(bool shown) {
    auto* window = qobject_cast<QMainWindow*>(parentWidget());
    if (!window) return;
    const bool sized = (window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) == 0;
    if (shown && !grown_) {
        // The window grows by the panel, with its frame and the dock's
        // separator, only as far as the screen has room.
        grown_ = true;
        const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
        const int frame = window->frameGeometry().width() - window->width();
        const int panel = std::max<int>(kPanelWidth, minimumSizeHint().width()) +
                          window->style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent, nullptr, window);
        const int widest = screen ? screen->availableGeometry().width() - frame : window->width() + panel;
        baseMinimumWidth_ = window->minimumWidth();
        window->setMinimumWidth(std::max(std::min(baseMinimumWidth_ + panel, widest), baseMinimumWidth_));
        const int width = std::max(std::min(window->width() + panel, widest), window->width());
        grownBy_ = sized ? width - window->width() : 0;
        if (sized) window->resize(width, window->height());
    } else if (!shown && grown_) {
        grown_ = false;
        window->setMinimumWidth(baseMinimumWidth_);
        if (sized) window->resize(std::max(window->width() - grownBy_, baseMinimumWidth_), window->height());
        grownBy_ = 0;
    }
}
