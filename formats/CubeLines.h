#pragma once
#include <string>

#include "engine/lut/LUT.h"
#include "formats/TextFile.h"

// The grid lines shared by the 3D text writers. Each checks the LUT's
// CubeSize (2..101) and raises ELUTError for anything else.

// Red index fastest (blue outermost): three FormatFixed values with 6
// decimals separated by one blank, as red green blue, or as blue green red
// when blueFirst is set.
void AddFixedGridRedFastest(TTextFile& text, const TLUT& lut, bool blueFirst);

// Blue index fastest (red outermost): three FormatScaled values at bits
// separated by `separator`; with indexColumn each line starts with a running
// index from 0 and the separator.
void AddScaledGridBlueFastest(TTextFile& text, const TLUT& lut, int bits, char separator = ' ',
                              bool indexColumn = false);

// One value of 6-decimal fixed notation; the same text as FormatFixed(6, v).
void AppendFixed6(std::string& out, double value);
