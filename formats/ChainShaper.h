#pragma once

class TLUT;
class TLutChain;

// A chain written to a format that holds a 1D table before its cube: the
// chain's leading per-channel operations (a log, a range, a curve, a
// per-channel pre-LUT) become the curve, sampled evenly over 0..1, and the
// rest is evaluated at the cube's grid points. Through the curve the cube's
// points lie where the chain's own shaping puts them, which a plain cube of
// the same size cannot do.

// Entries of the curve a chain's shaper is sampled at.
constexpr int kChainShaperEntries = 4096;

// Makes lut (lkCurveThenCube) the chain as a curve of kChainShaperEntries
// then a cube of cubeSize points, when the chain starts with per-channel
// operations and goes on with others, and the curve stays inside 0..1 (the
// cube takes no other values). False, and lut untouched, otherwise.
bool SplitChainAtShaper(const TLutChain& chain, int cubeSize, TLUT& lut);
