#include "engine/fit/StructureAgreement.h"

#include <algorithm>
#include <cmath>

#include "engine/base/Parallel.h"
#include "engine/fit/ShotCorrespondence.h"

namespace {

// The mean squared gradient (luma 0..1 over two pixels) a window needs in
// both frames to count as showing structure: a few code values of 8 bits.
constexpr double kMinGradientEnergy = 0.012 * 0.012;
constexpr int kAgreementRowsPerSlice = 8;

float PixelLuma(const float* rgb) { return 0.2126f * rgb[0] + 0.7152f * rgb[1] + 0.0722f * rgb[2]; }

// Per pixel, the products the window sums: frame . graded, frame^2, graded^2.
struct TGradientProducts {
    std::vector<double> Cross;
    std::vector<double> Frame;
    std::vector<double> Graded;
};

// Central differences of both lumas where the pixel and its four
// neighbours overlap GRADED; zero elsewhere.
void GradientAt(const TShotCorrespondence& pair, int x, int y, TGradientProducts& out) {
    const std::size_t i = static_cast<std::size_t>(y) * pair.Width + x;
    if (x == 0 || y == 0 || x == pair.Width - 1 || y == pair.Height - 1) return;
    const std::size_t n[4] = {i - 1, i + 1, i - pair.Width, i + pair.Width};
    for (std::size_t k : n)
        if (!pair.Overlap[k]) return;
    const double fx = PixelLuma(&pair.Frame[n[1] * 3]) - PixelLuma(&pair.Frame[n[0] * 3]);
    const double fy = PixelLuma(&pair.Frame[n[3] * 3]) - PixelLuma(&pair.Frame[n[2] * 3]);
    const double gx = PixelLuma(&pair.Graded[n[1] * 3]) - PixelLuma(&pair.Graded[n[0] * 3]);
    const double gy = PixelLuma(&pair.Graded[n[3] * 3]) - PixelLuma(&pair.Graded[n[2] * 3]);
    out.Cross[i] = fx * gx + fy * gy;
    out.Frame[i] = fx * fx + fy * fy;
    out.Graded[i] = gx * gx + gy * gy;
}

TGradientProducts GradientProducts(const TShotCorrespondence& pair) {
    TGradientProducts products;
    products.Cross.assign(pair.Pixels(), 0.0);
    products.Frame.assign(pair.Pixels(), 0.0);
    products.Graded.assign(pair.Pixels(), 0.0);
    ParallelFor(pair.Height, kAgreementRowsPerSlice, [&](int begin, int end) {
        for (int y = begin; y < end; ++y)
            for (int x = 0; x < pair.Width; ++x) GradientAt(pair, x, y, products);
    });
    return products;
}

// Sums over the square window of each pixel (cut at the borders): a
// horizontal then a vertical running sum, each row and column on its own,
// so the result does not depend on the threads.
std::vector<double> WindowSums(const std::vector<double>& values, int width, int height) {
    std::vector<double> across(values.size(), 0.0), window(values.size(), 0.0);
    const int r = kAgreementRadius;
    ParallelFor(height, kAgreementRowsPerSlice, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            const double* in = &values[static_cast<std::size_t>(y) * width];
            double* out = &across[static_cast<std::size_t>(y) * width];
            for (int x = 0; x < width; ++x)
                for (int k = std::max(0, x - r); k <= std::min(width - 1, x + r); ++k) out[x] += in[k];
        }
    });
    ParallelFor(height, kAgreementRowsPerSlice, [&](int begin, int end) {
        for (int y = begin; y < end; ++y)
            for (int k = std::max(0, y - r); k <= std::min(height - 1, y + r); ++k) {
                const double* in = &across[static_cast<std::size_t>(k) * width];
                double* out = &window[static_cast<std::size_t>(y) * width];
                for (int x = 0; x < width; ++x) out[x] += in[x];
            }
    });
    return window;
}

std::uint8_t Judged(double cross, double frame, double graded, double count) {
    if (frame < kMinGradientEnergy * count || graded < kMinGradientEnergy * count) return agFlat;
    return cross >= kStructureThreshold * std::sqrt(frame * graded) ? agAgrees : agDiffers;
}

}  // namespace

std::vector<std::uint8_t> StructureAgreement(const TShotCorrespondence& pair) {
    const TGradientProducts products = GradientProducts(pair);
    const std::vector<double> cross = WindowSums(products.Cross, pair.Width, pair.Height);
    const std::vector<double> frame = WindowSums(products.Frame, pair.Width, pair.Height);
    const std::vector<double> graded = WindowSums(products.Graded, pair.Width, pair.Height);
    const double count = (2.0 * kAgreementRadius + 1) * (2.0 * kAgreementRadius + 1);
    std::vector<std::uint8_t> agreement(pair.Pixels(), agOutside);
    for (std::size_t i = 0; i < agreement.size(); ++i)
        if (pair.Overlap[i]) agreement[i] = Judged(cross[i], frame[i], graded[i], count);
    return agreement;
}
