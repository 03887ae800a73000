#pragma once
#include <memory>
#include <string>

#include "engine/fit/LutFit.h"

class TImage;
class TDeepImage;
class TLUT;

// The checks a graded pair passes before a LUT is learned from it: the two
// pictures show the same frame at one size, and in the same place.

// Leaves a pair of one size as it is. A pair of two sizes of the same
// aspect ratio (the smaller side within a pixel of the larger's scaled
// down) gets the larger picture reduced to the smaller's size with
// Lanczos3. Any other pair raises EError giving both sizes.
void MatchPairSizes(TImage& before, TImage& after, const std::string& beforeName, const std::string& afterName);
void MatchPairSizes(TDeepImage& before, TDeepImage& after, const std::string& beforeName, const std::string& afterName);

// The whole-pixel shift (within kMaxMeasuredShift each way) of AFTER
// against BEFORE at which the edges of their lumas agree best, measured on
// up to nine well-spread windows of the frame; no shift unless the edges
// agree there well and clearly better than in place (a smooth gradient
// agrees about equally at every shift).
struct TPairShift {
    int X = 0;
    int Y = 0;
};
constexpr int kMaxMeasuredShift = 4;
TPairShift MeasurePairShift(const TPicturePair& pair);

// Two 24-bit pictures of one size as a pair; they must outlive it.
TPicturePair PairOfImages(const TImage& before, const TImage& after);

// A look learned from a pair, how closely it reproduces the pair, and
// which colours the pair covers.
struct TLearnedLook {
    std::unique_ptr<TLUT> Lut;
    TFitQuality Quality;
    TFitCoverage Coverage;
};

// Learns the look of a pair of one size: refuses (EError, the names in the
// message) a pair shifted by more than a pixel either way, then fits the
// LUT and measures it on the pair.
TLearnedLook LearnLook(const TPicturePair& pair, const TLutFitSettings& settings, const std::string& beforeName,
                       const std::string& afterName);
