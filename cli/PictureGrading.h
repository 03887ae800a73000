#pragma once
#include <functional>
#include <string>

#include "imageio/ColourProfile.h"

class TFootageConversion;
class TLUT;

// Grades the picture file input with a LUT (a look from the grading road, or
// any LUT) and writes output, its type by extension:
// - a picture of more than 8 bits, or one written as .tif, .tiff, .exr or
//   .dpx, at full precision (see DeepGrading.h);
// - JPEG to JPEG in strips of rows, so that grading and encoding overlap the
//   decoding and the picture is never held whole (the file is the same as
//   the whole-picture road gives);
// - the rest through the 24-bit picture.
// With footage the picture is converted from it first (in float on the
// full-precision road). A picture in another colour space than sRGB is
// graded in sRGB and written in the space the choice gives (by default its
// own), which it carries.
void GradePictureFile(const std::string& input, const std::string& output, const TLUT& lut,
                      const TFootageConversion* footage = nullptr, const TOutputProfileChoice& choice = {});

// As above, with the LUT given by lut() when grading begins, which may be
// from two threads at once: the caller can read the LUT while the picture is
// being decoded.
void GradePictureFile(const std::string& input, const std::string& output, const std::function<const TLUT&()>& lut,
                      const TFootageConversion* footage = nullptr, const TOutputProfileChoice& choice = {});
