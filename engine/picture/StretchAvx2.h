#pragma once
#include <cstdint>
#include <vector>

class TImage;
struct TDenseTaps;

// The AVX2 forms of the two passes of StretchFast, for processors that have
// AVX2 (the functions are compiled for it whatever the build's target).
// They give the same bytes as the SSE2 passes.

// The weights of the horizontal pass as its multiply-adds read them: per
// list, per four taps, the weights of taps 0 and 1 repeated three times
// (one pair per channel) in the low half and those of taps 2 and 3 in the
// high half. Expects runs padded to a multiple of 4.
std::vector<std::int16_t> HorizontalPairWeights(const TDenseTaps& taps);

// Horizontal pass over source rows [y0, y1) into work (dest's width).
void HorizontalRowsAvx2(const TDenseTaps& taps, const std::vector<std::int16_t>& pairs, const TImage& source,
                        TImage& work, int y0, int y1);

// Vertical pass for destination rows [y0, y1).
void VerticalRowsAvx2(const TDenseTaps& taps, const TImage& work, TImage& dest, int y0, int y1);
