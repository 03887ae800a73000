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

inline std::uint32_t KeyOf(const std::uint8_t* bgr) {
    return (static_cast<std::uint32_t>(bgr[2]) << 16) | (static_cast<std::uint32_t>(bgr[1]) << 8) | bgr[0];
}

// The table is far larger than the caches and neighbouring pixels' colours
// lie apart in it: the word of a pixel this far ahead is fetched early.
constexpr int kPrefetchPixels = 16;

inline void Prefetch(const std::uint32_t* table, const std::uint8_t* row, int x, int width) {
    if (x + kPrefetchPixels >= width) return;
    const std::uint32_t* word = table + KeyOf(row + 3 * (x + kPrefetchPixels));
#if defined(__x86_64__) || defined(__i386__)
    // GCC drops __builtin_prefetch from this loop; the instruction is asked for itself.
    asm volatile("prefetcht0 %0" : : "m"(*word));
#else
    __builtin_prefetch(word);
#endif
}

inline void Put(std::uint32_t value, std::uint8_t* bgr) {
    bgr[2] = static_cast<std::uint8_t>(value >> 16);
    bgr[1] = static_cast<std::uint8_t>(value >> 8);
    bgr[0] = static_cast<std::uint8_t>(value);
}

inline std::uint32_t Load(std::uint32_t& word) { return std::atomic_ref<std::uint32_t>(word).load(std::memory_order_relaxed); }

}  // namespace

void TColourMemo::TFreeDeleter::operator()(std::uint32_t* table) const { std::free(table); }

TColourMemo::TColourMemo() {
    // Zeroed by the system allocator: a large block is fresh zero pages.
    auto* table = static_cast<std::uint32_t*>(std::calloc(kColours, sizeof(std::uint32_t)));
    if (table == nullptr) throw std::bad_alloc();
    table_.reset(table);
}

TColourMemo::~TColourMemo() = default;

void TColourMemo::Convert(const TFootageConversion& footage, TImage& image, std::uint8_t (*toByte)(float)) {
    Map(image, [&](const std::uint32_t* keys, std::uint32_t* results, std::size_t count) {
        std::vector<float> rgb;
        rgb.reserve(count * 3);
        for (std::size_t i = 0; i < count; ++i) {
            rgb.push_back((keys[i] >> 16) / 255.0f);
            rgb.push_back(((keys[i] >> 8) & 255) / 255.0f);
            rgb.push_back((keys[i] & 255) / 255.0f);
        }
        footage.Convert(rgb.data(), count);
        for (std::size_t i = 0; i < count; ++i) {
            const float* c = rgb.data() + i * 3;
            results[i] = (std::uint32_t(toByte(c[0])) << 16) | (std::uint32_t(toByte(c[1])) << 8) | toByte(c[2]);
        }
    });
}

void TColourMemo::Map(TImage& image, const TBatch& batch) {
    const int width = image.Width();
    std::uint32_t* table = table_.get();
    ParallelFor(image.Height(), kMinRowsPerSlice, [&](int y0, int y1) {
        // Pixels of a known colour are mapped at once; the others wait until
        // the colours this slice met first (a word goes from 0 to pending for
        // the slice that meets it first) are converted, in one batch.
        std::vector<std::uint8_t*> waiting;
        std::vector<std::uint32_t> unknown;
        for (int y = y0; y < y1; ++y) {
            std::uint8_t* row = image.Row(y);  // blue, green, red
            std::uint8_t* p = row;
            for (int x = 0; x < width; ++x, p += 3) {
                Prefetch(table, row, x, width);
                const std::uint32_t key = KeyOf(p);
                const std::uint32_t value = Load(table[key]);
                if (value & kKnown) {
                    Put(value, p);
                    continue;
                }
                waiting.push_back(p);
                std::uint32_t expected = 0;
                if (value == 0 && std::atomic_ref<std::uint32_t>(table[key]).compare_exchange_strong(
                                      expected, kPending, std::memory_order_relaxed))
                    unknown.push_back(key);
            }
        }
        std::vector<std::uint32_t> results(unknown.size());
        if (!unknown.empty()) batch(unknown.data(), results.data(), unknown.size());
        for (std::size_t i = 0; i < unknown.size(); ++i)
            std::atomic_ref<std::uint32_t>(table[unknown[i]]).store(kKnown | results[i], std::memory_order_relaxed);
        for (std::uint8_t* p : waiting) {
            const std::uint32_t key = KeyOf(p);
            std::uint32_t value = Load(table[key]);
            if (!(value & kKnown)) batch(&key, &value, 1);  // pending in another slice or call
            Put(value, p);
        }
    });
}
