#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
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
    // Makes an image of the new size whose pixels the caller then writes
    // whole: the memory held is kept when it fits, and the pixels are
    // not cleared first (only the padding at the rows' ends is, so that no
    // byte is left undefined once the pixels are written).
    void SetSizeToFill(int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }
    std::size_t Stride() const { return stride_; }

    std::uint8_t* Row(int y) { return pixels_.data() + static_cast<std::size_t>(y) * stride_; }
    const std::uint8_t* Row(int y) const { return pixels_.data() + static_cast<std::size_t>(y) * stride_; }

    // Equal size and equal pixel bytes (padding is ignored).
    bool SamePixels(const TImage& other) const;

private:
    // Bytes that a resize leaves as they are instead of zeroing them.
    template <typename T>
    struct TUnclearedAllocator : std::allocator<T> {
        template <typename U>
        struct rebind {
            using other = TUnclearedAllocator<U>;
        };
        T* allocate(std::size_t count) { return static_cast<T*>(AllocatePixels(count * sizeof(T))); }
        void deallocate(T* place, std::size_t count) noexcept { FreePixels(place, count * sizeof(T)); }
        template <typename U>
        void construct(U* place) noexcept {
            ::new (static_cast<void*>(place)) U;
        }
        template <typename U>
        void construct(U* place, const U& value) noexcept {
            ::new (static_cast<void*>(place)) U(value);
        }
    };
    static void CheckSize(int width, int height);
    static void* AllocatePixels(std::size_t bytes);
    static void FreePixels(void* pixels, std::size_t bytes) noexcept;

    int width_ = 0;
    int height_ = 0;
    std::size_t stride_ = 0;
    std::vector<std::uint8_t, TUnclearedAllocator<std::uint8_t>> pixels_;
};
