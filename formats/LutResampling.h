#pragma once

class TLUT;

// Tables at new grid points, every value taken from the source LUT's own
// lookups.

// The grid coordinate of point i of n, as the table conventions define it.
inline double GridValue(int i, int n) { return static_cast<double>(i) / static_cast<double>(n - 1); }

// Raises EError unless the tables the LUT's Kind uses have a usable size
// (2..101 cube points, 2..100001 curve entries); a reader may leave an
// empty curve behind without an error.
void CheckUsableTables(const TLUT& lut);

// Fills target's cube with size points per axis, each grid point the
// source's LookupNormalized at that point; Kind becomes lkCube. A cube
// source of the same size is copied as it stands.
void BakeCube(const TLUT& source, int size, TLUT& target);

// Fills target's curve with size entries, each the source curve
// interpolated at that entry; Kind becomes lkCurve. The source must hold
// a curve; at the same length it is copied as it stands.
void ResampleCurve(const TLUT& source, int size, TLUT& target);
