#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// A 24-bit raster: rows of 3-byte pixels stored blue, green, red. Row 0 is the
// top row; rows are reached through Row(y) and lie Stride() bytes apart.
// The image owns its pixels; moving is cheap, copying is explicit (Clone).
class TImage {
public:
    TImage() = default;
    TImage(int width, int height);  // pixels start black (all bytes 0)

    TImage(TImage&& other) noexcept;
    TImage& operator=(TImage&& other) noexcept;
    TImage(const TImage&) = delete;
    TImage& operator=(const TImage&) = delete;

    TImage Clone() const;

    // Drops the old content and makes a black image of the new size.
    void SetSize(int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }
    std::size_t Stride() const { return stride_; }

    std::uint8_t* Row(int y) { return pixels_.data() + static_cast<std::size_t>(y) * stride_; }
    const std::uint8_t* Row(int y) const { return pixels_.data() + static_cast<std::size_t>(y) * stride_; }

    // Equal size and equal pixel bytes (padding is ignored).
    bool SamePixels(const TImage& other) const;

private:
    int width_ = 0;
    int height_ = 0;
    std::size_t stride_ = 0;
    std::vector<std::uint8_t> pixels_;
};
