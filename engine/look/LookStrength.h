#pragma once

class TLUT;

// Look Strength: a track bar position 0..100 %, 100 gives the look as built.
constexpr int kStrengthMin = 0;
constexpr int kStrengthMax = 100;
constexpr int kStrengthDefault = 100;

// Doses a built look: every cube entry becomes in + s (entry - in), `in`
// being the entry's own grid colour (i, j, k) / (N - 1). With entries in
// 0..1 the results stay in 0..1. s = 1 leaves the cube untouched (not even
// rounded), s = 0 gives the identity table. EError for s outside 0..1 or a
// cube size below 2.
void ApplyLookStrength(double strength, TLUT& lut);
