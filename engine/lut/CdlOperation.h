#pragma once
#include "engine/lut/LutChain.h"

// An ASC colour decision (slope, offset, power per channel, then saturation
// around Rec. 709 luma), forward or reversed, with the clamps of the ASC's
// v1.2 definition or without them (values below zero then pass the power
// unchanged).
enum class TCdlStyle { Fwd, Rev, FwdNoClamp, RevNoClamp };

class TCdlOperation : public TLutOperation {
public:
    struct TValues {
        double Slope[3] = {1, 1, 1};
        double Offset[3] = {0, 0, 0};
        double Power[3] = {1, 1, 1};
        double Saturation = 1;
    };
    TCdlOperation(TCdlStyle style, const TValues& values);
    void Apply(TRGBDouble& colour) const override;
    bool PerChannel() const override { return values_.Saturation == 1.0; }

private:
    void Forward(double (&v)[3]) const;
    void Reverse(double (&v)[3]) const;

    TCdlStyle style_;
    TValues values_;
};
