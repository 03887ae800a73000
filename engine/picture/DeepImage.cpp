#include "engine/picture/DeepImage.h"

#include "engine/base/Error.h"

namespace {
constexpr int kMaxDeepSide = 1 << 20;
}  // namespace

TDeepImage::TDeepImage(int width, int height, bool hasAlpha) {
    if (width < 0 || height < 0 || width > kMaxDeepSide || height > kMaxDeepSide)
        throw EError("Invalid image size " + std::to_string(width) + " x " + std::to_string(height));
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    rgb_.assign(pixels * 3, 0.0f);
    if (hasAlpha && pixels > 0) alpha_.assign(pixels, 1.0f);
    width_ = width;
    height_ = height;
}
