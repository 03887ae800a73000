#include "engine/colour/ColourDifference.h"

#include <cmath>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;

double SrgbToLinear(double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); }

// The CIELAB companding of a ratio to the white.
double LabF(double t) {
    constexpr double kEpsilon = 216.0 / 24389.0;
    constexpr double kKappa = 24389.0 / 27.0;
    return t > kEpsilon ? std::cbrt(t) : (kKappa * t + 16.0) / 116.0;
}

double Degrees(double radians) { return radians * 180.0 / kPi; }
double Radians(double degrees) { return degrees * kPi / 180.0; }

// The hue angle in degrees, 0..360; 0 for a neutral.
double HueAngle(double b, double a) {
    if (a == 0.0 && b == 0.0) return 0.0;
    const double h = Degrees(std::atan2(b, a));
    return h < 0.0 ? h + 360.0 : h;
}

}  // namespace

TLab SrgbToLab(double red, double green, double blue) {
    const double r = SrgbToLinear(red);
    const double g = SrgbToLinear(green);
    const double b = SrgbToLinear(blue);
    // sRGB primaries to XYZ, divided by the D65 white.
    const double x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / 0.95047;
    const double y = 0.2126729 * r + 0.7151522 * g + 0.0721750 * b;
    const double z = (0.0193339 * r + 0.1191920 * g + 0.9503041 * b) / 1.08883;
    const double fx = LabF(x);
    const double fy = LabF(y);
    const double fz = LabF(z);
    return {116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz)};
}

double DeltaE2000(const TLab& first, const TLab& second) {
    const double c1 = std::hypot(first.A, first.B);
    const double c2 = std::hypot(second.A, second.B);
    const double meanC = (c1 + c2) / 2.0;
    const double meanC7 = std::pow(meanC, 7.0);
    const double g = 0.5 * (1.0 - std::sqrt(meanC7 / (meanC7 + std::pow(25.0, 7.0))));
    const double a1 = (1.0 + g) * first.A;
    const double a2 = (1.0 + g) * second.A;
    const double c1p = std::hypot(a1, first.B);
    const double c2p = std::hypot(a2, second.B);
    const double h1p = HueAngle(first.B, a1);
    const double h2p = HueAngle(second.B, a2);

    const double deltaL = second.L - first.L;
    const double deltaC = c2p - c1p;
    double deltaHue = 0.0;
    if (c1p * c2p != 0.0) {
        deltaHue = h2p - h1p;
        if (deltaHue > 180.0)
            deltaHue -= 360.0;
        else if (deltaHue < -180.0)
            deltaHue += 360.0;
    }
    const double deltaH = 2.0 * std::sqrt(c1p * c2p) * std::sin(Radians(deltaHue / 2.0));

    const double meanL = (first.L + second.L) / 2.0;
    const double meanCp = (c1p + c2p) / 2.0;
    double meanH = h1p + h2p;
    if (c1p * c2p != 0.0) {
        if (std::fabs(h1p - h2p) <= 180.0)
            meanH /= 2.0;
        else
            meanH = meanH < 360.0 ? (meanH + 360.0) / 2.0 : (meanH - 360.0) / 2.0;
    }
    const double t = 1.0 - 0.17 * std::cos(Radians(meanH - 30.0)) + 0.24 * std::cos(Radians(2.0 * meanH)) +
                     0.32 * std::cos(Radians(3.0 * meanH + 6.0)) - 0.20 * std::cos(Radians(4.0 * meanH - 63.0));
    const double deltaTheta = 30.0 * std::exp(-std::pow((meanH - 275.0) / 25.0, 2.0));
    const double meanCp7 = std::pow(meanCp, 7.0);
    const double rC = 2.0 * std::sqrt(meanCp7 / (meanCp7 + std::pow(25.0, 7.0)));
    const double l50 = (meanL - 50.0) * (meanL - 50.0);
    const double sL = 1.0 + 0.015 * l50 / std::sqrt(20.0 + l50);
    const double sC = 1.0 + 0.045 * meanCp;
    const double sH = 1.0 + 0.015 * meanCp * t;
    const double rT = -std::sin(Radians(2.0 * deltaTheta)) * rC;

    const double termL = deltaL / sL;
    const double termC = deltaC / sC;
    const double termH = deltaH / sH;
    return std::sqrt(termL * termL + termC * termC + termH * termH + rT * termC * termH);
}
