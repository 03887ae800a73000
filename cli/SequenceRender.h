#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "engine/picture/DeepImage.h"

class TFootageConversion;
class TLUT;

// Image sequences on the command line: a sequence graded into a sequence
// grades each frame of the range exactly as its file would be graded alone
// (the same bytes), into the output pattern's file of the frame's own
// number, each written atomically; one frame graded into a picture is that
// frame's file graded into it.

// Grades the frame read from `file` into `output`.
using TSequenceFrameGrader = std::function<void(TDeepImage& frame, const std::string& file, const std::string& output)>;

// The name opens as an image sequence.
bool IsSequenceInput(const std::string& name);

// Renders the frames in [in, out) (out -1 for the end) of the sequence
// `input` to the sequence pattern `output`. EUsageError when an output file
// would be one of the input's; EError naming the file of a frame that
// cannot be read or written.
void RenderSequence(const std::string& input, const std::string& output, std::int64_t in, std::int64_t out,
                    const TSequenceFrameGrader& grade);

// The road a still takes: at full precision when the file or the output
// needs it (the decoded frame is used), else the file through the 24-bit road.
void GradeSequenceFrame(TDeepImage& frame, const std::string& file, const std::string& output, const TLUT& lut,
                        const TFootageConversion* footage);

// The number of the frame --frame chooses in the sequence (counted from 0).
std::int64_t ChosenSequenceFrame(const std::string& input);
