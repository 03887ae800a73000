#pragma once
#include <string>

#include "engine/look/ChromaTargets.h"
#include "engine/look/LookTransfer.h"
#include "engine/picture/Image.h"

// Matching a look to the frame it will grade. Without it every source colour
// counts as coming from a neutral picture, so a frame's own cast stays under
// the reference's; with it the frame's own mean chroma is taken away and its
// spread divided out before the reference's are put in.

// The box a frame is fitted into before it is measured: the window's
// preview box, so that the window and the command line measure the same
// pixels.
constexpr int kFrameBoxWidth = 1000;
constexpr int kFrameBoxHeight = 500;

// The frame as the window prepares its preview: fitted into 1000 x 500
// with Lanczos3, never enlarged (a picture that fits is taken as it is).
TImage PrepareFrame(const TImage& picture);

// Statistics of a frame prepared as above. EError for an empty picture.
TColorStats FrameStatistics(const TImage& picture);

// Matches a look to a frame: its statistics (from FrameStatistics) become
// the settings' source, and the frame's file name without its folder the
// name exported LUTs give (empty for a pasted frame).
void MatchLookToFrame(TLookSettings& settings, const TColorStats& frameStats, const std::string& frameFile);
