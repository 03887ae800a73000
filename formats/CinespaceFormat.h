#pragma once
#include <string>
#include <string_view>

#include "formats/LutFormat.h"

// Cinespace: "CSPLUTV100", "1D" or "3D", an optional metadata block
// (BEGIN METADATA ... END METADATA, read as comment lines), a pre-LUT of
// three channels (a point count, the input values, the output values), then
// the table: for 1D a length and one "r g b" line per entry, for 3D the
// three grid sizes and one line per grid point, red fastest. The pre-LUT
// maps each channel into the table's 0..1 domain; one that is not the
// identity on 0..1 is baked into the table at the table's own size.

// Reads a 1D or 3D file into lut's curve or cube.
void ReadCinespace(std::string_view text, TLUT& lut);
// The text of the LUT's cube or curve with an identity pre-LUT and the
// comment lines as metadata.
std::string WriteCinespace3D(const TLUT& lut);
std::string WriteCinespace1D(const TLUT& lut);
