#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "engine/fit/LutFit.h"
#include "engine/lut/LUT.h"
#include "engine/picture/Image.h"

class TFootageConversion;

// The one road from two frames of one scene to the look that turns the
// ungraded FRAME into the graded one, taken by 'ombrane-cli match', by
// 'grade --match-shot' and by the window's "Match Shot…":
//
//   GRADED, FRAME -> both fitted into 1024 x 1024 -> features of their lumas
//   matched, a homography found with RANSAC (the registration module,
//   loaded on first use) -> each FRAME pixel beside GRADED's colour where
//   the homography takes it (FRAME's own colours stay unresampled) -> FRAME
//   converted from its footage, when one is given -> a dense check of local
//   agreement drops the places where the scenes differ (people moving,
//   occlusions, parallax): the lumas' gradients compared in small windows,
//   then a coarse look fitted and the pixels it misses dropped, twice ->
//   the pair fitter (LutFit) on the kept pairs, with its smoothness term
//   -> with footage, the look for that footage.
//
// Registration and fit are deterministic: the same frames give the same LUT
// bytes on the same number of cores, and on another number a LUT within
// kFitCoreTolerance (the fitter's).

constexpr double kDefaultMinMatchedShare = 0.20;

struct TShotMatching {
    int Size = kMaxFitSize;                            // the output grid's points per axis, 2..101
    double Smoothness = kDefaultSmoothness;            // > 0
    double MinMatchedShare = kDefaultMinMatchedShare;  // 0..1
    const TFootageConversion* Footage = nullptr;       // FRAME's footage, or none
};

struct TMatchedShot {
    std::unique_ptr<TLUT> Lut;
    double MatchedShare = 0.0;  // the share of FRAME's pixels kept as showing GRADED's scene
    TFitQuality Quality;        // of the fit on the kept pixels
    TFitCoverage Coverage;
    // FRAME at the working size with 255 where it was matched, 0 elsewhere
    // (one channel repeated in red, green and blue), for an overlay.
    TImage MatchedRegion;
};

// Matches the shots. EError naming the files when they do not share enough
// of a scene: "only 12 % of \"FRAME\" shows the scene of \"GRADED\" (at
// least 20 % is needed); --match matches colour statistics instead".
TMatchedShot MatchShot(const TImage& graded, const TImage& frame, const TShotMatching& settings,
                       const std::string& gradedName, const std::string& frameName);
