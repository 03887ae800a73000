#pragma once
#include "engine/lut/LutChain.h"

// out = M * in + offset, on the three colour channels.
class TMatrixOperation : public TLutOperation {
public:
    TMatrixOperation(const double (&matrix)[3][3], const double (&offset)[3]);
    void Apply(TRGBDouble& colour) const override;
    bool PerChannel() const override;

private:
    double m_[3][3];
    double offset_[3];
};
