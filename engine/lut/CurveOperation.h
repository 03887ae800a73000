#pragma once
#include <vector>

#include "engine/lut/LutChain.h"

// A 1D table per channel, linearly interpolated. Entries are spread evenly
// over the input domain [DomainMin, DomainMax] (per channel; inputs outside
// take the end entries), or, for a half-domain table of 65536 entries,
// indexed by the half-float bit pattern of the input and interpolated
// between the two halves that bracket it.
class TCurveOperation : public TLutOperation {
public:
    TCurveOperation(std::vector<TRGBDouble> entries, const TRGBDouble& domainMin, const TRGBDouble& domainMax);
    // A half-domain table: exactly 65536 entries, indexed by the input
    // multiplied by inputScale.
    static std::unique_ptr<TCurveOperation> HalfDomain(std::vector<TRGBDouble> entries, double inputScale = 1.0);

    void Apply(TRGBDouble& colour) const override;
    bool PerChannel() const override { return true; }
    const std::vector<TRGBDouble>& Entries() const { return entries_; }
    // True for a table spread over 0..1 on every channel.
    bool IsPlain() const;

private:
    double Channel(int channel, double x) const;
    double HalfChannel(int channel, double x) const;

    std::vector<TRGBDouble> entries_;
    double min_[3] = {0, 0, 0};
    double max_[3] = {1, 1, 1};
    bool halfDomain_ = false;
    double inputScale_ = 1.0;
};
