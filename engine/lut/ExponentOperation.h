#pragma once
#include <array>

#include "engine/lut/LutChain.h"

// The power functions of the Common LUT Format's Exponent element: a plain
// power (negative inputs to 0, mirrored, or passed through) and the
// monitor curve, a power with a straight segment near black, each forward
// or reversed.
enum class TExponentStyle {
    BasicFwd,
    BasicRev,
    BasicMirrorFwd,
    BasicMirrorRev,
    BasicPassThruFwd,
    BasicPassThruRev,
    MonCurveFwd,
    MonCurveRev,
    MonCurveMirrorFwd,
    MonCurveMirrorRev
};

class TExponentOperation : public TLutOperation {
public:
    struct TParams {
        double Exponent = 1.0;
        double Offset = 0.0;  // the monitor curves only
    };
    TExponentOperation(TExponentStyle style, const std::array<TParams, 3>& channels);
    void Apply(TRGBDouble& colour) const override;
    bool PerChannel() const override { return true; }

private:
    double Map(int channel, double x) const;
    double MonCurve(int channel, double x) const;

    TExponentStyle style_;
    std::array<TParams, 3> params_;
};
