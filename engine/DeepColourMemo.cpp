#include "DeepColourMemo.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "DeepImage.h"

namespace {

// Pixels of a band: the places of its waiting pixels are kept at most.
constexpr std::size_t kBandPixels = 1 << 16;
// Pixels seen before the share of new colours is judged.
constexpr std::size_t kJudgedPixels = 4 * kBandPixels;
constexpr std::size_t kFirstSlots = 1 << 16;
constexpr int kAhead = 8;  // pixels between a slot's prefetch and its use

inline std::size_t HashOf(const std::uint32_t* key) {
    std::uint64_t h = key[0] * 0x9E3779B97F4A7C15ull;
    h ^= key[1] * 0xC2B2AE3D27D4EB4Full;
    h ^= key[2] * 0x165667B19E3779F9ull;
    return static_cast<std::size_t>(h ^ (h >> 31));
}

inline bool SameKey(const std::uint32_t* a, const std::uint32_t* b) {
    return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
}

}  // namespace

TDeepColourMemo::TDeepColourMemo(const TFootageConversion& footage, std::size_t maxKept)
    : footage_(footage), maxKept_(maxKept) {}

void TDeepColourMemo::Convert(TDeepImage& image, int y0, int y1, double maxShare) {
    const std::size_t width = static_cast<std::size_t>(image.Width());
    const int bandRows = static_cast<int>(std::max<std::size_t>(1, kBandPixels / std::max<std::size_t>(1, width)));
    for (int y = y0; y < y1; y += bandRows) {
        if (seen_ >= kJudgedPixels && static_cast<double>(converted_) > maxShare * static_cast<double>(seen_)) {
            // Colours seldom repeat here: the rest row by row, nothing looked up.
            for (int row = y; row < y1; ++row) footage_.Convert(image.Row(row), width);
            converted_ += width * static_cast<std::size_t>(y1 - y);
            seen_ += width * static_cast<std::size_t>(y1 - y);
            return;
        }
        const int end = std::min(y1, y + bandRows);
        ConvertBand(image, y, end);
        seen_ += width * static_cast<std::size_t>(end - y);
    }
}

TDeepColourMemo::TSlot& TDeepColourMemo::Find(const std::uint32_t* key) {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = HashOf(key) & mask;; i = (i + 1) & mask) {
        TSlot& slot = slots_[i];
        if (slot.Entry == 0 || SameKey(slot.Key, key)) return slot;
    }
}

// Room for `entries` colours with the table at most half full.
void TDeepColourMemo::Reserve(std::size_t entries) {
    const std::size_t wanted = std::max(kFirstSlots, std::bit_ceil(2 * entries));
    if (slots_.size() >= wanted) return;
    std::vector<TSlot> old(wanted, TSlot{{0, 0, 0}, 0});
    old.swap(slots_);
    for (const TSlot& slot : old)
        if (slot.Entry != 0) Find(slot.Key) = slot;
}

void TDeepColourMemo::ConvertDirect(const std::vector<float*>& pixels) {
    std::vector<float> rgb(pixels.size() * 3);
    for (std::size_t i = 0; i < pixels.size(); ++i) std::memcpy(&rgb[3 * i], pixels[i], 3 * sizeof(float));
    footage_.Convert(rgb.data(), pixels.size());
    converted_ += pixels.size();
    for (std::size_t i = 0; i < pixels.size(); ++i) std::memcpy(pixels[i], &rgb[3 * i], 3 * sizeof(float));
}

void TDeepColourMemo::ConvertBand(TDeepImage& image, int y0, int y1) {
    const std::size_t width = static_cast<std::size_t>(image.Width());
    const std::size_t pixels = width * static_cast<std::size_t>(y1 - y0);
    const std::size_t known = results_.size() / 3;
    // Colours are kept while the band's new ones all fit under the bound.
    const bool keeping = known + pixels <= maxKept_;
    Reserve(keeping ? known + pixels : known);
    const std::size_t mask = slots_.size() - 1;
    std::vector<float*> waiting;           // pixels whose colour is not known before this band
    std::vector<std::uint32_t> waitingOn;  // and the entry each waits on (0: none, convert alone)
    std::vector<float> fresh;              // those colours
    for (int y = y0; y < y1; ++y) {
        float* row = image.Row(y);
        TSlot* last = nullptr;  // neighbours often share a colour
        for (std::size_t x = 0; x < width; ++x) {
            float* p = row + 3 * x;
            if (x + kAhead < width) {
                std::uint32_t ahead[3];
                std::memcpy(ahead, p + 3 * kAhead, sizeof ahead);
                __builtin_prefetch(&slots_[HashOf(ahead) & mask]);
            }
            std::uint32_t key[3];
            std::memcpy(key, p, sizeof key);
            TSlot* slot = last != nullptr && SameKey(last->Key, key) ? last : &Find(key);
            if (slot->Entry == 0 && keeping) {
                std::memcpy(slot->Key, key, sizeof key);
                slot->Entry = static_cast<std::uint32_t>(known + fresh.size() / 3 + 1);
                fresh.insert(fresh.end(), p, p + 3);
            }
            if (slot->Entry != 0) last = slot;
            if (slot->Entry != 0 && slot->Entry <= known) {
                std::memcpy(p, &results_[3 * (slot->Entry - 1)], 3 * sizeof(float));
            } else {
                waiting.push_back(p);
                waitingOn.push_back(slot->Entry);
            }
        }
    }
    if (!keeping) {
        ConvertDirect(waiting);
        return;
    }
    const std::size_t fresher = fresh.size() / 3;
    footage_.Convert(fresh.data(), fresher);
    converted_ += fresher;
    results_.insert(results_.end(), fresh.begin(), fresh.end());
    for (std::size_t i = 0; i < waiting.size(); ++i)
        std::memcpy(waiting[i], &results_[3 * (waitingOn[i] - 1)], 3 * sizeof(float));
}
