#include "app/ImageViewer.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "engine/ImageResize.h"
#include "imageio/ColourProfile.h"

namespace {
// How far from the divider (in control pixels) a press takes hold of it.
constexpr int kDividerGrip = 4;
// The handle in the divider's middle.
constexpr int kHandleWidth = 7;
constexpr int kHandleHeight = 28;

QImage Wrap(const TImage& image) {
    return QImage(image.Row(0), image.Width(), image.Height(), static_cast<qsizetype>(image.Stride()),
                  QImage::Format_BGR888);
}
}  // namespace

TImageViewer::TImageViewer(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TImageViewer::SetImage(const TImage& image) {
    source_ = image.Clone();
    hasImage_ = true;
    UpdateLayout();
    update();
}

void TImageViewer::RestoreDisplay() {
    display_ = scaled_.Clone();
    shownDisplay_.Stale = true;
}

void TImageViewer::ShownStale() { shownDisplay_.Stale = shownScaled_.Stale = true; }

const TImage& TImageViewer::Shown(const TImage& picture, TShown& shown) const {
    if (displayTransform_ == nullptr || displayTransform_->Empty()) return picture;
    if (shown.Stale || shown.Transform != displayTransform_->Id()) {
        displayTransform_->Apply(picture, shown.Picture);
        shown.Stale = false;
        shown.Transform = displayTransform_->Id();
    }
    return shown.Picture;
}

void TImageViewer::HideSelection() {
    DrawSelection(true);
    SetSelectionVisible(false);
}

void TImageViewer::UpdateLayout() {
    const int w = width(), h = height();
    if (w == 0 || h == 0) return;
    int fw = 0, fh = 0;
    // With no picture there is nothing to fit (fitting an empty image is an error).
    if (!source_.Empty()) FitToBox(source_.Width(), source_.Height(), w, h, fw, fh);
    fw -= 2 * Margin;
    fh -= 2 * Margin;
    // A control too small for the margin shows nothing rather than a
    // negative-sized picture.
    if (fw < 2 || fh < 2 || source_.Empty()) {
        fw = std::max(fw, 0);
        fh = std::max(fh, 0);
        scaled_ = TImage();
    } else {
        ResizeImage(fw, fh, 5, scaled_, source_, 0);
    }
    scaleX_ = source_.Width() > 0 ? static_cast<double>(fw) / source_.Width() : 0.0;
    scaleY_ = source_.Height() > 0 ? static_cast<double>(fh) / source_.Height() : 0.0;
    offsetX_ = (w - fw) / 2;
    offsetY_ = (h - fh) / 2;
    display_ = scaled_.Clone();
    ShownStale();
}

int TImageViewer::ClientToImage(int position, int offset, double scale, int size) const {
    if (!hasImage_ || scale <= 0.0) return -1;
    const double c = std::nearbyint((position - offset) / scale);
    return c < size ? static_cast<int>(c) : -1;
}

int TImageViewer::ClientToImageX(int x) const { return ClientToImage(x, offsetX_, scaleX_, source_.Width()); }
int TImageViewer::ClientToImageY(int y) const { return ClientToImage(y, offsetY_, scaleY_, source_.Height()); }

void TImageViewer::SetDisplayTransform(const TDisplayTransform* transform) {
    displayTransform_ = transform;
    ShownStale();
    update();
}

void TImageViewer::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    if (hasImage_) {
        if (!display_.Empty()) painter.drawImage(offsetX_, offsetY_, Wrap(Shown(display_, shownDisplay_)));
        if (splitView_) PaintSplit(painter);
        if (selectionVisible_ && selectionDrawn_) {
            painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            painter.setPen(QPen(QColor(128, 128, 128), 1, Qt::DotLine));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(QRect(QPoint(selLeft_, selTop_), QPoint(selRight_, selBottom_)).normalized());
        }
        return;
    }
    const QString prompt = "Please open a preview image.";
    QFont font("Arial");
    font.setPointSize(14);
    painter.setFont(font);
    painter.setPen(QColor(128, 128, 128));
    const QFontMetrics metrics(font);
    const int x = (width() - metrics.horizontalAdvance(prompt)) / 2;
    const int y = (height() - metrics.height()) / 2;
    painter.drawText(x, y + metrics.ascent(), prompt);
}

void TImageViewer::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!hasImage_) return;
    UpdateLayout();
    HideSelection();
    emit LayoutChanged();
}

void TImageViewer::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton) return;
    const QPoint p = event->position().toPoint();
    if (OnDividerHandle(p)) {
        movingDivider_ = true;
        return;
    }
    DrawSelection(true);
    SetSelectionVisible(false);
    selLeft_ = p.x();
    selTop_ = p.y();
    if (ClientToImageX(p.x()) < 0) selLeft_ = offsetX_;
    if (ClientToImageY(p.y()) < 0) selTop_ = offsetY_;
    dragging_ = true;
}

void TImageViewer::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    if (movingDivider_) {
        MoveDivider(event->position().toPoint().x());
        return;
    }
    if (splitView_) {
        if (OnDividerHandle(event->position().toPoint()))
            setCursor(Qt::SplitHCursor);
        else
            unsetCursor();
    }
    if (event->buttons() != Qt::LeftButton || event->modifiers() != Qt::NoModifier || !dragging_) return;
    const QPoint p = event->position().toPoint();
    DrawSelection(true);
    selRight_ = p.x();
    selBottom_ = p.y();
    if (ClientToImageX(p.x()) < 0) selRight_ = offsetX_ + display_.Width() - 1;
    if (ClientToImageY(p.y()) < 0) selBottom_ = offsetY_ + display_.Height() - 1;
    DrawSelection(false);
    SetSelectionVisible(true);
}

void TImageViewer::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (movingDivider_) {
        if (event->button() != Qt::LeftButton) return;
        movingDivider_ = false;
        MoveDivider(event->position().toPoint().x());
        emit SplitPositionChanged(splitPosition_);
        return;
    }
    if (event->button() == Qt::LeftButton) dragging_ = false;
    if (selLeft_ == selRight_ || selTop_ == selBottom_) HideSelection();
}

// The rectangle is painted in XOR mode by paintEvent whenever it is drawn;
// here only the state changes and a repaint is asked for.
void TImageViewer::DrawSelection(bool erase) {
    if ((erase && !selectionDrawn_) || !selectionVisible_) return;
    selectionDrawn_ = !erase;
    update();
}

void TImageViewer::SetSelectionVisible(bool visible) {
    if (visible == selectionVisible_) return;
    selectionVisible_ = visible;
    if (OnSelectionChange) OnSelectionChange(this);
}

// ---- split view ---------------------------------------------------------

void TImageViewer::SetSplitView(bool on) {
    if (on == splitView_) return;
    splitView_ = on;
    movingDivider_ = false;
    // Moves without a button pressed show where the divider can be taken.
    setMouseTracking(on);
    if (!on) unsetCursor();
    update();
}

void TImageViewer::SetSplitPosition(double share) {
    if (!(share >= 0.0)) share = 0.0;  // negative or not a number
    if (share > 1.0) share = 1.0;
    splitPosition_ = share;
    update();
}

int TImageViewer::DividerX() const {
    return offsetX_ + static_cast<int>(std::lround(splitPosition_ * display_.Width()));
}

bool TImageViewer::OnDividerHandle(QPoint p) const {
    if (!splitView_ || display_.Empty()) return false;
    return std::abs(p.x() - DividerX()) <= kDividerGrip && p.y() >= offsetY_ && p.y() < offsetY_ + display_.Height();
}

void TImageViewer::MoveDivider(int x) {
    if (display_.Empty()) return;
    SetSplitPosition(static_cast<double>(x - offsetX_) / display_.Width());
}

// Left of the divider the ungraded copy covers the graded one; the divider
// is a one-pixel line with a small handle in its middle.
void TImageViewer::PaintSplit(QPainter& painter) {
    if (display_.Empty() || scaled_.Empty()) return;
    const int x = DividerX();
    const int h = display_.Height();
    const int left = std::min(x - offsetX_, scaled_.Width());
    if (left > 0)
        painter.drawImage(QPoint(offsetX_, offsetY_), Wrap(Shown(scaled_, shownScaled_)), QRect(0, 0, left, h));
    painter.fillRect(QRect(x, offsetY_, 1, h), Qt::white);
    const QRect handle(x - kHandleWidth / 2, offsetY_ + (h - kHandleHeight) / 2, kHandleWidth, kHandleHeight);
    painter.setPen(QColor(64, 64, 64));
    painter.setBrush(Qt::white);
    painter.drawRect(handle.adjusted(0, 0, -1, -1));
}
