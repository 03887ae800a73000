#include "app/ViewerWorkingCopy.h"

#include <algorithm>

#include "engine/picture/ImageResize.h"

void TViewerWorkingCopy::SetFrame(TImage full) { SetFrame(std::make_shared<const TImage>(std::move(full))); }

void TViewerWorkingCopy::SetFrame(std::shared_ptr<const TImage> full) {
    frame_ = full ? std::move(full) : std::make_shared<const TImage>();
    copy_ = TImage();
}

void TViewerWorkingCopy::Clear() { SetFrame(TImage()); }

bool TViewerWorkingCopy::Update(QSize wanted, const TMaker& maker) {
    if (frame_->Empty()) return false;
    // Never beyond the frame, never below one pixel.
    QSize size(std::clamp(wanted.width(), 1, frame_->Width()), std::clamp(wanted.height(), 1, frame_->Height()));
    if (!copy_.Empty() && size.width() <= copy_.Width() && size.height() <= copy_.Height()) return false;
    if (!copy_.Empty()) size = size.expandedTo(QSize(copy_.Width(), copy_.Height()));
    Make(size, maker);
    return true;
}

bool TViewerWorkingCopy::Shrink(QSize wanted, const TMaker& maker) {
    if (frame_->Empty() || copy_.Empty()) return false;
    const QSize size(std::clamp(wanted.width(), 1, frame_->Width()), std::clamp(wanted.height(), 1, frame_->Height()));
    const double pixels = static_cast<double>(size.width()) * size.height();
    if (static_cast<double>(copy_.Width()) * copy_.Height() <= 2 * pixels) return false;
    Make(size, maker);
    return true;
}

void TViewerWorkingCopy::Remake(const TMaker& maker) {
    if (!copy_.Empty()) Make(QSize(copy_.Width(), copy_.Height()), maker);
}

void TViewerWorkingCopy::Make(QSize size, const TMaker& maker) {
    copy_ = maker ? maker(*frame_, size) : Resampled(*frame_, size);
    ++copies_;
}

TImage TViewerWorkingCopy::Resampled(const TImage& full, QSize size) {
    if (size.width() == full.Width() && size.height() == full.Height()) return full.Clone();
    TImage copy;
    ResizeImage(size.width(), size.height(), kLanczos3Filter, copy, full, 0.0f);
    return copy;
}
