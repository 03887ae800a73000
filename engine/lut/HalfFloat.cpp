#include "engine/lut/HalfFloat.h"

#include <cmath>
#include <limits>

double HalfToDouble(std::uint16_t bits) {
    const int exponent = (bits >> 10) & 0x1f;
    const double mantissa = bits & 0x3ff;
    const double sign = (bits & 0x8000) != 0 ? -1.0 : 1.0;
    if (exponent == 0) return sign * std::ldexp(mantissa, -24);
    if (exponent == 31)
        return mantissa == 0 ? sign * std::numeric_limits<double>::infinity()
                             : std::numeric_limits<double>::quiet_NaN();
    return sign * std::ldexp(1024.0 + mantissa, exponent - 25);
}

std::uint16_t HalfTowardZero(double x) {
    if (std::isnan(x)) return 0;
    const std::uint16_t sign = std::signbit(x) ? 0x8000 : 0;
    const double magnitude = std::fabs(x);
    if (magnitude >= 65504.0) return static_cast<std::uint16_t>(sign | 0x7bff);
    int exponent = 0;
    std::frexp(magnitude, &exponent);  // magnitude = f * 2^exponent, f in [0.5, 1)
    if (magnitude == 0 || exponent - 1 < -14)
        return static_cast<std::uint16_t>(sign | static_cast<std::uint16_t>(std::floor(std::ldexp(magnitude, 24))));
    const double mantissa = std::floor((std::ldexp(magnitude, 1 - exponent) - 1.0) * 1024.0);
    return static_cast<std::uint16_t>(sign | ((exponent - 1 + 15) << 10) | static_cast<int>(mantissa));
}
