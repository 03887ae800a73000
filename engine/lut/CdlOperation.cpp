#include "engine/lut/CdlOperation.h"

#include <algorithm>
#include <cmath>

namespace {

double Luma(const double (&v)[3]) { return 0.2126 * v[0] + 0.7152 * v[1] + 0.0722 * v[2]; }

void ClampTriple01(double (&v)[3]) {
    for (double& x : v) x = std::clamp(x, 0.0, 1.0);
}

// A power that lets values at or below zero through unchanged.
double PassPower(double x, double power) { return x > 0 ? std::pow(x, power) : x; }

}  // namespace

TCdlOperation::TCdlOperation(TCdlStyle style, const TValues& values) : style_(style), values_(values) {}

void TCdlOperation::Apply(TRGBDouble& colour) const {
    double v[3] = {colour.Red, colour.Green, colour.Blue};
    if (style_ == TCdlStyle::Fwd || style_ == TCdlStyle::FwdNoClamp)
        Forward(v);
    else
        Reverse(v);
    colour = TRGBDouble{v[0], v[1], v[2]};
}

void TCdlOperation::Forward(double (&v)[3]) const {
    const bool clamp = style_ == TCdlStyle::Fwd;
    for (int c = 0; c < 3; ++c) {
        v[c] = v[c] * values_.Slope[c] + values_.Offset[c];
        v[c] = clamp ? std::pow(std::clamp(v[c], 0.0, 1.0), values_.Power[c]) : PassPower(v[c], values_.Power[c]);
    }
    const double luma = Luma(v);
    for (double& x : v) x = luma + values_.Saturation * (x - luma);
    if (clamp) ClampTriple01(v);
}

void TCdlOperation::Reverse(double (&v)[3]) const {
    const bool clamp = style_ == TCdlStyle::Rev;
    if (clamp) ClampTriple01(v);
    const double luma = Luma(v);
    for (double& x : v) x = luma + (x - luma) / values_.Saturation;
    for (int c = 0; c < 3; ++c) {
        v[c] = clamp ? std::pow(std::clamp(v[c], 0.0, 1.0), 1.0 / values_.Power[c])
                     : PassPower(v[c], 1.0 / values_.Power[c]);
        v[c] = (v[c] - values_.Offset[c]) / values_.Slope[c];
    }
    if (clamp) ClampTriple01(v);
}
