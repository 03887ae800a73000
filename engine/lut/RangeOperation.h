#pragma once
#include "engine/lut/LutChain.h"

// Scales and offsets from the input bounds to the output bounds, clamping
// to the output bounds unless told not to; with only the minimum pair (or
// only the maximum pair) it clamps at that end and shifts by the pair's
// difference. Bounds are normalised values.
class TRangeOperation : public TLutOperation {
public:
    struct TBounds {
        bool HasMin = false, HasMax = false;
        double MinIn = 0, MinOut = 0, MaxIn = 1, MaxOut = 1;
        bool Clamp = true;
    };
    explicit TRangeOperation(const TBounds& bounds);
    void Apply(TRGBDouble& colour) const override;
    bool PerChannel() const override { return true; }

private:
    double Map(double x) const;

    TBounds bounds_;
    double scale_ = 1;
};
