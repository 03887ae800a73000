#pragma once
#include <string>

#include "engine/ChromaTargets.h"
#include "engine/Image.h"
#include "engine/LookTransfer.h"

// Matching a look to the frame it will grade. Without it every source colour
// counts as coming from a neutral picture, so a frame's own cast stays under
// the reference's; with it the frame's own mean chroma is taken away and its
// spread divided out before the reference's are put in.

// The box a frame is fitted into before it is measured: the window's
// preview box, so that the window and the command line measure the same
// pixels.
constexpr int kFrameBoxWidth = 1000;
constexpr int kFrameBoxHeight = 500;

// Below this spread a frame's chroma cannot be divided out; such a colour
// is transferred as from a neutral source.
constexpr double kMinSourceSpread = 1e-6;

// The Gain whose chroma scale is 1: Color Gain 100 (Gain = 5 / position,
// so position / 100 = kUnityGain / Gain).
constexpr double kUnityGain = 0.05;

// The frame as the window prepares its preview: fitted into 1000 x 500
// with Lanczos3, never enlarged (a picture that fits is taken as it is).
TImage PrepareFrame(const TImage& picture);

// Statistics of a frame prepared as above. EError for an empty picture.
TColorStats FrameStatistics(const TImage& picture);

// Matches a look to a frame: its statistics (from FrameStatistics) become
// the settings' source, and the frame's file name without its folder the
// name exported LUTs give (empty for a pasted frame).
void MatchLookToFrame(TLookSettings& settings, const TColorStats& frameStats, const std::string& frameFile);

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
