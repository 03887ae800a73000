#include "app/ViewerZoom.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "engine/picture/ImageResize.h"

namespace {
// The zoom levels the keys and the wheel step through.
constexpr double kLadder[] = {0.1, 0.125, 0.167, 0.25, 0.333, 0.5, 0.667, 1.0, 1.5, 2.0, 3.0, 4.0, 6.0, 8.0};
// Two scales closer than this are the same level.
constexpr double kSameLevel = 1e-3;
}  // namespace

void TViewerZoom::SetFrame(QSize frame) {
    // Another frame of the same size (a clip's next one) keeps the view.
    if (frame == frame_) return;
    frame_ = frame;
    origin_ = QPointF();
    if (!fit_) {
        // Centred on the view.
        origin_ =
            QPointF((view_.width() - frame_.width() * scale_) / 2, (view_.height() - frame_.height() * scale_) / 2);
        Clamp();
    }
}

void TViewerZoom::SetView(QSize view, int margin) {
    view_ = view;
    margin_ = margin;
    Clamp();
}

QSize TViewerZoom::FitSize() const {
    const int boxWidth = view_.width() - 2 * margin_, boxHeight = view_.height() - 2 * margin_;
    if (frame_.isEmpty() || boxWidth < 1 || boxHeight < 1) return QSize();
    int width = 0, height = 0;
    FitToBox(frame_.width(), frame_.height(), boxWidth, boxHeight, width, height);
    return QSize(width, height);
}

void TViewerZoom::SetFit() { fit_ = true; }

double TViewerZoom::Scale() const {
    if (!fit_) return scale_;
    const QSize fitted = FitSize();
    return fitted.isEmpty() ? 1.0 : static_cast<double>(fitted.width()) / frame_.width();
}

int TViewerZoom::Percent() const { return static_cast<int>(std::lround(Scale() * 100.0)); }

void TViewerZoom::SetScale(double scale, QPointF around) {
    const QRectF before = Picture();
    const double old = Scale();
    scale = std::clamp(scale, kMinScale, kMaxScale);
    // The frame point under `around` before and after.
    const QPointF frame = (around - before.topLeft()) / old;
    fit_ = false;
    scale_ = scale;
    origin_ = around - frame * scale;
    Clamp();
}

void TViewerZoom::StepIn(QPointF around) {
    const double now = Scale();
    for (double level : kLadder)
        if (level > now * (1.0 + kSameLevel)) return SetScale(level, around);
    SetScale(kMaxScale, around);
}

void TViewerZoom::StepOut(QPointF around) {
    const double now = Scale();
    for (auto level = std::rbegin(kLadder); level != std::rend(kLadder); ++level)
        if (*level < now * (1.0 - kSameLevel)) return SetScale(*level, around);
    SetScale(kMinScale, around);
}

QRectF TViewerZoom::Picture() const {
    if (frame_.isEmpty()) return QRectF();
    if (fit_) {
        const QSize fitted = FitSize();
        if (fitted.isEmpty()) return QRectF();
        return QRectF((view_.width() - fitted.width()) / 2, (view_.height() - fitted.height()) / 2, fitted.width(),
                      fitted.height());
    }
    // Whole view pixels, so that 100 % shows every frame pixel on one view pixel.
    return QRectF(std::round(origin_.x()), std::round(origin_.y()), frame_.width() * scale_, frame_.height() * scale_);
}

bool TViewerZoom::Pannable() const {
    const QRectF picture = Picture();
    return picture.width() > view_.width() || picture.height() > view_.height();
}

void TViewerZoom::Pan(QPointF by) {
    if (fit_) return;
    origin_ += by;
    Clamp();
}

// A picture smaller than the view is centred on that axis; a larger one
// always covers the view.
void TViewerZoom::Clamp() {
    if (fit_ || frame_.isEmpty()) return;
    auto axis = [](double origin, double size, int view) {
        if (size <= view) return std::floor((view - size) / 2);
        return std::clamp(origin, view - size, 0.0);
    };
    origin_.setX(axis(origin_.x(), frame_.width() * scale_, view_.width()));
    origin_.setY(axis(origin_.y(), frame_.height() * scale_, view_.height()));
}
