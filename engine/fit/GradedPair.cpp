#include "engine/fit/GradedPair.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "engine/base/Error.h"
#include "engine/lut/LUT.h"
#include "engine/picture/DeepImage.h"
#include "engine/picture/Image.h"
#include "engine/picture/ImageResize.h"
#include "engine/picture/ResampleKernels.h"

namespace {

std::string SizeText(int width, int height) { return std::to_string(width) + " x " + std::to_string(height); }

// Whether a picture of the larger size reduces to the smaller one without
// changing its shape: each side of the smaller within a pixel of the
// larger's side scaled by the other side's ratio.
bool SameAspect(int largeWidth, int largeHeight, int smallWidth, int smallHeight) {
    const double byWidth = static_cast<double>(largeHeight) * smallWidth / largeWidth;
    const double byHeight = static_cast<double>(largeWidth) * smallHeight / largeHeight;
    return std::fabs(byWidth - smallHeight) <= 1.0 && std::fabs(byHeight - smallWidth) <= 1.0;
}

// Which picture to reduce: 0 none, 1 before, 2 after. Raises for a pair
// that cannot be brought to one size.
int PictureToReduce(int beforeWidth, int beforeHeight, int afterWidth, int afterHeight, const std::string& beforeName,
                    const std::string& afterName) {
    if (beforeWidth == afterWidth && beforeHeight == afterHeight) return 0;
    const bool beforeLarger =
        static_cast<long long>(beforeWidth) * beforeHeight > static_cast<long long>(afterWidth) * afterHeight;
    const bool fits = beforeLarger ? beforeWidth >= afterWidth && beforeHeight >= afterHeight &&
                                         SameAspect(beforeWidth, beforeHeight, afterWidth, afterHeight)
                                   : afterWidth >= beforeWidth && afterHeight >= beforeHeight &&
                                         SameAspect(afterWidth, afterHeight, beforeWidth, beforeHeight);
    if (!fits)
        throw EError("The pictures of a graded pair must show the same frame: \"" + beforeName + "\" is " +
                     SizeText(beforeWidth, beforeHeight) + " pixels, \"" + afterName + "\" is " +
                     SizeText(afterWidth, afterHeight) + " pixels.");
    return beforeLarger ? 1 : 2;
}

// The separable Lanczos3 reduction of the 24-bit road, on float samples:
// the same taps (corner pixels onto corner pixels), applied across and then
// down.
TDeepImage ReduceDeep(const TDeepImage& source, int width, int height) {
    const TResizeFilter& filter = kResizeFilters[kLanczos3Filter];
    auto scale = [](int from, int to) {
        return (from == 1 || to == 1) ? static_cast<float>(to) / from : static_cast<float>(to - 1) / (from - 1);
    };
    const TContributors across =
        MakeContributors(filter.Function, filter.Support, scale(source.Width(), width), width, source.Width());
    const TContributors down =
        MakeContributors(filter.Function, filter.Support, scale(source.Height(), height), height, source.Height());

    std::vector<float> wide(static_cast<std::size_t>(width) * 3 * source.Height());
    for (int y = 0; y < source.Height(); ++y) {
        const float* in = source.Row(y);
        float* out = &wide[static_cast<std::size_t>(y) * width * 3];
        for (int x = 0; x < width; ++x) {
            float sum[3] = {0.0f, 0.0f, 0.0f};
            for (int t = 0; t < across[x].Count; ++t) {
                const TContributorEntry& tap = across[x].Entries[t];
                for (int c = 0; c < 3; ++c) sum[c] += static_cast<float>(tap.Weight) / 256.0f * in[3 * tap.Pixel + c];
            }
            std::copy(sum, sum + 3, out + 3 * x);
        }
    }
    TDeepImage reduced(width, height, false);
    reduced.Depth = source.Depth;
    for (int y = 0; y < height; ++y) {
        float* out = reduced.Row(y);
        std::fill(out, out + 3 * width, 0.0f);
        for (int t = 0; t < down[y].Count; ++t) {
            const TContributorEntry& tap = down[y].Entries[t];
            const float* in = &wide[static_cast<std::size_t>(tap.Pixel) * width * 3];
            const float weight = static_cast<float>(tap.Weight) / 256.0f;
            for (int i = 0; i < 3 * width; ++i) out[i] += weight * in[i];
        }
    }
    return reduced;
}

// A window of the frame as luma, kMaxMeasuredShift + 1 pixels of margin
// kept around it for the shifted comparisons.
struct TWindow {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

constexpr int kWindowSide = 256;

std::vector<TWindow> SpreadWindows(int width, int height) {
    const int margin = kMaxMeasuredShift + 1;
    const int innerWidth = width - 2 * margin;
    const int innerHeight = height - 2 * margin;
    if (innerWidth < 8 || innerHeight < 8) return {};
    const int side = kWindowSide;
    if (innerWidth <= 3 * side && innerHeight <= 3 * side) return {{margin, margin, innerWidth, innerHeight}};
    std::vector<TWindow> windows;
    const int w = std::min(side, innerWidth);
    const int h = std::min(side, innerHeight);
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i)
            windows.push_back(
                {margin + (innerWidth - w) * (2 * i + 1) / 6, margin + (innerHeight - h) * (2 * j + 1) / 6, w, h});
    return windows;
}

// The edge strength (sum of the absolute central differences of luma) of
// a window grown by the margin on every side, for both pictures.
struct TEdgeWindows {
    int Width = 0;
    int Height = 0;
    std::vector<float> Before;
    std::vector<float> After;
};

TEdgeWindows EdgesAround(const TPicturePair& pair, const TWindow& window) {
    const int margin = kMaxMeasuredShift + 1;
    const int left = window.Left - margin;
    const int top = window.Top - margin;
    const int width = window.Width + 2 * margin;
    const int height = window.Height + 2 * margin;
    std::vector<float> lumaBefore(static_cast<std::size_t>(width) * height);
    std::vector<float> lumaAfter(lumaBefore.size());
    std::vector<float> before(static_cast<std::size_t>(pair.Width) * 3);
    std::vector<float> after(before.size());
    for (int y = 0; y < height; ++y) {
        pair.Read(top + y, before.data(), after.data());
        for (int x = 0; x < width; ++x) {
            const float* b = &before[3 * (left + x)];
            const float* a = &after[3 * (left + x)];
            lumaBefore[static_cast<std::size_t>(y) * width + x] = 0.2126f * b[0] + 0.7152f * b[1] + 0.0722f * b[2];
            lumaAfter[static_cast<std::size_t>(y) * width + x] = 0.2126f * a[0] + 0.7152f * a[1] + 0.0722f * a[2];
        }
    }
    TEdgeWindows edges{width, height, std::vector<float>(lumaBefore.size()), std::vector<float>(lumaBefore.size())};
    for (int y = 1; y + 1 < height; ++y)
        for (int x = 1; x + 1 < width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * width + x;
            auto strength = [&](const std::vector<float>& luma) {
                const float dx = luma[i + 1] - luma[i - 1];
                const float dy = luma[i + width] - luma[i - width];
                const float s = std::fabs(dx) + std::fabs(dy);
                return std::isfinite(s) ? s : 0.0f;
            };
            edges.Before[i] = strength(lumaBefore);
            edges.After[i] = strength(lumaAfter);
        }
    return edges;
}

// Pooled sums for the normalised cross-correlation at one shift.
struct TCorrelation {
    double Sa = 0, Sb = 0, Saa = 0, Sbb = 0, Sab = 0, N = 0;

    double Value() const {
        if (N == 0) return 0.0;
        const double cov = Sab - Sa * Sb / N;
        const double va = Saa - Sa * Sa / N;
        const double vb = Sbb - Sb * Sb / N;
        return va > 0 && vb > 0 ? cov / std::sqrt(va * vb) : 0.0;
    }
};

// Whether edges that agree this well at a shift say that AFTER lies there
// rather than in place. Frames moved by a pixel or more agree at their
// shift by 0.2 and more better than in place; smooth gradients, whose edges
// change slowly across the frame, agree about as well at every shift
// (within 0.02) or hardly anywhere, and are taken as in place.
constexpr double kMinShiftedCorrelation = 0.25;
constexpr double kMinShiftGain = 0.1;

bool ClearlyBetter(double shifted, double inPlace) {
    return shifted >= kMinShiftedCorrelation && shifted >= inPlace + kMinShiftGain;
}

}  // namespace

void MatchPairSizes(TImage& before, TImage& after, const std::string& beforeName, const std::string& afterName) {
    const int which =
        PictureToReduce(before.Width(), before.Height(), after.Width(), after.Height(), beforeName, afterName);
    if (which == 1) {
        TImage reduced;
        ResizeImage(after.Width(), after.Height(), kLanczos3Filter, reduced, before, 0.0f);
        before = std::move(reduced);
    } else if (which == 2) {
        TImage reduced;
        ResizeImage(before.Width(), before.Height(), kLanczos3Filter, reduced, after, 0.0f);
        after = std::move(reduced);
    }
}

void MatchPairSizes(TDeepImage& before, TDeepImage& after, const std::string& beforeName,
                    const std::string& afterName) {
    const int which =
        PictureToReduce(before.Width(), before.Height(), after.Width(), after.Height(), beforeName, afterName);
    if (which == 1)
        before = ReduceDeep(before, after.Width(), after.Height());
    else if (which == 2)
        after = ReduceDeep(after, before.Width(), before.Height());
}

TPairShift MeasurePairShift(const TPicturePair& pair) {
    constexpr int kSpan = 2 * kMaxMeasuredShift + 1;
    std::vector<TCorrelation> sums(kSpan * kSpan);
    const int margin = kMaxMeasuredShift + 1;
    for (const TWindow& window : SpreadWindows(pair.Width, pair.Height)) {
        const TEdgeWindows edges = EdgesAround(pair, window);
        for (int dy = -kMaxMeasuredShift; dy <= kMaxMeasuredShift; ++dy)
            for (int dx = -kMaxMeasuredShift; dx <= kMaxMeasuredShift; ++dx) {
                TCorrelation& c = sums[(dy + kMaxMeasuredShift) * kSpan + dx + kMaxMeasuredShift];
                for (int y = margin; y < margin + window.Height; ++y)
                    for (int x = margin; x < margin + window.Width; ++x) {
                        const double a = edges.Before[static_cast<std::size_t>(y) * edges.Width + x];
                        const double b = edges.After[static_cast<std::size_t>(y + dy) * edges.Width + x + dx];
                        c.Sa += a;
                        c.Sb += b;
                        c.Saa += a * a;
                        c.Sbb += b * b;
                        c.Sab += a * b;
                        c.N += 1;
                    }
            }
    }
    TPairShift best;
    const double inPlace = sums[kMaxMeasuredShift * kSpan + kMaxMeasuredShift].Value();
    double bestValue = inPlace;
    for (int dy = -kMaxMeasuredShift; dy <= kMaxMeasuredShift; ++dy)
        for (int dx = -kMaxMeasuredShift; dx <= kMaxMeasuredShift; ++dx) {
            const double value = sums[(dy + kMaxMeasuredShift) * kSpan + dx + kMaxMeasuredShift].Value();
            if (value > bestValue) {
                bestValue = value;
                best = {dx, dy};
            }
        }
    return ClearlyBetter(bestValue, inPlace) ? best : TPairShift{};
}

TPicturePair PairOfImages(const TImage& before, const TImage& after) {
    auto row = [](const TImage& image, int y, float* rgb) {
        const std::uint8_t* p = image.Row(y);
        for (int x = 0; x < image.Width(); ++x, p += 3) {
            rgb[3 * x] = p[2] / 255.0f;
            rgb[3 * x + 1] = p[1] / 255.0f;
            rgb[3 * x + 2] = p[0] / 255.0f;
        }
    };
    return {before.Width(), before.Height(), [&before, &after, row](int y, float* b, float* a) {
                row(before, y, b);
                row(after, y, a);
            }};
}

TLearnedLook LearnLook(const TPicturePair& pair, const TLutFitSettings& settings, const std::string& beforeName,
                       const std::string& afterName) {
    const TPairShift shift = MeasurePairShift(pair);
    if (std::abs(shift.X) > 1 || std::abs(shift.Y) > 1)
        throw EError("\"" + afterName + "\" is shifted against \"" + beforeName + "\" by " + std::to_string(shift.X) +
                     ", " + std::to_string(shift.Y) +
                     " pixels (across, down); a graded pair must show the frame in the same place");
    TLearnedLook look;
    look.Lut = std::make_unique<TLUT>();
    look.Coverage = FitLutToPair(pair, settings, *look.Lut);
    look.Quality = MeasureFit(pair, *look.Lut);
    return look;
}
