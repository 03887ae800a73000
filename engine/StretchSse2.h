#pragma once
#include "ImageResize2.h"

// Internal pieces shared by the resampling code.

struct TStretchScales {
    float X;  // destination / source, horizontally
    float Y;  // vertically
};

TStretchScales StretchScales(const TImage& source, TImage& dest);

// Both passes of StretchImage with the taps merged per source index, 16-bit
// multiply-adds and the rows split across threads; integer sums make the
// bytes the same as the column-by-column passes. Returns false (and leaves
// dest alone) when a weight does not fit the 16-bit form.
bool StretchFast(const TContributors& columns, const TContributors& rows, const TImage& source,
                 TImage& dest);
