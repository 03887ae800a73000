#include "app/ImageViewer.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/base/Parallel.h"
#include "engine/lut/LUT.h"
#include "imageio/ColourProfile.h"

namespace {
// How far from the divider (in control pixels) a press takes hold of it.
constexpr int kDividerGrip = 4;
// The handle in the divider's middle.
constexpr int kHandleWidth = 7;
constexpr int kHandleHeight = 28;
// One notch of a mouse wheel.
constexpr int kWheelNotch = 120;

// The Id of no display transform.
constexpr std::uint64_t kNoTransform = ~std::uint64_t{0};

// A 24-bit picture as the 32-bit pixels the screen's surface holds, so that
// painting it 1:1 is a plain copy.
void ToScreenPixels(const TImage& image, QImage& out) {
    if (out.width() != image.Width() || out.height() != image.Height() || out.format() != QImage::Format_RGB32)
        out = QImage(image.Width(), image.Height(), QImage::Format_RGB32);
    // Rows apart on the worker threads: the view's whole picture changes with every regrade.
    uchar* bits = out.bits();  // detached here, not on the workers
    const qsizetype stride = out.bytesPerLine();
    const int minRows = std::max(1, (1 << 16) / std::max(image.Width(), 1));
    ParallelFor(image.Height(), minRows, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const std::uint8_t* p = image.Row(y);
            auto* q = reinterpret_cast<QRgb*>(bits + y * stride);
            for (int x = 0; x < image.Width(); ++x, p += 3) q[x] = 0xFF000000u | p[2] << 16 | p[1] << 8 | p[0];
        }
    });
}
}  // namespace

TImageViewer::TImageViewer(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

// A picture of the size of the one shown goes into its memory (a clip's
// frames, stepped to one after another): fresh memory costs more to fault
// in than the copy takes.
void TImageViewer::SetImage(const TImage& image, QSize frameSize) {
    if (source_.Empty() || source_.Width() != image.Width() || source_.Height() != image.Height()) {
        SetImage(image.Clone(), frameSize);
        return;
    }
    for (int y = 0; y < image.Height(); ++y)
        std::memcpy(source_.Row(y), image.Row(y), 3 * static_cast<std::size_t>(image.Width()));
    PictureChanged(frameSize);
}

void TImageViewer::SetImage(TImage&& image, QSize frameSize) {
    source_ = std::move(image);
    PictureChanged(frameSize);
}

void TImageViewer::PictureChanged(QSize frameSize) {
    RestoreDisplay();
    comparison_ = TImage();
    hasImage_ = true;
    if (frameSize.isEmpty()) frameSize = QSize(source_.Width(), source_.Height());
    SyncView();
    zoom_.SetFrame(frameSize);
    ShownStale();
    ZoomMoved();
}

// Every regrade starts here: the copy goes into the display's own memory
// when it has the size, so no new picture is allocated and touched.
void TImageViewer::RestoreDisplay() {
    if (!display_.Empty() && display_.Width() == source_.Width() && display_.Height() == source_.Height()) {
        for (int y = 0; y < source_.Height(); ++y)
            std::memcpy(display_.Row(y), source_.Row(y), 3 * static_cast<std::size_t>(source_.Width()));
    } else {
        display_ = source_.Clone();
    }
    shownDisplay_.Stale = true;
}

void TImageViewer::GradeDisplay(const TLUT& lut) {
    lut.ApplyToImage(source_, display_);
    shownDisplay_.Stale = true;
}

void TImageViewer::ShownStale() { shownDisplay_.Stale = shownComparison_.Stale = true; }

// Made once per change of the picture, not per paint: a 24-bit picture
// would be converted by the painter each time it is drawn.
const QImage& TImageViewer::Shown(const TImage& picture, TShown& shown) const {
    const bool transform = displayTransform_ != nullptr && !displayTransform_->Empty();
    const std::uint64_t id = transform ? displayTransform_->Id() : kNoTransform;
    if (shown.Stale || shown.Transform != id || shown.Painted.width() != picture.Width() ||
        shown.Painted.height() != picture.Height()) {
        if (transform) displayTransform_->Apply(picture, shown.Picture);
        ToScreenPixels(transform ? shown.Picture : picture, shown.Painted);
        shown.Stale = false;
        shown.Transform = id;
    }
    return shown.Painted;
}

void TImageViewer::HideSelection() {
    DrawSelection(true);
    SetSelectionVisible(false);
}

// ---- geometry -----------------------------------------------------------

double TImageViewer::Ratio() const { return devicePixelRatioF(); }

QSize TImageViewer::PhysicalSize() const {
    const double ratio = Ratio();
    return QSize(static_cast<int>(std::lround(width() * ratio)), static_cast<int>(std::lround(height() * ratio)));
}

// The zoom works in physical pixels; the screen's ratio can change with the
// screen, so the view is brought up to date before it is used.
void TImageViewer::SyncView() const {
    const QSize view = PhysicalSize();
    const int margin = static_cast<int>(std::lround(Margin * Ratio()));
    if (view != zoom_.View()) zoom_.SetView(view, margin);
}

QSize TImageViewer::FitSizeFor(QSize frame) const {
    TViewerZoom fit;
    fit.SetView(PhysicalSize(), static_cast<int>(std::lround(Margin * Ratio())));
    fit.SetFrame(frame);
    return fit.FitSize();
}

QSize TImageViewer::CopySizeFor(QSize frame) const {
    const QSize fit = FitSizeFor(frame);
    if (zoom_.Fit() || frame.isEmpty()) return fit;
    const double scale = zoom_.Scale();
    const QSize zoomed(static_cast<int>(std::ceil(frame.width() * scale)),
                       static_cast<int>(std::ceil(frame.height() * scale)));
    return zoomed.expandedTo(fit);
}

QRectF TImageViewer::PictureRect() const {
    SyncView();
    const QRectF physical = zoom_.Picture();
    const double ratio = Ratio();
    return QRectF(physical.topLeft() / ratio, physical.size() / ratio);
}

QRect TImageViewer::VisiblePicture() const { return PictureRect().toAlignedRect() & rect(); }

double TImageViewer::ScaleX() const {
    if (!hasImage_ || zoom_.Frame().isEmpty()) return 0.0;
    return PictureRect().width() / zoom_.Frame().width();
}

int TImageViewer::OffsetX() const { return static_cast<int>(std::floor(PictureRect().left())); }
int TImageViewer::OffsetY() const { return static_cast<int>(std::floor(PictureRect().top())); }

int TImageViewer::ClientToImage(double position, double offset, int size) const {
    const double scale = ScaleX();
    if (!hasImage_ || scale <= 0.0) return -1;
    const double c = std::nearbyint((position - offset) / scale);
    return c < size ? static_cast<int>(c) : -1;
}

int TImageViewer::ClientToImageX(int x) const { return ClientToImage(x, PictureRect().left(), zoom_.Frame().width()); }
int TImageViewer::ClientToImageY(int y) const { return ClientToImage(y, PictureRect().top(), zoom_.Frame().height()); }

// ---- zoom -----------------------------------------------------------------

void TImageViewer::FitToView() {
    zoom_.SetFit();
    ZoomMoved();
}

void TImageViewer::ZoomTo100() { ZoomAt(1.0 / Ratio(), rect().center()); }

void TImageViewer::ZoomToPercent(int percent) { ZoomAt(percent / 100.0 / Ratio(), rect().center()); }

void TImageViewer::ZoomIn() {
    SyncView();
    zoom_.StepIn(QPointF(rect().center()) * Ratio());
    ZoomMoved();
}

void TImageViewer::ZoomOut() {
    SyncView();
    zoom_.StepOut(QPointF(rect().center()) * Ratio());
    ZoomMoved();
}

// `scale` is in control pixels per frame pixel.
void TImageViewer::ZoomAt(double scale, QPointF at) {
    SyncView();
    zoom_.SetScale(scale * Ratio(), at * Ratio());
    ZoomMoved();
}

// The rubber band and the divider's handle are placed on the control, so a
// picture moved under them takes the band away.
void TImageViewer::ZoomMoved() {
    HideSelection();
    update();
    emit ViewChanged();
    const int percent = zoom_.Percent();
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    emit ZoomChanged(percent);
}

void TImageViewer::SetDisplayTransform(const TDisplayTransform* transform) {
    displayTransform_ = transform;
    ShownStale();
    update();
}

void TImageViewer::SetDarkSurround(bool dark) {
    darkSurround_ = dark;
    update();
}

QColor TImageViewer::SurroundColour() const {
    return darkSurround_ ? QColor(kDarkSurroundGrey, kDarkSurroundGrey, kDarkSurroundGrey)
                         : palette().color(QPalette::Window);
}

// ---- painting ---------------------------------------------------------------

// A picture on the picture's place: pixel for pixel at fit, smoothed when
// shrunk, as sharp squares when enlarged.
void TImageViewer::PaintPicture(QPainter& painter, const QImage& picture) const {
    const QRectF target = PictureRect();
    const bool shrunk = target.width() * Ratio() < picture.width() - 0.5;
    painter.setRenderHint(QPainter::SmoothPixmapTransform, shrunk);
    painter.drawImage(target, picture, QRectF(0, 0, picture.width(), picture.height()));
}

void TImageViewer::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), SurroundColour());
    if (hasImage_) {
        if (!display_.Empty()) PaintPicture(painter, Shown(display_, shownDisplay_));
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
    SyncView();
    if (!hasImage_) return;
    HideSelection();
    emit ViewResized();
    ZoomMoved();
}

// ---- mouse ------------------------------------------------------------------

void TImageViewer::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    const QPoint p = event->position().toPoint();
    const bool left = event->button() == Qt::LeftButton;
    if (left && OnDividerHandle(p)) {
        movingDivider_ = true;
        return;
    }
    // A picture larger than the view is moved by the left or the middle button.
    if ((left || event->button() == Qt::MiddleButton) && hasImage_ && zoom_.Pannable()) {
        panning_ = true;
        panFrom_ = event->position();
        setCursor(Qt::ClosedHandCursor);
        return;
    }
    if (!left) return;
    DrawSelection(true);
    SetSelectionVisible(false);
    const QRect picture = VisiblePicture();
    selLeft_ = p.x();
    selTop_ = p.y();
    if (ClientToImageX(p.x()) < 0) selLeft_ = picture.left();
    if (ClientToImageY(p.y()) < 0) selTop_ = picture.top();
    dragging_ = true;
}

void TImageViewer::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    if (movingDivider_) {
        MoveDivider(event->position().toPoint().x());
        return;
    }
    if (panning_) {
        zoom_.Pan((event->position() - panFrom_) * Ratio());
        panFrom_ = event->position();
        update();
        emit ViewChanged();
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
    const QRect picture = VisiblePicture();
    DrawSelection(true);
    selRight_ = p.x();
    selBottom_ = p.y();
    if (ClientToImageX(p.x()) < 0) selRight_ = picture.right();
    if (ClientToImageY(p.y()) < 0) selBottom_ = picture.bottom();
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
    if (panning_) {
        panning_ = false;
        unsetCursor();
        return;
    }
    if (event->button() == Qt::LeftButton) dragging_ = false;
    if (selLeft_ == selRight_ || selTop_ == selBottom_) HideSelection();
}

// Each notch of the wheel is one level of the ladder, around the cursor.
void TImageViewer::wheelEvent(QWheelEvent* event) {
    if (!hasImage_) return QWidget::wheelEvent(event);
    wheelDelta_ += event->angleDelta().y();
    SyncView();
    const QPointF at = event->position() * Ratio();
    bool moved = false;
    for (; wheelDelta_ >= kWheelNotch; wheelDelta_ -= kWheelNotch, moved = true) zoom_.StepIn(at);
    for (; wheelDelta_ <= -kWheelNotch; wheelDelta_ += kWheelNotch, moved = true) zoom_.StepOut(at);
    if (moved) ZoomMoved();
    event->accept();
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

void TImageViewer::SetComparison(const TImage& picture) {
    comparison_ = picture.Clone();
    shownComparison_.Stale = true;
    update();
}

void TImageViewer::ClearComparison() { SetComparison(TImage()); }

// The divider divides the part of the picture on screen, so that it stays
// in reach at any zoom.
int TImageViewer::DividerX() const {
    const QRect picture = VisiblePicture();
    return picture.left() + static_cast<int>(std::lround(splitPosition_ * picture.width()));
}

int TImageViewer::DividerColumn() const {
    const QRectF picture = PictureRect();
    if (display_.Empty() || picture.width() <= 0) return 0;
    const double column = (DividerX() - picture.left()) / picture.width() * display_.Width();
    return std::clamp(static_cast<int>(std::lround(column)), 0, display_.Width());
}

bool TImageViewer::OnDividerHandle(QPoint p) const {
    if (!splitView_ || display_.Empty()) return false;
    const QRect picture = VisiblePicture();
    return std::abs(p.x() - DividerX()) <= kDividerGrip && p.y() >= picture.top() && p.y() <= picture.bottom();
}

void TImageViewer::MoveDivider(int x) {
    const QRect picture = VisiblePicture();
    if (display_.Empty() || picture.width() <= 0) return;
    SetSplitPosition(static_cast<double>(x - picture.left()) / picture.width());
}

// Left of the divider the comparison covers the graded picture; the divider
// is a one-pixel line with a small handle in its middle.
void TImageViewer::PaintSplit(QPainter& painter) {
    const TImage& comparison = Comparison();
    const QRect picture = VisiblePicture();
    if (display_.Empty() || comparison.Empty() || picture.isEmpty()) return;
    const int x = DividerX();
    const int h = picture.height();
    if (x > picture.left()) {
        painter.save();
        painter.setClipRect(QRect(picture.left(), picture.top(), x - picture.left(), h));
        PaintPicture(painter, Shown(comparison, shownComparison_));
        painter.restore();
    }
    painter.fillRect(QRect(x, picture.top(), 1, h), Qt::white);
    const QRect handle(x - kHandleWidth / 2, picture.top() + (h - kHandleHeight) / 2, kHandleWidth, kHandleHeight);
    painter.setPen(QColor(64, 64, 64));
    painter.setBrush(Qt::white);
    painter.drawRect(handle.adjusted(0, 0, -1, -1));
}
