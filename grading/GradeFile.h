#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "engine/base/Error.h"
#include "engine/picture/Image.h"
#include "imageio/ColourProfile.h"

class TFootageConversion;
class TLUT;

// The one road from a frame to a graded picture file, for the command
// line's 'grade' and 'apply' and for the window's "Save Graded Image": the
// same frame, LUT and footage give the same bytes from either.

// What is graded: a picture file, a frame of a clip or of an image
// sequence (File and Frame), or a 24-bit picture held in memory, in sRGB
// (a pasted one; File empty).
struct TGradeSource {
    std::string File;
    std::int64_t Frame = 0;
    const TImage* Picture = nullptr;
};

// Grades the source into output, a picture file whose extension chooses
// its type (imageio/GradedPictureFile.h gives the roads and depths):
// - a picture file at its own depth, its colour profile carried (or the
//   one the choice gives);
// - a clip's frame as GradeClipFrameInto writes it; with footage only an
//   8-bit frame written as an 8-bit type (EFootageFrame naming the clip);
// - a sequence's frame as its own file is graded, in its own profile
//   whatever the choice (EError naming the sequence when it has no such
//   frame);
// - a picture in memory as a file in sRGB would be.
// The LUT is given by lut() when grading begins, which may be from another
// thread while the picture is being decoded.
void GradeFile(const TGradeSource& source, const std::string& output, const std::function<const TLUT&()>& lut,
               const TFootageConversion* footage = nullptr, const TOutputProfileChoice& choice = {});
// The same with a LUT at hand.
void GradeFile(const TGradeSource& source, const std::string& output, const TLUT& lut,
               const TFootageConversion* footage = nullptr, const TOutputProfileChoice& choice = {});

// A clip's frame that footage is not converted for.
class EFootageFrame : public EError {
public:
    using EError::EError;
};

// The file of a sequence's frame (counted from 0). EError naming the
// sequence when it has no such frame.
std::string SequenceFrameFile(const std::string& sequence, std::int64_t frame);
