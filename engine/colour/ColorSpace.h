#pragma once
#include <cmath>
#include <cstdint>

#include "engine/base/Error.h"

class TImage;

// Colour conversions on 64-bit floats. RGB components are normalised (0..1 in
// normal use) but any value is accepted; hue is in degrees, [0, 360).
// They are defined here so that the look transfer, which calls them for every
// grid point, can have them inlined.
//
// RGBToHSL: hue, saturation and lightness.
// HSLToRGB: clamps its inputs first: a hue of 360 or more becomes 0, S and L
//   above 1 become 1, negative or not-a-number H, S and L become 0.
// RGBToYUV, YUVToRGB: analogue YUV with the BT.601 luma weights, unclamped.
// FloatMod: |x| - y * trunc(|x| / y), the sign of x dropped; EError for y = 0.

inline double FloatMod(double x, double y) {
    if (y == 0.0) throw EError("Floating point division by zero");
    const double a = std::fabs(x);
    const double q = a / y;
    // Truncation through a 64-bit integer where the quotient fits, as trunc would.
    const double t =
        std::fabs(q) < 9007199254740992.0 ? static_cast<double>(static_cast<std::int64_t>(q)) : std::trunc(q);
    return a - y * t;
}

inline void RGBToHSL(double R, double G, double B, double& H, double& S, double& L) {
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

inline void HSLToRGB(double H, double S, double L, double& R, double& G, double& B) {
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
        R = C;
        G = X;
        B = 0.0;
    } else if (H < 120.0) {
        R = X;
        G = C;
        B = 0.0;
    } else if (H < 180.0) {
        R = 0.0;
        G = C;
        B = X;
    } else if (H < 240.0) {
        R = 0.0;
        G = X;
        B = C;
    } else if (H < 300.0) {
        R = X;
        G = 0.0;
        B = C;
    } else {
        R = C;
        G = 0.0;
        B = X;
    }
    R = R + m;
    G = G + m;
    B = B + m;
}

inline void RGBToYUV(double R, double G, double B, double& Y, double& U, double& V) {
    Y = 0.299 * R + 0.587 * G + 0.114 * B;
    U = -0.14713 * R - 0.28886 * G + 0.436 * B;
    V = 0.615 * R - 0.51499 * G - 0.10001 * B;
}

inline void YUVToRGB(double Y, double U, double V, double& R, double& G, double& B) {
    R = Y + 1.13983 * V;
    G = Y - 0.39465 * U - 0.5806 * V;
    B = Y + 2.03211 * U;
}

// Chroma statistics of one luma range.
struct TRangeStats {
    double MeanU = 0.0;
    double DevU = 0.0;  // population standard deviation of U
    double MeanV = 0.0;
    double DevV = 0.0;
};

constexpr double kLowLumaLimit = 0.33;     // Y below this is a low tone
constexpr double kMiddleLumaLimit = 0.66;  // Y below this (and not low) is a middle tone

// Chroma statistics of a reference image in three luma ranges:
// 0 = low (Y < 0.33), 1 = middle (0.33 <= Y < 0.66), 2 = high (Y >= 0.66).
struct TColorStats {
    TRangeStats Ranges[3];
    std::int32_t PixelCounts[3] = {0, 0, 0};
};

// Measures the image. A luma range without pixels gets the mean and deviation
// of all pixels of the image (its pixel count stays 0), so every non-empty
// reference is usable. Throws EError for an image without pixels.
void ComputeColorStats(const TImage& image, TColorStats& stats);
