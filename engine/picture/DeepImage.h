#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// How the samples of a picture file are stored.
enum class TSampleKind : std::uint8_t {
    Integer,  // unsigned integers of Bits bits, full scale 2^Bits - 1
    Half,     // 16-bit floating point
    Float,    // 32-bit floating point
};

// The storage of a picture file: its format's name (as the picture library
// calls it: "tiff", "png", "openexr", ...) and its sample depth.
struct TPictureDepth {
    std::string Format;
    TSampleKind Kind = TSampleKind::Integer;
    int Bits = 8;
    // The file's compression as the library names it; empty for the
    // writer's default.
    std::string Compression;
    // The ICC profile of the file's colour space; empty for sRGB. Pictures
    // in memory are sRGB: it is converted from when read and into when written.
    std::string IccProfile{};

    bool operator==(const TPictureDepth&) const = default;
};

// A picture at its file's own precision: rows of red, green, blue floats,
// integer samples normalised to 0..1 (floating-point files keep their values,
// which may lie outside 0..1). Alpha, where the file has it, is kept in rows
// of its own and is not touched by grading. Row 0 is the top row.
class TDeepImage {
public:
    TDeepImage() = default;
    // Black, alpha 1 where hasAlpha; EError for a negative or absurd size.
    TDeepImage(int width, int height, bool hasAlpha);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }
    bool HasAlpha() const { return !alpha_.empty(); }

    // Three floats a pixel, red first.
    float* Row(int y) { return rgb_.data() + RowOffset(y) * 3; }
    const float* Row(int y) const { return rgb_.data() + RowOffset(y) * 3; }
    // One float a pixel; only when HasAlpha().
    float* AlphaRow(int y) { return alpha_.data() + RowOffset(y); }
    const float* AlphaRow(int y) const { return alpha_.data() + RowOffset(y); }

    // The file the picture came from, or the one it is to be written as.
    TPictureDepth Depth;

private:
    std::size_t RowOffset(int y) const { return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_); }

    int width_ = 0;
    int height_ = 0;
    std::vector<float> rgb_;
    std::vector<float> alpha_;
};
