#pragma once
#include "engine/DeepImage.h"
#include "engine/Image.h"

// The 24-bit picture of a clip frame (no alpha), as DeepToImage gives it:
// each value clamped into 0..1 and rounded to the nearest of 256 levels,
// rows shared out over the worker threads. The rounding adds a half and
// truncates, which is exact here: a float times 255 plus a half needs fewer
// bits than a double holds.
TImage ClipFrameToImage(const TDeepImage& frame);

// The frame as the window previews it: its 24-bit picture fitted into the
// box with Lanczos3 (FitImage).
TImage ClipFramePreview(const TDeepImage& frame, int boxWidth, int boxHeight);
