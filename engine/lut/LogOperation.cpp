#include "engine/lut/LogOperation.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Logarithms of values at or below zero take the smallest normal float,
// as the 32-bit processors that read these files do.
double SafeLog2(double x) { return std::log2(std::max(x, static_cast<double>(std::numeric_limits<float>::min()))); }

}  // namespace

TLogOperation::TLogOperation(TLogStyle style, const std::array<TParams, 3>& channels)
    : style_(style), params_(channels) {
    for (int c = 0; c < 3; ++c) {
        const TParams& p = params_[static_cast<std::size_t>(c)];
        linearSlope_[c] = p.HasLinearSlope
                              ? p.LinearSlope
                              : p.LogSideSlope * p.LinSideSlope /
                                    ((p.LinSideSlope * p.LinSideBreak + p.LinSideOffset) * std::log(p.Base));
        logSideBreak_[c] =
            p.LogSideSlope * SafeLog2(p.LinSideSlope * p.LinSideBreak + p.LinSideOffset) / std::log2(p.Base) +
            p.LogSideOffset;
        linearOffset_[c] = logSideBreak_[c] - linearSlope_[c] * p.LinSideBreak;
    }
}

void TLogOperation::Apply(TRGBDouble& colour) const {
    colour = TRGBDouble{Map(0, colour.Red), Map(1, colour.Green), Map(2, colour.Blue)};
}

double TLogOperation::Map(int channel, double x) const {
    const TParams& p = params_[static_cast<std::size_t>(channel)];
    const double log2Base = std::log2(p.Base);
    auto linToLog = [&](double v) {
        return p.LogSideSlope * SafeLog2(p.LinSideSlope * v + p.LinSideOffset) / log2Base + p.LogSideOffset;
    };
    auto logToLin = [&](double v) {
        return (std::exp2((v - p.LogSideOffset) * log2Base / p.LogSideSlope) - p.LinSideOffset) / p.LinSideSlope;
    };
    switch (style_) {
        case TLogStyle::Log10:
            return SafeLog2(x) * std::log10(2.0);
        case TLogStyle::Log2:
            return SafeLog2(x);
        case TLogStyle::AntiLog10:
            return std::pow(10.0, x);
        case TLogStyle::AntiLog2:
            return std::exp2(x);
        case TLogStyle::LinToLog:
            return linToLog(x);
        case TLogStyle::LogToLin:
            return logToLin(x);
        case TLogStyle::CameraLinToLog:
            return x < p.LinSideBreak ? linearSlope_[channel] * x + linearOffset_[channel] : linToLog(x);
        case TLogStyle::CameraLogToLin:
            return x < logSideBreak_[channel] ? (x - linearOffset_[channel]) / linearSlope_[channel] : logToLin(x);
    }
    return x;
}
