#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "clip/ClipModule.h"

class TFootageConversion;
class TLUT;

// Renders a graded clip. Decoding, grading and encoding run at once on
// their own threads (each library also uses its own threads), with at most
// a few frames between them, so memory does not grow with the clip. The
// frames are graded in order on one thread by `grade`, which may change
// the image in place. The output is written to a temporary file and renamed
// over `settings.OutputName` only when complete; a frame that fails fails
// the render, naming its number. `progress` (may be empty) is told after
// each written frame how many are done and how many there are (0 when the
// clip does not say).
using TFrameGrader = std::function<void(TDeepImage& frame, std::int64_t number)>;
using TRenderProgress = std::function<void(std::int64_t done, std::int64_t total)>;
void RenderClip(const std::string& input, const TClipRenderSettings& settings, const TFrameGrader& grade,
                const TRenderProgress& progress = {});

// Grades a clip frame with a LUT on its own road: frames of more than 8
// bits at float precision (as GradeDeepImage), 8-bit frames as a 24-bit
// picture (as GradePicture, converted from the footage first where given;
// EError for footage with a deeper frame). Alpha is never touched.
void GradeClipFrame(const TLUT& lut, TDeepImage& frame, const TFootageConversion* footage = nullptr);
