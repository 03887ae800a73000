#include "ColorSpace.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "Error.h"
#include "Image.h"

void RGBToHSL(double R, double G, double B, double& H, double& S, double& L) {
    double mn = R, mx = R;
    if (G < mn) mn = G;
    if (B < mn) mn = B;
    if (G > mx) mx = G;
    if (B > mx) mx = B;
    const double d = mx - mn;

    H = 0.0;
    if (d != 0.0) {
        // Each later test overrides the earlier one when channels share the maximum.
        if (mx == R) {
            H = (G - B) / d;
            if (G - B < 0.0) H = H + 6.0;
        }
        if (mx == G) H = (B - R) / d + 2.0;
        if (mx == B) H = (R - G) / d + 4.0;
        H = H * 60.0;
    }

    L = 0.5 * mn + 0.5 * mx;
    if (L == 0.0 || L == 1.0)
        S = 0.0;
    else if (L > 0.5)
        S = d / (2.0 - 2.0 * L);
    else
        S = d / (2.0 * L);
}

void HSLToRGB(double H, double S, double L, double& R, double& G, double& B) {
    if (H >= 360.0) H = 0.0;
    if (S > 1.0) S = 1.0;
    if (L > 1.0) L = 1.0;
    if (!(H >= 0.0)) H = 0.0;  // negative or not a number
    if (!(S >= 0.0)) S = 0.0;
    if (!(L >= 0.0)) L = 0.0;

    const double C = (1.0 - std::fabs(2.0 * L - 1.0)) * S;
    const double X = (1.0 - std::fabs(FloatMod(H / 60.0, 2.0) - 1.0)) * C;
    const double m = L - C / 2.0;

    if (H < 60.0) {
        R = C; G = X; B = 0.0;
    } else if (H < 120.0) {
        R = X; G = C; B = 0.0;
    } else if (H < 180.0) {
        R = 0.0; G = C; B = X;
    } else if (H < 240.0) {
        R = 0.0; G = X; B = C;
    } else if (H < 300.0) {
        R = X; G = 0.0; B = C;
    } else {
        R = C; G = 0.0; B = X;
    }
    R = R + m;
    G = G + m;
    B = B + m;
}

void RGBToYUV(double R, double G, double B, double& Y, double& U, double& V) {
    Y = 0.299 * R + 0.587 * G + 0.114 * B;
    U = -0.14713 * R - 0.28886 * G + 0.436 * B;
    V = 0.615 * R - 0.51499 * G - 0.10001 * B;
}

void YUVToRGB(double Y, double U, double V, double& R, double& G, double& B) {
    R = Y + 1.13983 * V;
    G = Y - 0.39465 * U - 0.5806 * V;
    B = Y + 2.03211 * U;
}

double FloatMod(double x, double y) {
    if (y == 0.0) throw EError("Floating point division by zero");
    const double a = std::fabs(x);
    return a - y * std::trunc(a / y);
}

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
