#include "engine/picture/Image.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "engine/base/Error.h"
#include "engine/picture/PixelBlocks.h"

namespace {
constexpr int kMaxSide = 1 << 20;

std::size_t StrideFor(int width) {
    // Rows padded to four bytes, as bitmap rows are.
    return (static_cast<std::size_t>(width) * 3 + 3) & ~static_cast<std::size_t>(3);
}
}  // namespace

TImage::TImage(int width, int height) { SetSize(width, height); }

TImage::TImage(TImage&& other) noexcept
    : width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)),
      stride_(std::exchange(other.stride_, 0)),
      pixels_(std::move(other.pixels_)) {
    other.pixels_.clear();
}

TImage& TImage::operator=(TImage&& other) noexcept {
    if (this != &other) {
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
        stride_ = std::exchange(other.stride_, 0);
        pixels_ = std::move(other.pixels_);
        other.pixels_.clear();
    }
    return *this;
}

TImage TImage::Clone() const {
    TImage copy;
    copy.width_ = width_;
    copy.height_ = height_;
    copy.stride_ = stride_;
    // Copied as one block: the pixels' allocator leaves bytes unset rather
    // than set one by one, so the copy goes byte for byte otherwise.
    copy.pixels_.resize(pixels_.size());
    if (!pixels_.empty()) std::memcpy(copy.pixels_.data(), pixels_.data(), pixels_.size());
    return copy;
}

void TImage::CheckSize(int width, int height) {
    if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide)
        throw EError("Invalid image size " + std::to_string(width) + " x " + std::to_string(height));
}

void TImage::SetSize(int width, int height) {
    CheckSize(width, height);
    width_ = width;
    height_ = height;
    stride_ = StrideFor(width);
    decltype(pixels_)().swap(pixels_);
    pixels_.assign(stride_ * static_cast<std::size_t>(height), 0);
}

// Pictures of a frame's size and more lie on the system's large pages
// where it gives them, in memory kept for reuse (engine/picture/PixelBlocks.h).
void* TImage::AllocatePixels(std::size_t bytes) {
    return bytes < pixelblocks::kLargePage ? ::operator new(bytes) : pixelblocks::Take(bytes);
}

void TImage::FreePixels(void* pixels, std::size_t bytes) noexcept {
    if (bytes < pixelblocks::kLargePage)
        ::operator delete(pixels);
    else
        pixelblocks::Give(pixels, bytes);
}

void TImage::SetSizeToFill(int width, int height) {
    CheckSize(width, height);
    const std::size_t stride = StrideFor(width);
    const std::size_t bytes = stride * static_cast<std::size_t>(height);
    // Memory held that is too little, or far more than needed: let it go
    // first, so that the old and the new pixels are never held at once.
    if (pixels_.capacity() < bytes || pixels_.capacity() / 2 > bytes) decltype(pixels_)().swap(pixels_);
    pixels_.resize(bytes);
    width_ = width;
    height_ = height;
    stride_ = stride;
    const std::size_t used = static_cast<std::size_t>(width) * 3;
    if (used < stride)
        for (int y = 0; y < height; ++y) std::memset(Row(y) + used, 0, stride - used);
}

bool TImage::SamePixels(const TImage& other) const {
    if (width_ != other.width_ || height_ != other.height_) return false;
    const std::size_t bytes = static_cast<std::size_t>(width_) * 3;
    for (int y = 0; y < height_; ++y)
        if (std::memcmp(Row(y), other.Row(y), bytes) != 0) return false;
    return true;
}
