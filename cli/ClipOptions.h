#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "clip/ClipFile.h"
#include "engine/picture/DeepImage.h"
#include "engine/picture/Image.h"

// The clip options of a run: --frame chooses the frame of a clip taken
// wherever a picture is (a number, HH:MM:SS:FF or seconds like 2.5s; the
// first frame by default); --in, --out, --match-frame, --codec and --crf
// steer a rendered clip; --fps gives an image sequence its rate and
// --sequence opens a numbered file as the sequence of its run.
struct TClipOptions {
    TFrameChoice Frame;
    std::optional<TFrameChoice> In, Out, MatchFrame;
    std::string Codec;
    int Crf = -1;
};

// --frame, and --sequence and --fps for an image sequence, for every
// command that takes a clip.
std::vector<TOptionSpec> ClipInputOptionSpecs();
// Those and the render's options, for 'apply' and 'grade'.
std::vector<TOptionSpec> RenderOptionSpecs();
// Takes the clip options of this run. EUsageError for a bad value.
void TakeClipOptions(const TArguments& arguments);
// The options taken last.
const TClipOptions& ClipOptions();

// The frame number a choice names in a clip. EUsageError when it has none.
std::int64_t ClipFrameNumber(const TFrameChoice& choice, TClip& clip);

// The chosen frame of a clip as a 24-bit picture, and at its own depth.
TImage LoadClipPicture(const std::string& fileName);
TDeepImage LoadClipDeep(const std::string& fileName);
