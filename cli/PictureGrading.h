#pragma once
#include <functional>
#include <string>

#include "grading/GradeFile.h"
#include "imageio/ColourProfile.h"

class TFootageConversion;
class TLUT;

// The input of 'grade' and 'apply' as the grading road takes it: a clip's or
// sequence's frame is the one --frame chooses.
TGradeSource ChosenSource(const std::string& input);

// Grades the picture file input with a LUT (a look from the grading road, or
// any LUT) and writes output, its type by extension: a clip as
// cli/ClipCommands.h says, a picture on the grading road
// (grading/GradeFile.h).
void GradePictureFile(const std::string& input, const std::string& output, const TLUT& lut,
                      const TFootageConversion* footage = nullptr, const TOutputProfileChoice& choice = {});

// As above, with the LUT given by lut() when grading begins, which may be
// from two threads at once: the caller can read the LUT while the picture is
// being decoded.
void GradePictureFile(const std::string& input, const std::string& output, const std::function<const TLUT&()>& lut,
                      const TFootageConversion* footage = nullptr, const TOutputProfileChoice& choice = {});
