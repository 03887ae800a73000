#include "LookTransfer.h"

#include <algorithm>
#include <string>

#include "Clamp01.h"
#include "Error.h"
#include "LUT.h"
#include "Parallel.h"

namespace {

constexpr double kCompressKnee = 0.4;
constexpr double kCompressRatio = 5.0;

double HueFactor(const TSaturationFactors& f, double H) {
    if (H < 30.0) return f.Red * (1.0 - H / 30.0) + f.Orange * (H / 30.0);
    if (H < 60.0) return f.Orange * (1.0 - (H - 30.0) / 30.0) + f.Yellow * ((H - 30.0) / 30.0);
    if (H < 120.0) return f.Yellow * (1.0 - (H - 60.0) / 60.0) + f.Green * ((H - 60.0) / 60.0);
    if (H < 240.0) return f.Green * (1.0 - (H - 120.0) / 120.0) + f.Blue * ((H - 120.0) / 120.0);
    if (H < 300.0) return f.Blue * (1.0 - (H - 240.0) / 60.0) + f.Violet * ((H - 240.0) / 60.0);
    return f.Violet * (1.0 - (H - 300.0) / 60.0) + f.Red * ((H - 300.0) / 60.0);
}

double ToneFactor(const TSaturationFactors& f, double L) {
    if (L < 0.5) {
        const double t = L / 0.5;
        return f.Low * (1.0 - t) + f.Middle * t;
    }
    const double t = (L - 0.5) / 0.5;
    return f.Middle * (1.0 - t) + f.High * t;
}

void CompressSaturation(double& R, double& G, double& B) {
    double H, S, L;
    RGBToHSL(R, G, B, H, S, L);
    if (S > kCompressKnee) S = (S - kCompressKnee) / kCompressRatio + kCompressKnee;
    HSLToRGB(H, S, L, R, G, B);
}

// Mean U, spread of U, mean V, spread of V that a colour of luma Y moves to.
struct TTarget {
    double MeanU, DevU, MeanV, DevV;
};

TTarget Blend(const TRangeStats& a, const TRangeStats& b, double t) {
    return {(1.0 - t) * a.MeanU + t * b.MeanU, (1.0 - t) * a.DevU + t * b.DevU,
            (1.0 - t) * a.MeanV + t * b.MeanV, (1.0 - t) * a.DevV + t * b.DevV};
}

TTarget AverageTarget(const TColorStats& s) {
    const TRangeStats* r = s.Ranges;
    return {(r[0].MeanU + r[1].MeanU + r[2].MeanU) / 3.0, (r[0].DevU + r[1].DevU + r[2].DevU) / 3.0,
            (r[0].MeanV + r[1].MeanV + r[2].MeanV) / 3.0, (r[0].DevV + r[1].DevV + r[2].DevV) / 3.0};
}

TTarget TargetFor(const TLookSettings& settings, const TTarget& average, double Y) {
    if (!settings.AdvancedAnalysis) return average;
    const TRangeStats* r = settings.Stats.Ranges;
    if (Y < 0.5) return Blend(r[0], r[1], Y / 0.5);
    return Blend(r[1], r[2], (Y - 0.5) / 0.5);
}

TRGBDouble GridPoint(const TLookSettings& settings, const TSaturationFactors& factors,
                     const TTarget& average, int n, int i, int j, int k) {
    const double last = n - 1;
    double R = i / last, G = j / last, B = k / last;
    if (settings.CompressSaturation) CompressSaturation(R, G, B);
    double Y, U, V;
    RGBToYUV(R, G, B, Y, U, V);
    const TTarget t = TargetFor(settings, average, Y);
    if (settings.Gain > 0.0) {
        U = (t.DevU / settings.Gain) * U + t.MeanU;
        V = (t.DevV / settings.Gain) * V + t.MeanV;
    }
    YUVToRGB(Y, U, V, R, G, B);
    AdjustSaturation(factors, R, G, B);
    return {Clamp01(R), Clamp01(G), Clamp01(B)};
}

constexpr int kMinPointsPerThread = 4096;

}  // namespace

void AdjustSaturation(const TSaturationFactors& factors, double& R, double& G, double& B) {
    double H, S, L;
    RGBToHSL(R, G, B, H, S, L);
    S = S * factors.Overall;
    S = S * HueFactor(factors, H);
    if (factors.Low != 1.0f || factors.Middle != 1.0f || factors.High != 1.0f)
        S = S * ToneFactor(factors, L);
    HSLToRGB(H, S, L, R, G, B);
}

void BuildLookCube(const TLookSettings& settings, const TSaturationFactors& factors, TLUT& lut) {
    const int n = lut.CubeSize;
    if (n < kMinLookCubeSize || n > kMaxCubeSize)
        throw EError("The cube size " + std::to_string(n) + " is outside the range " +
                     std::to_string(kMinLookCubeSize) + " to " + std::to_string(kMaxCubeSize) + ".");
    const TTarget average = AverageTarget(settings.Stats);
    // Every grid point stands alone, so red planes can be shared out among threads.
    const int minPlanes = std::max(1, kMinPointsPerThread / (n * n));
    ParallelFor(n, minPlanes, [&](int i0, int i1) {
        for (int i = i0; i < i1; ++i)
            for (int j = 0; j < n; ++j)
                for (int k = 0; k < n; ++k) lut.Cube[i][j][k] = GridPoint(settings, factors, average, n, i, j, k);
    });
}
