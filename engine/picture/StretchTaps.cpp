#include "engine/picture/StretchTaps.h"

#include <bit>
#include <limits>
#include <utility>

namespace {

// The lowest and highest source index of a list.
std::pair<int, int> Span(const TContributorList& list) {
    int lo = list.Entries[0].Pixel, hi = lo;
    for (int k = 0; k < list.Count; ++k) {
        lo = std::min(lo, list.Entries[k].Pixel);
        hi = std::max(hi, list.Entries[k].Pixel);
    }
    return {lo, hi};
}

// Merges one list into a run of at least length taps padded to a multiple
// of lanes; false when a merged weight leaves 16 bits.
bool AddRun(const TContributorList& list, int lanes, int length, std::vector<std::int32_t>& merged, TDenseTaps& d) {
    const auto [lo, hi] = Span(list);
    const int padded = (std::max(hi - lo + 1, length) + lanes - 1) / lanes * lanes;
    merged.assign(static_cast<std::size_t>(padded), 0);
    for (int k = 0; k < list.Count; ++k) merged[list.Entries[k].Pixel - lo] += list.Entries[k].Weight;
    for (int w : merged) {
        if (w < std::numeric_limits<std::int16_t>::min() || w > std::numeric_limits<std::int16_t>::max()) return false;
        d.Weights.push_back(static_cast<std::int16_t>(w));
    }
    d.Start.push_back(lo);
    d.Length.push_back(padded);
    return true;
}

// With shift = 31 + floor(log2(smallest)) every multiplier fits 32 bits, and
// the error of the rounded-up multiplier, below one divisor per 2^shift,
// keeps the quotient exact up to 256 divisors as long as 256 * divisor^2
// stays within 2^shift.
bool ChooseShift(const std::vector<std::int64_t>& totals, TDenseTaps& d) {
    if (totals.empty()) return true;
    const auto [smallest, largest] = std::minmax_element(totals.begin(), totals.end());
    if (*smallest <= 0 || *largest > (1 << 15)) return false;
    d.Shift = 31 + std::bit_width(static_cast<std::uint64_t>(*smallest)) - 1;
    if (256 * *largest * *largest > (std::int64_t(1) << d.Shift)) return false;
    for (std::int64_t t : totals)
        d.Multiplier.push_back(static_cast<std::uint32_t>(((std::int64_t(1) << d.Shift) + t - 1) / t));
    return true;
}

}  // namespace

bool MakeDenseTaps(const TContributors& lists, int lanes, bool sameLength, TDenseTaps& taps) {
    taps = TDenseTaps();
    int longest = 0;
    for (const TContributorList& list : lists) {
        if (list.Count == 0) return false;  // MakeContributors never leaves a list empty
        const auto [lo, hi] = Span(list);
        if (sameLength) longest = std::max(longest, hi - lo + 1);
    }
    std::vector<std::int32_t> merged;
    std::vector<std::int64_t> totals;
    for (const TContributorList& list : lists) {
        taps.Offset.push_back(static_cast<std::int32_t>(taps.Weights.size()));
        std::int64_t total = 0;
        for (int k = 0; k < list.Count; ++k) total += list.Entries[k].Weight;
        totals.push_back(total);
        if (!AddRun(list, lanes, longest, merged, taps)) return false;
    }
    return ChooseShift(totals, taps);
}
