#pragma once
#include <string>
#include <string_view>

#include "formats/LutFormat.h"

// Sony Imageworks 1D: a "Version 1" header with "From", "Length" and
// "Components" lines, then the entries between "{" and "}", one per line
// with one value (used for all three channels) or three. A "From" domain
// other than 0..1 is resampled onto 0..1 at the same length.

// Reads the text into lut's curve; ELUTError names what is wrong and where.
void ReadSpi1D(std::string_view text, TLUT& lut);
// The text of the LUT's curve (three components, domain 0..1).
std::string WriteSpi1D(const TLUT& lut);
