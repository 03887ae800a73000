#pragma once
#include "engine/picture/ResampleKernels.h"

class TImage;

// Resizing 24-bit images: fitting into a box and the separable stretch,
// which takes the SSE2 passes (StretchSse2.h) and falls back on the plain
// ones (ResizeReference.h) where those cannot take the weights.

// The size of an image fitted into a box, never enlarged and never below
// 1 x 1. Throws EError when a source or box side is not positive.
void FitToBox(int sourceWidth, int sourceHeight, int boxWidth, int boxHeight, int& width, int& height);

// Makes dest a width x height image and fills it from source with filter
// 0..6; a support of exactly 0 takes the filter's own. Throws EError for an
// unknown filter, a negative size, or an empty source with a non-empty result.
void ResizeImage(int width, int height, int filter, TImage& dest, const TImage& source, float support);

// Fills dest (its size already set) from source with a horizontal and then a
// vertical pass. Does nothing when either image has a zero side.
void StretchImage(TFilterFunction filter, const TImage& source, TImage& dest, float support);

// The picture fitted into the box with Lanczos3; a plain copy when it already fits.
TImage FitImage(const TImage& source, int boxWidth, int boxHeight);
