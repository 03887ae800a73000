#pragma once
#include "engine/colour/ColorSpace.h"

// Mean U, spread of U, mean V, spread of V of a picture for one colour.
struct TChromaTarget {
    double MeanU, DevU, MeanV, DevV;
};

// The chroma statistics a colour of luma Y is measured against, taken from
// the three luma ranges of a picture's statistics: with advanced analysis
// blended linearly by Y (the low range in force at Y = 0, the middle one at
// 0.5, the high one at 1), else the plain average of the three ranges
// whatever their pixel counts. The reference's targets and the frame's own
// statistics in match mode are both taken this way.
class TChromaTargets {
public:
    TChromaTargets(const TColorStats& stats, bool advanced) : stats_(stats), advanced_(advanced) {
        const TRangeStats* r = stats_.Ranges;
        average_ = {(r[0].MeanU + r[1].MeanU + r[2].MeanU) / 3.0, (r[0].DevU + r[1].DevU + r[2].DevU) / 3.0,
                    (r[0].MeanV + r[1].MeanV + r[2].MeanV) / 3.0, (r[0].DevV + r[1].DevV + r[2].DevV) / 3.0};
    }

    TChromaTarget At(double Y) const {
        if (!advanced_) return average_;
        const TRangeStats* r = stats_.Ranges;
        if (Y < 0.5) return Blend(r[0], r[1], Y / 0.5);
        return Blend(r[1], r[2], (Y - 0.5) / 0.5);
    }

private:
    static TChromaTarget Blend(const TRangeStats& a, const TRangeStats& b, double t) {
        return {(1.0 - t) * a.MeanU + t * b.MeanU, (1.0 - t) * a.DevU + t * b.DevU, (1.0 - t) * a.MeanV + t * b.MeanV,
                (1.0 - t) * a.DevV + t * b.DevV};
    }

    TColorStats stats_;
    bool advanced_;
    TChromaTarget average_{};
};

// Below this spread a frame's chroma cannot be divided out; such a colour
// is transferred as from a neutral source.
constexpr double kMinSourceSpread = 1e-6;

// The Gain whose chroma scale is 1: Color Gain 100 (Gain = 5 / position,
// so position / 100 = kUnityGain / Gain).
constexpr double kUnityGain = 0.05;

// The chroma step of the look for one colour. gain 0 leaves chroma as it
// is. Without a source (nullptr): U := (su / gain) U + mu, V likewise.
// With the frame's statistics for this colour:
// U := (su / ssu) (kUnityGain / gain) (U - smu) + mu, V likewise; where
// either source spread is below kMinSourceSpread the colour takes the form
// without a source.
inline void TransferChroma(const TChromaTarget& target, const TChromaTarget* source, double gain, double& U,
                           double& V) {
    if (!(gain > 0.0)) return;
    if (source && source->DevU >= kMinSourceSpread && source->DevV >= kMinSourceSpread) {
        const double scale = kUnityGain / gain;
        U = (target.DevU / source->DevU) * scale * (U - source->MeanU) + target.MeanU;
        V = (target.DevV / source->DevV) * scale * (V - source->MeanV) + target.MeanV;
        return;
    }
    U = (target.DevU / gain) * U + target.MeanU;
    V = (target.DevV / gain) * V + target.MeanV;
}
