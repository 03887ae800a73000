#pragma once
#include <array>

#include "engine/lut/LutChain.h"

// The logarithmic functions of the Common LUT Format's Log element.
enum class TLogStyle { Log10, Log2, AntiLog10, AntiLog2, LinToLog, LogToLin, CameraLinToLog, CameraLogToLin };

class TLogOperation : public TLutOperation {
public:
    // The parameters of one channel, with the format's defaults.
    struct TParams {
        double Base = 2.0;
        double LogSideSlope = 1.0, LogSideOffset = 0.0;
        double LinSideSlope = 1.0, LinSideOffset = 0.0;
        double LinSideBreak = 0.0;
        double LinearSlope = 0.0;  // used when HasLinearSlope
        bool HasLinearSlope = false;
    };
    TLogOperation(TLogStyle style, const std::array<TParams, 3>& channels);
    void Apply(TRGBDouble& colour) const override;
    bool PerChannel() const override { return true; }

private:
    double Map(int channel, double x) const;

    TLogStyle style_;
    std::array<TParams, 3> params_;
    // The camera styles' straight segment below the break, per channel.
    double linearSlope_[3] = {}, linearOffset_[3] = {}, logSideBreak_[3] = {};
};
