#pragma once
#include <functional>
#include <memory>
#include <string>

#include "engine/fit/GradedPair.h"
#include "engine/picture/DeepImage.h"
#include "engine/picture/Image.h"

class TFootageConversion;

// From a graded pair of picture files to a learned look, with the readers
// given (grading/LearnLook.h gives both front ends the same ones):
//
//   BEFORE, AFTER files -> read: both at their own depth when either is a
//     picture of more than 8 bits, else both at 8 bits (in sRGB either way)
//   -> non-finite values refused -> brought to one size (MatchPairSizes)
//   -> BEFORE converted from the footage, when one is given
//   -> checked and fitted at min(Size, kMaxFitSize) points (LearnLook)
//   -> with footage, the look at Size points for that footage
//
// Without footage the LUT is the fitted cube itself; the writers resample it
// to a larger output grid.

struct TPairLearning {
    int Size = kMaxFitSize;                       // the output grid's points per axis, 2..101
    double Smoothness = kDefaultSmoothness;       // > 0
    const TFootageConversion* Footage = nullptr;  // BEFORE's footage (display-referred), or none
};

// How the road reads a picture file: at 8 bits, and at its own depth (an
// 8-bit picture widened). Each raises EError naming the file.
struct TPairReaders {
    std::function<TImage(const std::string&)> EightBit;
    std::function<TDeepImage(const std::string&)> Deep;
};

// The picture files as LoadImageFile and LoadDeepImageFile read them; a
// loader's message that does not name the file gets it in front.
TPairReaders PictureFileReaders();

// Learns the look of the pair. EError (naming the files) for a picture that
// does not read, holds values that are not finite numbers, or a pair that
// is not one frame (sizes, shift).
TLearnedLook LearnLookFromFiles(const std::string& beforeFile, const std::string& afterFile,
                                const TPairLearning& settings, const TPairReaders& readers = PictureFileReaders());

// The look for footage at the output's grid size: the footage's grid colours
// converted to display and looked up in the learned look.
std::unique_ptr<TLUT> LearnedLookForFootage(const TLUT& learned, int size, const TFootageConversion& footage);
