#pragma once
#include <cstdint>
#include <vector>

class TImage;

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
TContributors MakeContributors(TFilterFunction filter, float support, float scale, int destLength,
                               int sourceLength);

// The size of an image fitted into a box, never enlarged and never below
// 1 x 1. Throws EError when a source or box side is not positive.
void FitToBox(int sourceWidth, int sourceHeight, int boxWidth, int boxHeight, int& width,
              int& height);

// Makes dest a width x height image and fills it from source with filter
// 0..6; a support of exactly 0 takes the filter's own. Throws EError for an
// unknown filter, a negative size, or an empty source with a non-empty result.
void ResizeImage(int width, int height, int filter, TImage& dest, const TImage& source,
                 float support);

// Fills dest (its size already set) from source with a horizontal and then a
// vertical pass. Does nothing when either image has a zero side.
void StretchImage(TFilterFunction filter, const TImage& source, TImage& dest, float support);

// The picture fitted into the box with Lanczos3; a plain copy when it already fits.
TImage FitImage(const TImage& source, int boxWidth, int boxHeight);

namespace resizereference {
// StretchImage column by column exactly as the passes are defined, without
// threads or vector arithmetic; the yardstick for StretchImage.
void StretchImage(TFilterFunction filter, const TImage& source, TImage& dest, float support);
}  // namespace resizereference
