#pragma once
#include <memory>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "engine/picture/Image.h"
#include "grading/ShotMatching.h"

class TFootageConversion;
class TLUT;

// Shot matching on the command line: the options 'match' and 'grade
// --match-shot' share, and the frames read for it.

// --smoothness W and --min-matched PCT.
std::vector<TOptionSpec> ShotMatchOptionSpecs();
// The settings those options give (the defaults where they are absent);
// EUsageError for a value out of range.
TShotMatching ShotMatchingFrom(const TArguments& arguments);

// Reads GRADED_FRAME and FRAME as pictures (a clip's frame as --frame
// chooses it) and matches FRAME to GRADED_FRAME.
TMatchedShot MatchShotFiles(const std::string& gradedFile, const std::string& frameFile, const TShotMatching& settings);

// The look that grades FRAME like GRADED_FRAME on grade's road: FRAME,
// already read, is converted from the footage first (as grade converts a
// picture before its look), so the LUT is the display look the picture
// then goes through; --strength doses it and --interpolation is taken.
std::unique_ptr<TLUT> MatchedShotLook(const TImage& graded, const std::string& gradedName, TImage frame,
                                      const std::string& frameName, const TArguments& arguments,
                                      const TFootageConversion* footage);

// Refuses --smoothness and --min-matched without --match-shot, and with it
// the grading options of a reference's look other than --strength.
void CheckShotMatchOptions(const TArguments& arguments);
