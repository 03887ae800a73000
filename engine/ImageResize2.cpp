// Separable resampling of 24-bit images with integer weights, and fitting an
// image into a box. Filter arithmetic is in 32-bit floats; weights (in units of
// 1/256) and pixel sums are 32-bit integers.
#include "ImageResize2.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "Error.h"
#include "Image.h"
#include "ImageStretch.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

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
    const float p = static_cast<float>(kPi * x);
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

int RoundHalfEven(float v) { return static_cast<int>(std::nearbyint(v)); }

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
    {"Box", BoxFilter, 0.5f},           {"Triangle", TriangleFilter, 1.0f},
    {"Hermite", HermiteFilter, 1.0f},   {"Bell", BellFilter, 1.5f},
    {"B-spline", BSplineFilter, 2.0f},  {"Lanczos3", Lanczos3Filter, 3.0f},
    {"Mitchell", MitchellFilter, 2.0f},
};

TContributors MakeContributors(TFilterFunction filter, float support, float scale, int destLength,
                               int sourceLength) {
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

void FitToBox(int sourceWidth, int sourceHeight, int boxWidth, int boxHeight, int& width,
              int& height) {
    if (sourceWidth <= 0 || sourceHeight <= 0)
        throw EError("Cannot fit an image of " + std::to_string(sourceWidth) + " x " +
                     std::to_string(sourceHeight) + " pixels: it has no pixels.");
    if (boxWidth <= 0 || boxHeight <= 0)
        throw EError("Cannot fit an image into a box of " + std::to_string(boxWidth) + " x " +
                     std::to_string(boxHeight) + " pixels.");
    const float sx = static_cast<float>(boxWidth) / static_cast<float>(sourceWidth);
    const float sy = static_cast<float>(boxHeight) / static_cast<float>(sourceHeight);
    const float s = sx < sy ? sx : sy;
    if (s > 1.0f) {
        width = sourceWidth;
        height = sourceHeight;
        return;
    }
    width = std::max(1, RoundHalfEven(static_cast<float>(sourceWidth) * s));
    height = std::max(1, RoundHalfEven(static_cast<float>(sourceHeight) * s));
}

void ResizeImage(int width, int height, int filter, TImage& dest, const TImage& source,
                 float support) {
    if (filter < 0 || filter >= kFilterCount)
        throw EError("Unknown resampling filter " + std::to_string(filter) + ".");
    if (width < 0 || height < 0)
        throw EError("Cannot resize an image to " + std::to_string(width) + " x " +
                     std::to_string(height) + " pixels.");
    if (source.Empty() && width > 0 && height > 0)
        throw EError("Cannot resize an image that has no pixels.");
    const TResizeFilter& f = kResizeFilters[filter];
    if (&dest == &source) {  // resizing in place: keep the pixels until they are read
        const TImage copy = source.Clone();
        ResizeImage(width, height, filter, dest, copy, support);
        return;
    }
    dest.SetSize(width, height);
    StretchImage(f.Function, source, dest, support == 0.0f ? f.Support : support);
}

TImage FitImage(const TImage& source, int boxWidth, int boxHeight) {
    int width = 0, height = 0;
    FitToBox(source.Width(), source.Height(), boxWidth, boxHeight, width, height);
    if (width == source.Width() && height == source.Height()) return source.Clone();
    TImage fitted;
    ResizeImage(width, height, kLanczos3Filter, fitted, source, 0.0f);
    return fitted;
}

void StretchImage(TFilterFunction filter, const TImage& source, TImage& dest, float support) {
    if (source.Empty() || dest.Empty()) return;
    const TStretchScales s = StretchScales(source, dest);
    const TContributors columns = MakeContributors(filter, support, s.X, dest.Width(), source.Width());
    const TContributors rows = MakeContributors(filter, support, s.Y, dest.Height(), source.Height());
    if (!StretchFast(columns, rows, source, dest))
        resizereference::StretchImage(filter, source, dest, support);
}

// ---------------------------------------------------------------------------

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

namespace {

// The pixel rule: weighted sum divided by the sum of the weights.
std::uint8_t Evaluate(const TContributorList& list, const int* values) {
    int total = 0, sum = 0;
    for (int k = 0; k < list.Count; ++k) {
        total += list.Entries[k].Weight;
        sum += list.Entries[k].Weight * values[list.Entries[k].Pixel];
    }
    const int q = total != 0 ? sum / total : static_cast<int>(static_cast<std::uint32_t>(sum) >> 8);
    return static_cast<std::uint8_t>(std::clamp(q, 0, 255));
}

}  // namespace

void resizereference::StretchImage(TFilterFunction filter, const TImage& source, TImage& dest,
                                   float support) {
    if (source.Empty() || dest.Empty()) return;
    const int sw = source.Width(), sh = source.Height(), dw = dest.Width(), dh = dest.Height();
    const TStretchScales s = StretchScales(source, dest);
    TImage work(dw, sh);
    std::vector<int> buf[3];
    for (auto& b : buf) b.resize(static_cast<std::size_t>(std::max(sw, sh)));

    const TContributors columns = MakeContributors(filter, support, s.X, dw, sw);
    for (int y = 0; y < sh; ++y) {
        const std::uint8_t* src = source.Row(y);
        for (int x = 0; x < sw; ++x)
            for (int c = 0; c < 3; ++c) buf[c][x] = src[x * 3 + c];
        std::uint8_t* out = work.Row(y);
        for (int i = 0; i < dw; ++i)
            for (int c = 0; c < 3; ++c) out[i * 3 + c] = Evaluate(columns[i], buf[c].data());
    }

    const TContributors rows = MakeContributors(filter, support, s.Y, dh, sh);
    for (int k = 0; k < dw; ++k) {
        for (int y = 0; y < sh; ++y)
            for (int c = 0; c < 3; ++c) buf[c][y] = work.Row(y)[k * 3 + c];
        for (int i = 0; i < dh; ++i)
            for (int c = 0; c < 3; ++c) dest.Row(i)[k * 3 + c] = Evaluate(rows[i], buf[c].data());
    }
}
