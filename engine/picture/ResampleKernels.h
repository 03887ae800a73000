#pragma once
#include <cmath>
#include <cstdint>
#include <vector>

class TImage;

// The resampling kernels and the integer weights (taps) they give along one
// axis: the pieces every resize pass is made of.

// Rounds half-way values to the even neighbour (the default rounding mode).
inline int RoundHalfEven(float v) { return static_cast<int>(std::nearbyint(v)); }

// A filter kernel: one 32-bit float argument, one 32-bit float result.
using TFilterFunction = float (*)(float);

struct TResizeFilter {
    const char* Name;
    TFilterFunction Function;
    float Support;  // radius outside which the kernel is zero
};

constexpr int kFilterCount = 7;
constexpr int kLanczos3Filter = 5;  // the filter every caller uses
// Box, Triangle, Hermite, Bell, B-spline, Lanczos3, Mitchell.
extern const TResizeFilter kResizeFilters[kFilterCount];

// One tap of a separable filter: weight in units of 1/256, source index.
struct TContributorEntry {
    std::int32_t Weight = 0;
    std::int32_t Pixel = 0;
};

struct TContributorList {
    std::int32_t Count = 0;
    std::vector<TContributorEntry> Entries;
};

// One list per destination column (or row).
using TContributors = std::vector<TContributorList>;

// The taps of every destination index along one axis, for a kernel of the
// given support and the scale destination / source. Zero weights are left out;
// source indexes beyond an edge are reflected (-j before the start, 2n - 1 - j
// past the end) and then kept inside the source however far they reached.
// A list whose weights all round to 0 (extreme reductions) gets the nearest
// source pixel with full weight.
TContributors MakeContributors(TFilterFunction filter, float support, float scale, int destLength, int sourceLength);

// The scales destination / source of a stretch from source to dest: corner
// pixels map onto corner pixels.
struct TStretchScales {
    float X;  // destination / source, horizontally
    float Y;  // vertically
};

TStretchScales StretchScales(const TImage& source, TImage& dest);
