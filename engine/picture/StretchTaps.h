#pragma once
#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/picture/ResampleKernels.h"

// The taps of one pass in the form the vector passes read: every list as one
// dense run of 16-bit weights (taps that reflection sent to the same index
// added up), weight k applying to source index Start + k, and the division by
// the sum of the weights turned into an exact multiply and shift.
struct TDenseTaps {
    std::vector<std::int32_t> Start, Length, Offset;
    std::vector<std::int16_t> Weights;      // runs padded with zeros to whole vectors
    std::vector<std::uint32_t> Multiplier;  // per list, for DivideSum
    int Shift = 0;                          // the same for every list
};

// Fills taps with runs padded to a multiple of lanes, and all to the length
// of the longest when sameLength is set. Returns false when a merged weight
// does not fit 16 bits, or a sum of weights is not positive or too far from
// the others for one shift to divide every sum exactly.
bool MakeDenseTaps(const TContributors& lists, int lanes, bool sameLength, TDenseTaps& taps);

// The pixel rule of the plain passes (the sum divided by the sum of the
// weights, truncated, then kept within 0..255) for a positive sum of
// weights: the multiplier is the quotient 2^shift / weights rounded up,
// which gives the exact quotient for every sum up to 256 times the weights
// (MakeDenseTaps picks the shift so), and 256 or more beyond.
inline std::uint8_t DivideSum(std::int32_t sum, std::uint32_t multiplier, int shift) {
    const std::uint64_t n = static_cast<std::uint32_t>(std::max(sum, 0));
    return static_cast<std::uint8_t>(std::min<std::uint64_t>((n * multiplier) >> shift, 255));
}
