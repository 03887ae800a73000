#pragma once
#include "engine/picture/ResampleKernels.h"

class TImage;

// Both passes of StretchImage with the taps merged per source index, 16-bit
// multiply-adds in SSE2 and the rows split across threads; integer sums make
// the bytes the same as the column-by-column passes. Returns false (and
// leaves dest alone) when a weight does not fit the 16-bit form or the
// processor has no SSE2.
bool StretchFast(const TContributors& columns, const TContributors& rows, const TImage& source, TImage& dest);
