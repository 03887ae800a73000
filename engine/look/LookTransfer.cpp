#include "engine/look/LookTransfer.h"

#include <algorithm>
#include <string>

#include "engine/base/Clamp01.h"
#include "engine/base/Error.h"
#include "engine/base/Parallel.h"
#include "engine/look/ChromaTargets.h"
#include "engine/look/LookStrength.h"
#include "engine/lut/LUT.h"

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

// The two sets of chroma statistics a colour is transferred with: the
// reference's, and the frame's own in match mode.
struct TTransferTargets {
    explicit TTransferTargets(const TLookSettings& settings)
        : Reference(settings.Stats, settings.AdvancedAnalysis),
          Source(settings.SourceStats, settings.AdvancedAnalysis),
          Matched(settings.MatchSource) {}
    TChromaTargets Reference;
    TChromaTargets Source;
    bool Matched;
};

TRGBDouble LookAt(const TLookSettings& settings, const TSaturationFactors& factors, const TTransferTargets& targets,
                  double R, double G, double B) {
    if (settings.CompressSaturation) CompressSaturation(R, G, B);
    double Y, U, V;
    RGBToYUV(R, G, B, Y, U, V);
    const TChromaTarget target = targets.Reference.At(Y);
    if (targets.Matched) {
        const TChromaTarget source = targets.Source.At(Y);
        TransferChroma(target, &source, settings.Gain, U, V);
    } else {
        TransferChroma(target, nullptr, settings.Gain, U, V);
    }
    YUVToRGB(Y, U, V, R, G, B);
    AdjustSaturation(factors, R, G, B);
    return {Clamp01(R), Clamp01(G), Clamp01(B)};
}

TRGBDouble GridPoint(const TLookSettings& settings, const TSaturationFactors& factors, const TTransferTargets& targets,
                     int n, int i, int j, int k) {
    const double last = n - 1;
    return LookAt(settings, factors, targets, i / last, j / last, k / last);
}

constexpr int kMinPointsPerThread = 4096;

}  // namespace

void AdjustSaturation(const TSaturationFactors& factors, double& R, double& G, double& B) {
    double H, S, L;
    RGBToHSL(R, G, B, H, S, L);
    S = S * factors.Overall;
    S = S * HueFactor(factors, H);
    if (factors.Low != 1.0f || factors.Middle != 1.0f || factors.High != 1.0f) S = S * ToneFactor(factors, L);
    HSLToRGB(H, S, L, R, G, B);
}

void BuildLookCube(const TLookSettings& settings, const TSaturationFactors& factors, TLUT& lut) {
    const int n = lut.CubeSize;
    if (n < kMinLookCubeSize || n > kMaxCubeSize)
        throw EError("The cube size " + std::to_string(n) + " is outside the range " +
                     std::to_string(kMinLookCubeSize) + " to " + std::to_string(kMaxCubeSize) + ".");
    const TTransferTargets targets(settings);
    // Every grid point stands alone, so red planes can be shared out among threads.
    const int minPlanes = std::max(1, kMinPointsPerThread / (n * n));
    ParallelFor(n, minPlanes, [&](int i0, int i1) {
        for (int i = i0; i < i1; ++i)
            for (int j = 0; j < n; ++j)
                for (int k = 0; k < n; ++k) lut.Cube[i][j][k] = GridPoint(settings, factors, targets, n, i, j, k);
    });
    ApplyLookStrength(settings.Strength, lut);
}

TRGBDouble LookColour(const TLookSettings& settings, const TSaturationFactors& factors, const TRGBDouble& colour) {
    return LookAt(settings, factors, TTransferTargets(settings), colour.Red, colour.Green, colour.Blue);
}
