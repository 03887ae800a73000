#pragma once

// Below 0 or not a number gives 0, above 1 gives 1.
inline double Clamp01(double v) {
    if (!(v >= 0.0)) return 0.0;
    if (v > 1.0) return 1.0;
    return v;
}
