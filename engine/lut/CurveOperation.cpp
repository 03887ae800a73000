#include "engine/lut/CurveOperation.h"

#include <algorithm>
#include <cmath>

#include "engine/base/Clamp01.h"
#include "engine/lut/HalfFloat.h"

namespace {

double Part(const TRGBDouble& colour, int channel) {
    return channel == 0 ? colour.Red : channel == 1 ? colour.Green : colour.Blue;
}

}  // namespace

TCurveOperation::TCurveOperation(std::vector<TRGBDouble> entries, const TRGBDouble& domainMin,
                                 const TRGBDouble& domainMax)
    : entries_(std::move(entries)) {
    for (int c = 0; c < 3; ++c) {
        min_[c] = Part(domainMin, c);
        max_[c] = Part(domainMax, c);
    }
}

std::unique_ptr<TCurveOperation> TCurveOperation::HalfDomain(std::vector<TRGBDouble> entries, double inputScale) {
    auto curve = std::make_unique<TCurveOperation>(std::move(entries), TRGBDouble{0, 0, 0}, TRGBDouble{1, 1, 1});
    curve->halfDomain_ = true;
    curve->inputScale_ = inputScale;
    return curve;
}

bool TCurveOperation::IsPlain() const {
    return !halfDomain_ && min_[0] == 0 && min_[1] == 0 && min_[2] == 0 && max_[0] == 1 && max_[1] == 1 && max_[2] == 1;
}

void TCurveOperation::Apply(TRGBDouble& colour) const {
    if (halfDomain_)
        colour = TRGBDouble{HalfChannel(0, colour.Red), HalfChannel(1, colour.Green), HalfChannel(2, colour.Blue)};
    else
        colour = TRGBDouble{Channel(0, colour.Red), Channel(1, colour.Green), Channel(2, colour.Blue)};
}

// The same arithmetic as TLUT's curve lookup, after the domain's scaling.
double TCurveOperation::Channel(int channel, double x) const {
    const int last = static_cast<int>(entries_.size()) - 1;
    const double t = (x - min_[channel]) / (max_[channel] - min_[channel]);
    const double p = last * Clamp01(t);
    const int i = static_cast<int>(p);
    const int next = std::min(i + 1, last);
    const double f = p - i;
    return (1.0 - f) * Part(entries_[static_cast<std::size_t>(i)], channel) +
           f * Part(entries_[static_cast<std::size_t>(next)], channel);
}

double TCurveOperation::HalfChannel(int channel, double x) const {
    x *= inputScale_;
    const std::uint16_t low = HalfTowardZero(x);
    const double lowValue = HalfToDouble(low);
    const double lowEntry = Part(entries_[low], channel);
    if (std::isnan(x) || lowValue == x || (low & 0x7fff) == 0x7bff) return lowEntry;
    const auto high = static_cast<std::uint16_t>(low + 1);
    const double f = (x - lowValue) / (HalfToDouble(high) - lowValue);
    return (1.0 - f) * lowEntry + f * Part(entries_[high], channel);
}
