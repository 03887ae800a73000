#pragma once
#include "engine/picture/DeepImage.h"
#include "engine/picture/Image.h"

class TLUT;

// Grading and display of pictures at their own precision.

// Grades one pixel: each value is clamped into 0..1 (the look is made for
// display-referred values; NaN counts as 0) and looked up with
// TLUT::LookupNormalized in double precision; the result is rounded to float.
void GradeDeepPixel(const TLUT& lut, float* rgb);

// Grades every pixel as GradeDeepPixel does, rows shared out over the worker
// threads (the result does not depend on the split). Alpha stays as it is.
void GradeDeepImage(const TLUT& lut, TDeepImage& image);

// The 24-bit picture for display and analysis: each value clamped into 0..1
// and rounded to the nearest of 256 levels; a picture with alpha is laid on
// white first, as the 8-bit loaders do.
TImage DeepToImage(const TDeepImage& image);

// The 24-bit picture at full scale (v / 255), the depth named 8-bit integer
// of the given format; no alpha.
TDeepImage DeepFromImage(const TImage& image, const std::string& format);
