#pragma once
#include <cstdint>

class TImage;

// Colour conversions on 64-bit floats. RGB components are normalised (0..1 in
// normal use) but any value is accepted; hue is in degrees, [0, 360).
void RGBToHSL(double R, double G, double B, double& H, double& S, double& L);
// Clamps its inputs first: a hue of 360 or more becomes 0, S and L above 1
// become 1, negative or not-a-number H, S and L become 0.
void HSLToRGB(double H, double S, double L, double& R, double& G, double& B);
// Analogue YUV with the BT.601 luma weights. Nothing is clamped.
void RGBToYUV(double R, double G, double B, double& Y, double& U, double& V);
void YUVToRGB(double Y, double U, double V, double& R, double& G, double& B);
// |x| - y * trunc(|x| / y): the sign of x is dropped. Throws EError for y = 0.
double FloatMod(double x, double y);

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
