#include "engine/colour/ColorSpace.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/base/Error.h"
#include "engine/picture/Image.h"

namespace {

int RangeOf(double Y) {
    if (Y < kLowLumaLimit) return 0;
    if (Y < kMiddleLumaLimit) return 1;
    return 2;
}

void PixelYUV(const std::uint8_t* p, double& Y, double& U, double& V) {
    RGBToYUV(p[2] / 255.0, p[1] / 255.0, p[0] / 255.0, Y, U, V);
}

// Sums U and V per range (index 0..2) and over the whole image (index 3).
void SumChroma(const TImage& image, TRangeStats (&acc)[4], std::int64_t (&counts)[4]) {
    for (int y = 0; y < image.Height(); ++y) {
        const std::uint8_t* p = image.Row(y);
        for (int x = 0; x < image.Width(); ++x, p += 3) {
            double Y, U, V;
            PixelYUV(p, Y, U, V);
            for (int r : {RangeOf(Y), 3}) {
                acc[r].MeanU += U;
                acc[r].MeanV += V;
                ++counts[r];
            }
        }
    }
}

// Sums the squared differences from the means found by SumChroma.
void SumSquares(const TImage& image, TRangeStats (&acc)[4]) {
    for (int y = 0; y < image.Height(); ++y) {
        const std::uint8_t* p = image.Row(y);
        for (int x = 0; x < image.Width(); ++x, p += 3) {
            double Y, U, V;
            PixelYUV(p, Y, U, V);
            for (int r : {RangeOf(Y), 3}) {
                const double du = U - acc[r].MeanU;
                const double dv = V - acc[r].MeanV;
                acc[r].DevU += du * du;
                acc[r].DevV += dv * dv;
            }
        }
    }
}

}  // namespace

void ComputeColorStats(const TImage& image, TColorStats& stats) {
    stats = TColorStats();
    if (image.Empty()) throw EError("The reference image is empty.");

    TRangeStats acc[4];
    std::int64_t counts[4] = {0, 0, 0, 0};
    SumChroma(image, acc, counts);
    for (int r = 0; r < 4; ++r) {
        if (counts[r] == 0) continue;
        const double n = static_cast<double>(counts[r]);
        acc[r].MeanU = acc[r].MeanU / n;
        acc[r].MeanV = acc[r].MeanV / n;
    }
    SumSquares(image, acc);
    for (int r = 0; r < 4; ++r) {
        if (counts[r] == 0) continue;
        const double n = static_cast<double>(counts[r]);
        acc[r].DevU = std::sqrt(acc[r].DevU / n);
        acc[r].DevV = std::sqrt(acc[r].DevV / n);
    }
    for (int r = 0; r < 3; ++r) {
        // An empty range falls back on the statistics of the whole image.
        stats.Ranges[r] = counts[r] > 0 ? acc[r] : acc[3];
        stats.PixelCounts[r] = static_cast<std::int32_t>(std::min<std::int64_t>(counts[r], INT32_MAX));
    }
}
