#include "engine/lut/RangeOperation.h"

#include <algorithm>

TRangeOperation::TRangeOperation(const TBounds& bounds) : bounds_(bounds) {
    if (bounds.HasMin && bounds.HasMax) scale_ = (bounds.MaxOut - bounds.MinOut) / (bounds.MaxIn - bounds.MinIn);
}

void TRangeOperation::Apply(TRGBDouble& colour) const {
    colour = TRGBDouble{Map(colour.Red), Map(colour.Green), Map(colour.Blue)};
}

double TRangeOperation::Map(double x) const {
    const TBounds& b = bounds_;
    if (b.HasMin && b.HasMax) {
        const double y = b.MinOut + (x - b.MinIn) * scale_;
        return b.Clamp ? std::clamp(y, std::min(b.MinOut, b.MaxOut), std::max(b.MinOut, b.MaxOut)) : y;
    }
    if (b.HasMin) return std::max(x, b.MinIn) + (b.MinOut - b.MinIn);
    return std::min(x, b.MaxIn) + (b.MaxOut - b.MaxIn);
}
