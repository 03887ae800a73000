#pragma once
#include <string>
#include <string_view>

#include "formats/LutFormat.h"

// Sony Imageworks 3D: "SPILUT 1.0", the channel counts "3 3", the grid
// sizes, then one line per grid point: red, green and blue index followed by
// the three values. The lines may come in any order; every point must occur.

// Reads the text into lut's cube; ELUTError names what is wrong and where.
void ReadSpi3D(std::string_view text, TLUT& lut);
// The text of the LUT's cube, blue index fastest.
std::string WriteSpi3D(const TLUT& lut);
