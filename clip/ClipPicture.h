#pragma once
#include "engine/picture/DeepImage.h"
#include "engine/picture/Image.h"

// The 24-bit picture of a clip frame (no alpha), as DeepToImage gives it:
// each value clamped into 0..1 and rounded to the nearest of 256 levels,
// rows shared out over the worker threads. The rounding adds a half and
// truncates, which is exact here: a float times 255 plus a half needs fewer
// bits than a double holds.
// A frame with alpha is laid on white first, as DeepToImage does.
TImage ClipFrameToImage(const TDeepImage& frame);
// The same picture made into `picture`, whose memory is kept when it fits.
void PutClipFrameToImage(const TDeepImage& frame, TImage& picture);

// The 24-bit picture of the frame's colours alone, rounded as above; its
// alpha, if any, is left out (for grading, which leaves alpha alone).
TImage ClipFrameColours(const TDeepImage& frame);
// Puts the colours of a picture of the frame's size back into the frame at
// full scale (v / 255), as DeepFromImage gives them; the frame's alpha and
// depth stay as they are.
void PutClipFrameColours(const TImage& picture, TDeepImage& frame);

// The frame as the window previews it: its 24-bit picture fitted into the
// box with Lanczos3 (FitImage).
TImage ClipFramePreview(const TDeepImage& frame, int boxWidth, int boxHeight);
