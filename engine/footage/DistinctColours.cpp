#include "engine/footage/DistinctColours.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "engine/base/Parallel.h"
#include "engine/picture/Image.h"

namespace {

constexpr std::size_t kColours = std::size_t(1) << 24;
constexpr std::uint32_t kKnown = 0x80000000u;
constexpr std::uint32_t kPending = 0x40000000u;   // being converted by one call
constexpr std::uint32_t kNoColour = 0xFFFFFFFFu;  // no 24-bit colour has this key
// Pixels of a band: the places of its waiting pixels are kept at most.
constexpr int kBandPixels = 1 << 18;
constexpr int kMinColoursPerSlice = 4096;
constexpr int kAhead = 16;  // pixels between a word's prefetch and its use

inline std::uint32_t KeyOf(const std::uint8_t* bgr) {
    return (static_cast<std::uint32_t>(bgr[2]) << 16) | (static_cast<std::uint32_t>(bgr[1]) << 8) | bgr[0];
}

// A result (0xRRGGBB, higher bits ignored) into a pixel stored blue, green, red.
inline void Store(std::uint32_t value, std::uint8_t* bgr) {
    bgr[2] = static_cast<std::uint8_t>(value >> 16);
    bgr[1] = static_cast<std::uint8_t>(value >> 8);
    bgr[0] = static_cast<std::uint8_t>(value);
}

inline std::uint32_t Load(std::uint32_t& word) {
    return std::atomic_ref<std::uint32_t>(word).load(std::memory_order_relaxed);
}

// One colour converted on its own, packed as the memo keeps it.
std::uint32_t Direct(const TColourResults& results, std::uint32_t key) {
    results(&key, 1);
    return kKnown | (key & 0xFFFFFFu);
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

void TColourMemo::Convert(const TFootageConversion& footage, TImage& image, double maxShare,
                          std::uint8_t (*toByte)(float)) {
    Convert(image, maxShare, [&footage, toByte](std::uint32_t* colours, std::size_t count) {
        FootageResults(footage, toByte, colours, count);
    });
}

void TColourMemo::Convert(TImage& image, double maxShare, const TColourResults& results) {
    const int bandRows = std::max(1, kBandPixels / std::max(1, image.Width()));
    for (int y0 = 0; y0 < image.Height(); y0 += bandRows)
        ConvertBand(image, y0, std::min(image.Height(), y0 + bandRows), maxShare, results);
}

void TColourMemo::ConvertBand(TImage& image, int y0, int y1, double maxShare, const TColourResults& results) {
    const int width = image.Width();
    std::uint32_t* table = table_.get();
    // A pixel whose colour is known is written at once; a colour not met
    // before is claimed by the call that meets it first (its word goes from
    // 0 to pending), which converts it; the other pixels wait by their place.
    std::vector<std::uint32_t> unknown;
    std::vector<TPlace> waiting;
    for (int y = y0; y < y1; ++y) {
        std::uint8_t* p = image.Row(y);
        std::uint32_t previous = kNoColour, value = 0;  // neighbours often share a colour
        for (int x = 0; x < width; ++x, p += 3) {
            // The table is far larger than the caches: its words are asked for ahead.
            if (x + kAhead < width) __builtin_prefetch(&table[KeyOf(p + 3 * kAhead)]);
            const std::uint32_t key = KeyOf(p);
            if (key != previous) {
                previous = key;
                value = Load(table[key]);
                if (value == 0 && std::atomic_ref<std::uint32_t>(table[key])
                                      .compare_exchange_strong(value, kPending, std::memory_order_relaxed))
                    unknown.push_back(key);  // value stays 0: this pixel waits
            }
            if (value & kKnown)
                Store(value, p);
            else
                waiting.push_back({y, x});
        }
    }
    const double pixels = static_cast<double>(width) * (y1 - y0);
    if (unknown.size() > maxShare * pixels) {
        // Mostly new colours: each waiting pixel is converted on its own and
        // nothing is kept.
        for (const std::uint32_t key : unknown) {
            std::uint32_t expected = kPending;
            std::atomic_ref<std::uint32_t>(table[key]).compare_exchange_strong(expected, 0, std::memory_order_relaxed);
        }
        ParallelFor(static_cast<int>(waiting.size()), kMinColoursPerSlice, [&](int begin, int end) {
            std::vector<std::uint32_t> colours(static_cast<std::size_t>(end - begin));
            for (int i = begin; i < end; ++i) colours[i - begin] = KeyOf(image.Row(waiting[i].Y) + 3 * waiting[i].X);
            results(colours.data(), colours.size());
            for (int i = begin; i < end; ++i) Store(colours[i - begin], image.Row(waiting[i].Y) + 3 * waiting[i].X);
        });
        return;
    }
    ParallelFor(static_cast<int>(unknown.size()), kMinColoursPerSlice, [&](int begin, int end) {
        std::vector<std::uint32_t> colours(unknown.begin() + begin, unknown.begin() + end);
        results(colours.data(), colours.size());
        for (int i = begin; i < end; ++i)
            std::atomic_ref<std::uint32_t>(table[unknown[i]])
                .store(kKnown | (colours[i - begin] & 0xFFFFFFu), std::memory_order_relaxed);
    });
    // ParallelFor has joined its workers: every word stored above is seen here.
    ParallelFor(static_cast<int>(waiting.size()), kMinColoursPerSlice, [&](int begin, int end) {
        for (int i = begin; i < end; ++i) {
            std::uint8_t* p = image.Row(waiting[i].Y) + 3 * waiting[i].X;
            const std::uint32_t key = KeyOf(p);
            std::uint32_t value = Load(table[key]);
            if (!(value & kKnown)) value = Direct(results, key);  // pending in another call
            Store(value, p);
        }
    });
}

void FootageResults(const TFootageConversion& footage, std::uint8_t (*toByte)(float), std::uint32_t* colours,
                    std::size_t count) {
    std::vector<float> rgb(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        rgb[3 * i] = (colours[i] >> 16) / 255.0f;
        rgb[3 * i + 1] = ((colours[i] >> 8) & 255) / 255.0f;
        rgb[3 * i + 2] = (colours[i] & 255) / 255.0f;
    }
    footage.Convert(rgb.data(), count);
    for (std::size_t i = 0; i < count; ++i) {
        const float* c = rgb.data() + 3 * i;
        colours[i] = (std::uint32_t(toByte(c[0])) << 16) | (std::uint32_t(toByte(c[1])) << 8) | toByte(c[2]);
    }
}
