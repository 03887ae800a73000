#pragma once
#include <string>

#include "imageio/PairLearning.h"

// The one road from a graded pair to a learned look, for 'ombrane-cli
// learn' and the window's "Create Look from Graded Pair…": both read the
// pair alike, so the same pair and settings give the same LUT. A picture
// file is read converted to sRGB from its colour profile, at 8 bits or at
// its own depth (imageio/PairLearning.h says which); a clip or an image
// sequence gives its first frame.
// The picture of a pair's file as the road reads it at 8 bits, in sRGB.
TImage ReadPairPicture(const std::string& fileName);

TLearnedLook LearnLookFromPair(const std::string& beforeFile, const std::string& afterFile,
                               const TPairLearning& settings);
