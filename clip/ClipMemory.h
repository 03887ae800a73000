#pragma once
#include <cstdint>
#include <string>

#include "clip/ClipModule.h"
#include "imageio/PixelBudget.h"

// The memory clip frames take, counted against the pixel budget that
// pictures share.

// Bytes of `frames` frames of the clip in memory: each decoded at float
// precision beside the decoder's own planes.
std::uint64_t ClipFramesBytes(const TClipInfo& info, std::uint64_t frames);

// EError naming the file and the frame size when `frames` frames of the
// clip need more than the whole budget, so that the clip is refused before
// a frame is decoded rather than failing half-way for want of memory.
void CheckClipFramesFit(const std::string& fileName, const TClipInfo& info, std::uint64_t frames,
                        const TPixelBudget& budget);
