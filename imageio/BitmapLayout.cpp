#include "imageio/BitmapLayout.h"

#include <cstdint>
#include <cstdlib>

namespace {

std::uint32_t LittleEndian(std::string_view bytes, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;  // the oldest header: 16-bit sizes, no compression
constexpr std::uint32_t kUncompressed = 0, kBitFields = 3, kAlphaBitFields = 6;

}  // namespace

bool BitmapDataComplete(std::string_view bytes) {
    if (bytes.size() < kFileHeaderSize + 4 || !bytes.starts_with("BM")) return false;
    const std::uint64_t pixelOffset = LittleEndian(bytes, 10, 4);
    if (pixelOffset >= bytes.size()) return false;
    const std::uint32_t headerSize = LittleEndian(bytes, kFileHeaderSize, 4);
    std::int64_t width = 0, height = 0;
    std::uint32_t bitsPerPixel = 0, compression = kUncompressed;
    if (headerSize == kCoreHeaderSize) {
        if (bytes.size() < kFileHeaderSize + kCoreHeaderSize) return false;
        width = LittleEndian(bytes, 18, 2);
        height = LittleEndian(bytes, 20, 2);
        bitsPerPixel = LittleEndian(bytes, 24, 2);
    } else {
        if (headerSize < 20 || bytes.size() < kFileHeaderSize + 20) return false;
        width = static_cast<std::int32_t>(LittleEndian(bytes, 18, 4));
        height = static_cast<std::int32_t>(LittleEndian(bytes, 22, 4));
        bitsPerPixel = LittleEndian(bytes, 28, 2);
        compression = LittleEndian(bytes, 30, 4);
    }
    // Compressed pixel data has no size to compare with; the offset check
    // above is all there is.
    if (compression != kUncompressed && compression != kBitFields && compression != kAlphaBitFields) return true;
    // Absurd sizes are the picture size check's business.
    width = std::llabs(width);
    height = std::llabs(height);
    if (bitsPerPixel == 0 || bitsPerPixel > 32 || width > (1 << 20) || height > (1 << 20)) return true;
    const std::uint64_t rowBytes = (static_cast<std::uint64_t>(width) * bitsPerPixel + 31) / 32 * 4;
    return pixelOffset + rowBytes * static_cast<std::uint64_t>(height) <= bytes.size();
}
