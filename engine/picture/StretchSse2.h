#pragma once
#include "engine/picture/ResampleKernels.h"

class TImage;

// Both passes of StretchImage with the taps merged per source index, 16-bit
// multiply-adds in SSE2 (or in AVX2 where the processor has it, see
// StretchForm.h) and the rows split across threads; integer sums make the
// bytes the same as the column-by-column passes. Returns false (and leaves
// dest alone) when the weights do not fit the 16-bit form or the exact
// division (StretchTaps.h), or the processor has no SSE2.
bool StretchFast(const TContributors& columns, const TContributors& rows, const TImage& source, TImage& dest);
