#pragma once
#include <functional>
#include <string>

#include "engine/picture/DeepImage.h"
#include "engine/picture/Image.h"
#include "imageio/ColourProfile.h"

class TFootageConversion;
class TLUT;

// The roads from a picture and a LUT to a graded picture file, among which
// grading/GradeFile.h chooses for both front ends. The output's type is
// chosen by its extension from the table of PictureFormats.h:
// - a picture of more than 8 bits, or one written as .tif, .tiff, .exr or
//   .dpx, at full precision through TLUT::LookupNormalized, at the input's
//   own format and depth or the output extension's (OutputDepthFor);
// - JPEG to JPEG in strips of rows, so that grading and encoding overlap the
//   decoding and the picture is never held whole (the file is the same as
//   the whole-picture road gives);
// - the rest through the 24-bit picture (an 8-bit picture written as .png
//   stays 8-bit).
// With footage the picture is converted from it first (in float on the
// full-precision road). A picture in another colour space than sRGB is
// graded in sRGB and written in the space the choice gives (by default its
// own), which it carries.

// Whether grading input into output takes the full-precision road.
bool NeedsDeepGrading(const std::string& input, const std::string& output);

// Loads a picture file as a 24-bit image (converted to sRGB from the
// profile it gives); a loader's message that does not name the file gets it
// in front. A folder, or a name without an extension, is refused.
TImage LoadNamedPicture(const std::string& fileName, TColourProfile& profile);
// Loads a picture file at its own depth; an 8-bit picture is widened. The
// messages name the file as above.
TDeepImage LoadNamedDeepPicture(const std::string& fileName);

// Grades the picture file input (not a clip) into output.
void GradePictureToFile(const std::string& input, const std::string& output, const TLUT& lut,
                        const TFootageConversion* footage = nullptr, const TOutputProfileChoice& choice = {});
// As above, with the LUT given by lut() when grading begins, which may be
// from two threads at once: the caller can read the LUT while the picture is
// being decoded.
void GradePictureToFile(const std::string& input, const std::string& output, const std::function<const TLUT&()>& lut,
                        const TFootageConversion* footage = nullptr, const TOutputProfileChoice& choice = {});

// The same road for a 24-bit picture held in memory (a pasted one), in sRGB,
// as a file of the library format `format` ("png", ...; empty for none)
// would take it.
void GradePictureInto(const std::string& output, TImage picture, const std::string& format, const TLUT& lut,
                      const TFootageConversion* footage = nullptr);

// Grades a picture at full precision and writes it at its own format and
// depth, or the output extension's; with footage it is first converted from
// it in float. The picture is graded in sRGB and written in the space the
// choice gives.
void GradeDeepPictureInto(const std::string& output, TDeepImage picture, const TLUT& lut,
                          const TFootageConversion* footage = nullptr, const TOutputProfileChoice& choice = {});

// A frame of a clip graded into a picture file: an 8-bit frame written as an
// 8-bit type through its 24-bit picture, any other at full precision, at
// the frame's depth or the extension's. With footage the frame is converted
// from it through its 24-bit picture, as it is previewed, and written
// at 8 bits only (EError naming clipName for another type). A frame with
// alpha keeps it in a type that holds it (PNG, TIFF, OpenEXR, DPX): an
// 8-bit one is written as an 8-bit PNG with alpha, its colours graded as
// above; JPEG and BMP take it laid on white.
void GradeClipFrameInto(const std::string& output, TDeepImage frame, const std::string& clipName, const TLUT& lut,
                        const TFootageConversion* footage = nullptr);
// Whether the command line converts the frame from a footage: only an 8-bit
// frame written as an 8-bit type.
bool ClipFrameTakesFootage(const TDeepImage& frame, const std::string& output);
