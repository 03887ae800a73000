#pragma once
#include <functional>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "engine/DeepImage.h"
#include "engine/Image.h"
#include "engine/LookTransfer.h"

class TFootageConversion;
class TLUT;

// Clips on the command line: wherever a command takes a picture it takes a
// clip, whose frame --frame chooses (a number, HH:MM:SS:FF or seconds like
// 2.5s; the first frame by default); 'apply' and 'grade' with a clip as
// output render the graded clip (--in, --out, --codec, --crf).

// --frame and the render's options, for 'apply' and 'grade'.
std::vector<TOptionSpec> RenderOptionSpecs();
// Takes the clip options of this run. EUsageError for a bad value.
void TakeClipOptions(const TArguments& arguments);

// The chosen frame of a clip as a 24-bit picture, and at its own depth.
TImage LoadClipPicture(const std::string& fileName);
TDeepImage LoadClipDeep(const std::string& fileName);

// Grades a clip with a LUT: to a clip output, the rendered clip; to a
// picture, the chosen frame. EUsageError for a clip output of a picture.
void GradeClipFile(const std::string& input, const std::string& output, const std::function<const TLUT&()>& lut,
                   const TFootageConversion* footage = nullptr);

// How 'grade' matches the look of a rendered clip.
enum class TClipMatch { None, EachFrame, FirstFrame, ChosenFrame };
// 'grade REFERENCE CLIP -o CLIP': the look (settings) matched as asked,
// built into a LUT, given to `prepare` (the interpolation chosen, say) and
// rendered.
void RenderGradedClip(const std::string& input, const std::string& output, const TLookSettings& settings,
                      TClipMatch match, const TFootageConversion* footage = nullptr,
                      const std::function<void(TLUT&)>& prepare = {});
