// The resampling kernels and their taps. Kernel arithmetic is in 32-bit
// floats; weights are integers in units of 1/256.
#include "engine/picture/ResampleKernels.h"

#include <algorithm>
#include <cmath>

#include "engine/picture/Image.h"

namespace {

constexpr double kKernelPi = 3.14159265358979323846;

float BoxFilter(float x) { return (x > -0.5f && x <= 0.5f) ? 1.0f : 0.0f; }

float TriangleFilter(float x) {
    const float a = std::fabs(x);
    return a < 1.0f ? 1.0f - a : 0.0f;
}

float HermiteFilter(float x) {
    const float a = std::fabs(x);
    return a < 1.0f ? (2.0f * a - 3.0f) * (a * a) + 1.0f : 0.0f;
}

float BellFilter(float x) {
    const float a = std::fabs(x);
    if (a < 0.5f) return 0.75f - a * a;
    if (a < 1.5f) {
        const float t = a - 1.5f;
        return 0.5f * (t * t);
    }
    return 0.0f;
}

float BSplineFilter(float x) {
    const float a = std::fabs(x);
    if (a < 1.0f) return 0.5f * (a * a * a) - a * a + 2.0f / 3.0f;
    if (a < 2.0f) {
        const float t = 2.0f - a;
        return (t * t * t) / 6.0f;
    }
    return 0.0f;
}

// sin(p) / p with p = pi * x rounded to a 32-bit float before the sine.
float Sinc(float x) {
    if (x == 0.0f) return 1.0f;
    const float p = static_cast<float>(kKernelPi * x);
    return static_cast<float>(std::sin(static_cast<double>(p)) / p);
}

float Lanczos3Filter(float x) {
    const float a = std::fabs(x);
    return a < 3.0f ? Sinc(a) * Sinc(a / 3.0f) : 0.0f;
}

// Mitchell-Netravali with B = C = 1/3.
float MitchellFilter(float x) {
    const float a = std::fabs(x);
    const float a2 = a * a, a3 = a2 * a;
    if (a < 1.0f) return (7.0f * a3 - 12.0f * a2 + 16.0f / 3.0f) / 6.0f;
    if (a < 2.0f) return (-7.0f / 3.0f * a3 + 12.0f * a2 - 20.0f * a + 32.0f / 3.0f) / 6.0f;
    return 0.0f;
}

// Reflects an index at the source edges (without repeating the first pixel,
// repeating the last one) and keeps it inside however far it reached.
int SourceIndex(int j, int n) {
    if (j < 0)
        j = -j;
    else if (j >= n)
        j = 2 * n - 1 - j;
    return std::clamp(j, 0, n - 1);
}

// Weight of one source index: the kernel is stretched by 1 / scale and scaled
// down by scale when reducing.
int TapWeight(TFilterFunction filter, float scale, float centre, int j) {
    const float d = centre - static_cast<float>(j);
    if (scale >= 1.0f) return RoundHalfEven(filter(d) * 256.0f);
    return RoundHalfEven(filter(d * scale) * scale * 256.0f);
}

}  // namespace

const TResizeFilter kResizeFilters[kFilterCount] = {
    {"Box", BoxFilter, 0.5f},           {"Triangle", TriangleFilter, 1.0f}, {"Hermite", HermiteFilter, 1.0f},
    {"Bell", BellFilter, 1.5f},         {"B-spline", BSplineFilter, 2.0f},  {"Lanczos3", Lanczos3Filter, 3.0f},
    {"Mitchell", MitchellFilter, 2.0f},
};

TContributors MakeContributors(TFilterFunction filter, float support, float scale, int destLength, int sourceLength) {
    TContributors lists(static_cast<std::size_t>(std::max(0, destLength)));
    const float radius = scale >= 1.0f ? support : support / scale;
    for (int i = 0; i < destLength; ++i) {
        TContributorList& list = lists[i];
        list.Entries.reserve(static_cast<std::size_t>(std::max(0.0f, std::trunc(2.0f * radius + 1.0f))));
        const float centre = static_cast<float>(i) / scale;
        const int left = static_cast<int>(std::floor(centre - radius));
        const int right = static_cast<int>(std::ceil(centre + radius));
        for (int j = left; j <= right; ++j) {
            const int weight = TapWeight(filter, scale, centre, j);
            if (weight == 0) continue;
            list.Entries.push_back({weight, SourceIndex(j, sourceLength)});
        }
        // Reduced by more than about 500 times, every weight rounds to 0 and
        // the pixel would come out black: take the nearest source pixel instead.
        if (list.Entries.empty())
            list.Entries.push_back({256, SourceIndex(static_cast<int>(std::nearbyint(centre)), sourceLength)});
        list.Count = static_cast<std::int32_t>(list.Entries.size());
    }
    return lists;
}

TStretchScales StretchScales(const TImage& source, TImage& dest) {
    // Corner pixels map onto corner pixels. A single source pixel, or a single
    // destination pixel (whose corner scale would be 0), takes the plain ratio.
    const int sw = source.Width(), sh = source.Height(), dw = dest.Width(), dh = dest.Height();
    TStretchScales s;
    s.X = (sw == 1 || dw == 1) ? static_cast<float>(dw) / static_cast<float>(sw)
                               : static_cast<float>(dw - 1) / static_cast<float>(sw - 1);
    s.Y = (sh == 1 || dh == 1) ? static_cast<float>(dh) / static_cast<float>(sh)
                               : static_cast<float>(dh - 1) / static_cast<float>(sh - 1);
    return s;
}
