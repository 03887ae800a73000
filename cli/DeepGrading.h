#pragma once
#include <string>

class TDeepImage;
class TFootageConversion;
class TLUT;
struct TOutputProfileChoice;

// Grading of picture files for 'grade' and 'apply'.

// Refuses (EUsageError) an output picture whose extension no writer takes,
// before any work is done: the 8-bit ones and .tif, .tiff, .exr, .dpx.
void CheckGradedOutput(const std::string& fileName);

// Whether grading input into output takes the full-precision road: a
// picture of more than 8 bits, or any picture written as .tif, .tiff, .exr or
// .dpx. An 8-bit picture written as .png stays on the 8-bit road.
bool NeedsDeepGrading(const std::string& input, const std::string& output);

// Grades the picture input with the LUT at full precision through
// TLUT::LookupNormalized and writes output at the input's own format and
// depth, or the output extension's. With footage the picture is first
// converted from it in float. The picture is graded in sRGB and written in
// the space the choice gives.
void GradeDeepPictureFile(const TLUT& lut, const std::string& input, const std::string& output,
                          const TFootageConversion* footage, const TOutputProfileChoice& choice);

// Loads a picture at its own depth; an 8-bit picture is widened. A loader's
// message that does not name the file gets it in front.
TDeepImage LoadDeep(const std::string& fileName);
