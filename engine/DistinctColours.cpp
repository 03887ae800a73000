#include "DistinctColours.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "Image.h"
#include "Parallel.h"

namespace {

constexpr std::size_t kColours = std::size_t(1) << 24;
constexpr std::uint32_t kKnown = 0x80000000u;
constexpr std::uint32_t kPending = 0x40000000u;  // being converted by one call
constexpr int kMinRowsPerSlice = 8;
constexpr int kMinColoursPerSlice = 4096;

inline std::uint32_t KeyOf(const std::uint8_t* bgr) {
    return (static_cast<std::uint32_t>(bgr[2]) << 16) | (static_cast<std::uint32_t>(bgr[1]) << 8) | bgr[0];
}

inline std::uint32_t Load(std::uint32_t& word) { return std::atomic_ref<std::uint32_t>(word).load(std::memory_order_relaxed); }

// One colour converted on its own, packed as the memo keeps it.
std::uint32_t Direct(const TFootageConversion& footage, const std::uint8_t* bgr, std::uint8_t (*toByte)(float)) {
    float rgb[3] = {bgr[2] / 255.0f, bgr[1] / 255.0f, bgr[0] / 255.0f};
    footage.Convert(rgb, 1);
    return kKnown | (std::uint32_t(toByte(rgb[0])) << 16) | (std::uint32_t(toByte(rgb[1])) << 8) | toByte(rgb[2]);
}

}  // namespace

void TColourMemo::TFreeDeleter::operator()(std::uint32_t* table) const { std::free(table); }

TColourMemo::TColourMemo() {
    // Zeroed by the system allocator: a large block is fresh zero pages.
    auto* table = static_cast<std::uint32_t*>(std::calloc(kColours, sizeof(std::uint32_t)));
    if (table == nullptr) throw std::bad_alloc();
    table_.reset(table);
}

TColourMemo::~TColourMemo() = default;

bool TColourMemo::Convert(const TFootageConversion& footage, TImage& image, double maxShare,
                          std::uint8_t (*toByte)(float)) {
    const int width = image.Width();
    const double pixels = static_cast<double>(width) * image.Height();
    std::uint32_t* table = table_.get();
    // The colours not met before, each once: a word goes from 0 to pending
    // for the call that meets it first, which converts it.
    std::vector<std::uint32_t> unknown;
    for (int y = 0; y < image.Height(); ++y) {
        const std::uint8_t* p = image.Row(y);
        for (int x = 0; x < width; ++x, p += 3) {
            const std::uint32_t key = KeyOf(p);
            if (Load(table[key]) != 0) continue;
            std::uint32_t expected = 0;
            if (std::atomic_ref<std::uint32_t>(table[key]).compare_exchange_strong(expected, kPending,
                                                                                   std::memory_order_relaxed))
                unknown.push_back(key);
        }
    }
    if (unknown.size() > maxShare * pixels) {
        for (const std::uint32_t key : unknown) {
            std::uint32_t expected = kPending;
            std::atomic_ref<std::uint32_t>(table[key]).compare_exchange_strong(expected, 0, std::memory_order_relaxed);
        }
        return false;
    }
    ParallelFor(static_cast<int>(unknown.size()), kMinColoursPerSlice, [&](int begin, int end) {
        std::vector<float> rgb;
        rgb.reserve(static_cast<std::size_t>(end - begin) * 3);
        for (int i = begin; i < end; ++i) {
            const std::uint32_t key = unknown[i];
            rgb.push_back((key >> 16) / 255.0f);
            rgb.push_back(((key >> 8) & 255) / 255.0f);
            rgb.push_back((key & 255) / 255.0f);
        }
        footage.Convert(rgb.data(), static_cast<std::size_t>(end - begin));
        for (int i = begin; i < end; ++i) {
            const float* c = rgb.data() + static_cast<std::size_t>(i - begin) * 3;
            const std::uint32_t value = kKnown | (std::uint32_t(toByte(c[0])) << 16) |
                                        (std::uint32_t(toByte(c[1])) << 8) | toByte(c[2]);
            std::atomic_ref<std::uint32_t>(table[unknown[i]]).store(value, std::memory_order_relaxed);
        }
    });
    // ParallelFor has joined its workers: every word stored above is seen here.
    ParallelFor(image.Height(), kMinRowsPerSlice, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            std::uint8_t* p = image.Row(y);  // blue, green, red
            for (int x = 0; x < width; ++x, p += 3) {
                std::uint32_t value = Load(table[KeyOf(p)]);
                if (!(value & kKnown)) value = Direct(footage, p, toByte);  // pending in another call
                p[2] = static_cast<std::uint8_t>(value >> 16);
                p[1] = static_cast<std::uint8_t>(value >> 8);
                p[0] = static_cast<std::uint8_t>(value);
            }
        }
    });
    return true;
}
