#include "ImageViewer.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "ImageResize.h"

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

void TImageViewer::RestoreDisplay() { display_ = scaled_.Clone(); }

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
}

int TImageViewer::ClientToImage(int position, int offset, double scale, int size) const {
    if (!hasImage_ || scale <= 0.0) return -1;
    const double c = std::nearbyint((position - offset) / scale);
    return c < size ? static_cast<int>(c) : -1;
}

int TImageViewer::ClientToImageX(int x) const { return ClientToImage(x, offsetX_, scaleX_, source_.Width()); }
int TImageViewer::ClientToImageY(int y) const { return ClientToImage(y, offsetY_, scaleY_, source_.Height()); }

void TImageViewer::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    if (hasImage_) {
        if (!display_.Empty()) {
            const QImage picture(display_.Row(0), display_.Width(), display_.Height(),
                                 static_cast<qsizetype>(display_.Stride()), QImage::Format_BGR888);
            painter.drawImage(offsetX_, offsetY_, picture);
        }
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
