#pragma once
#include <functional>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/ClipOptions.h"
#include "engine/look/LookTransfer.h"
#include "engine/picture/DeepImage.h"
#include "engine/picture/Image.h"

class TFootageConversion;
class TLUT;

// Clips on the command line: 'apply' and 'grade' with a clip as output
// render the graded clip (--in, --out, --codec, --crf); a clip taken as a
// picture gives the frame --frame chooses (cli/ClipOptions).

// Grades a clip with a LUT: to a clip output, the rendered clip; to a
// picture, the chosen frame. EUsageError for a clip output of a picture.
void GradeClipFile(const std::string& input, const std::string& output, const std::function<const TLUT&()>& lut,
                   const TFootageConversion* footage = nullptr);

// The frame of a clip a look is matched to once: --match-frame's, else
// --in's, else the first; as a 24-bit picture.
TImage ClipMatchFrame(const std::string& input);

// How 'grade' matches the look of a rendered clip.
enum class TClipMatch { None, EachFrame, FirstFrame, ChosenFrame };
// 'grade REFERENCE CLIP -o CLIP': the look (settings) matched as asked,
// built into a LUT, given to `prepare` (the interpolation chosen, say) and
// rendered.
void RenderGradedClip(const std::string& input, const std::string& output, const TLookSettings& settings,
                      TClipMatch match, const TFootageConversion* footage = nullptr,
                      const std::function<void(TLUT&)>& prepare = {});
