#include "engine/footage/DeepColourMemo.h"

#include <sys/mman.h>
#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "engine/picture/DeepImage.h"

namespace {

// Pixels of a band: the places of its waiting pixels are kept at most.
constexpr std::size_t kMemoBandPixels = 1 << 16;
// Pixels seen before the share of new colours is judged.
constexpr std::size_t kJudgedPixels = 4 * kMemoBandPixels;
constexpr std::size_t kFirstSlots = 1 << 16;
constexpr std::size_t kLargePage = std::size_t(2) << 20;
constexpr int kMemoAhead = 16;  // pixels between a slot's prefetch and its use
constexpr std::uint32_t kSlotEmpty = 0, kSlotKnown = 1, kSlotFresh = 2;

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

void TDeepColourMemo::TFree::operator()(TSlot* slots) const { std::free(slots); }

TDeepColourMemo::TDeepColourMemo(TDeepResults results, std::size_t maxKept)
    : results_(std::move(results)), maxKept_(maxKept) {}

void TDeepColourMemo::Convert(TDeepImage& image, int y0, int y1, double maxShare) {
    const std::size_t width = static_cast<std::size_t>(image.Width());
    const int bandRows = static_cast<int>(std::max<std::size_t>(1, kMemoBandPixels / std::max<std::size_t>(1, width)));
    for (int y = y0; y < y1; y += bandRows) {
        if (seen_ >= kJudgedPixels && static_cast<double>(converted_) > maxShare * static_cast<double>(seen_)) {
            // Colours seldom repeat here: the rest row by row, nothing looked up.
            for (int row = y; row < y1; ++row) results_(image.Row(row), width);
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
    const std::size_t mask = slotCount_ - 1;
    for (std::size_t i = HashOf(key) & mask;; i = (i + 1) & mask) {
        TSlot& slot = slots_[i];
        if (slot.State == kSlotEmpty || SameKey(slot.Key, key)) return slot;
    }
}

// Room for `entries` colours with the table at most half full. The slots
// are read at random: the table asks for large pages, where the system
// gives them, so that a slot costs no walk through the page tables.
void TDeepColourMemo::Reserve(std::size_t entries) {
    const std::size_t wanted = std::max(kFirstSlots, std::bit_ceil(2 * entries));
    if (slotCount_ >= wanted) return;
    const std::size_t bytes = (wanted * sizeof(TSlot) + kLargePage - 1) / kLargePage * kLargePage;
    void* memory = std::aligned_alloc(kLargePage, bytes);
    if (memory == nullptr) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    madvise(memory, bytes, MADV_HUGEPAGE);
#endif
    std::memset(memory, 0, bytes);  // every slot empty
    std::unique_ptr<TSlot[], TFree> old(static_cast<TSlot*>(memory));
    old.swap(slots_);
    const std::size_t oldCount = slotCount_;
    slotCount_ = wanted;
    for (std::size_t i = 0; i < oldCount; ++i)
        if (old[i].State != kSlotEmpty) Find(old[i].Key) = old[i];
}

void TDeepColourMemo::ConvertDirect(const std::vector<float*>& pixels) {
    std::vector<float> rgb(pixels.size() * 3);
    for (std::size_t i = 0; i < pixels.size(); ++i) std::memcpy(&rgb[3 * i], pixels[i], 3 * sizeof(float));
    results_(rgb.data(), pixels.size());
    converted_ += pixels.size();
    for (std::size_t i = 0; i < pixels.size(); ++i) std::memcpy(pixels[i], &rgb[3 * i], 3 * sizeof(float));
}

void TDeepColourMemo::ConvertBand(TDeepImage& image, int y0, int y1) {
    const std::size_t width = static_cast<std::size_t>(image.Width());
    const std::size_t pixels = width * static_cast<std::size_t>(y1 - y0);
    // Colours are kept while the band's new ones all fit under the bound.
    const bool keeping = kept_ + pixels <= maxKept_;
    Reserve(keeping ? kept_ + pixels : kept_);
    const std::size_t mask = slotCount_ - 1;
    std::vector<float*> waiting;    // pixels whose colour is not known before this band
    std::vector<TSlot*> waitingOn;  // and the slot of each (empty: convert it alone)
    std::vector<TSlot*> added;      // the slots of the band's new colours
    std::vector<float> fresh;       // those colours
    for (int y = y0; y < y1; ++y) {
        float* row = image.Row(y);
        TSlot* last = nullptr;  // neighbours often share a colour
        for (std::size_t x = 0; x < width; ++x) {
            float* p = row + 3 * x;
            if (x + kMemoAhead < width) {
                std::uint32_t ahead[3];
                std::memcpy(ahead, p + 3 * kMemoAhead, sizeof ahead);
                __builtin_prefetch(&slots_[HashOf(ahead) & mask]);
            }
            std::uint32_t key[3];
            std::memcpy(key, p, sizeof key);
            TSlot* slot = last != nullptr && SameKey(last->Key, key) ? last : &Find(key);
            if (slot->State == kSlotEmpty && keeping) {
                std::memcpy(slot->Key, key, sizeof key);
                slot->State = kSlotFresh;
                added.push_back(slot);
                fresh.insert(fresh.end(), p, p + 3);
            }
            if (slot->State != kSlotEmpty) last = slot;
            if (slot->State == kSlotKnown) {
                std::memcpy(p, slot->Result, sizeof slot->Result);
            } else {
                waiting.push_back(p);
                waitingOn.push_back(slot);
            }
        }
    }
    if (!keeping) {
        ConvertDirect(waiting);
        return;
    }
    results_(fresh.data(), added.size());
    converted_ += added.size();
    kept_ += added.size();
    for (std::size_t i = 0; i < added.size(); ++i) {
        std::memcpy(added[i]->Result, &fresh[3 * i], sizeof added[i]->Result);
        added[i]->State = kSlotKnown;
    }
    for (std::size_t i = 0; i < waiting.size(); ++i)
        std::memcpy(waiting[i], waitingOn[i]->Result, sizeof waitingOn[i]->Result);
}
