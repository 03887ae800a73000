#include "engine/lut/ExponentOperation.h"

#include <algorithm>
#include <cmath>

TExponentOperation::TExponentOperation(TExponentStyle style, const std::array<TParams, 3>& channels)
    : style_(style), params_(channels) {}

void TExponentOperation::Apply(TRGBDouble& colour) const {
    colour = TRGBDouble{Map(0, colour.Red), Map(1, colour.Green), Map(2, colour.Blue)};
}

double TExponentOperation::Map(int channel, double x) const {
    const double g = params_[static_cast<std::size_t>(channel)].Exponent;
    switch (style_) {
        case TExponentStyle::BasicFwd:
            return std::pow(std::max(0.0, x), g);
        case TExponentStyle::BasicRev:
            return std::pow(std::max(0.0, x), 1.0 / g);
        case TExponentStyle::BasicMirrorFwd:
            return std::copysign(std::pow(std::fabs(x), g), x);
        case TExponentStyle::BasicMirrorRev:
            return std::copysign(std::pow(std::fabs(x), 1.0 / g), x);
        case TExponentStyle::BasicPassThruFwd:
            return x < 0 ? x : std::pow(x, g);
        case TExponentStyle::BasicPassThruRev:
            return x < 0 ? x : std::pow(x, 1.0 / g);
        case TExponentStyle::MonCurveFwd:
        case TExponentStyle::MonCurveRev:
            return MonCurve(channel, x);
        case TExponentStyle::MonCurveMirrorFwd:
        case TExponentStyle::MonCurveMirrorRev:
            return std::copysign(MonCurve(channel, std::fabs(x)), x);
    }
    return x;
}

// The monitor curve: ((x + offset) / (1 + offset))^g above the break, a line
// through zero that meets it with the same slope below; reversed, its inverse.
double TExponentOperation::MonCurve(int channel, double x) const {
    const auto& p = params_[static_cast<std::size_t>(channel)];
    const double g = p.Exponent, offset = p.Offset;
    const bool forward = style_ == TExponentStyle::MonCurveFwd || style_ == TExponentStyle::MonCurveMirrorFwd;
    if (g == 1.0)  // a straight line: no break
        return forward ? (x + offset) / (1.0 + offset) : (1.0 + offset) * x - offset;
    const double xBreak = offset / (g - 1.0);
    const double yBreak = std::pow(offset * g / ((g - 1.0) * (1.0 + offset)), g);
    // Without an offset the curve is a plain power, flat at black.
    const double slope = offset == 0.0 ? 0.0 : yBreak / xBreak;
    if (slope == 0.0 && x < 0.0) return 0.0;
    if (forward) return x >= xBreak ? std::pow((x + offset) / (1.0 + offset), g) : x * slope;
    return x >= yBreak ? (1.0 + offset) * std::pow(x, 1.0 / g) - offset : x / slope;
}
