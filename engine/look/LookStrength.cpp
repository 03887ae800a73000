#include "engine/look/LookStrength.h"

#include <algorithm>
#include <string>

#include "engine/base/Error.h"
#include "engine/base/Parallel.h"
#include "engine/lut/LUT.h"

namespace {

constexpr int kStrengthMinPointsPerThread = 4096;

double Dosed(double in, double look, double s) { return in + s * (look - in); }

}  // namespace

void ApplyLookStrength(double strength, TLUT& lut) {
    if (!(strength >= 0.0 && strength <= 1.0))
        throw EError("The look strength " + std::to_string(strength) + " is outside the range 0 to 1.");
    if (strength == 1.0) return;
    const int n = lut.CubeSize;
    if (n < 2 || n > kMaxCubeSize) throw EError("The cube size " + std::to_string(n) + " cannot be dosed.");
    const double last = n - 1;
    const int minPlanes = std::max(1, kStrengthMinPointsPerThread / (n * n));
    ParallelFor(n, minPlanes, [&](int i0, int i1) {
        for (int i = i0; i < i1; ++i)
            for (int j = 0; j < n; ++j)
                for (int k = 0; k < n; ++k) {
                    TRGBDouble& c = lut.Cube[i][j][k];
                    c = {Dosed(i / last, c.Red, strength), Dosed(j / last, c.Green, strength),
                         Dosed(k / last, c.Blue, strength)};
                }
    });
}
