#pragma once
#include <string>

#include "engine/footage/FootageConversion.h"
#include "engine/look/LookTransfer.h"
#include "formats/FormatRegistry.h"

// The export end of the grading road (GradingRoad.h): builds the look at
// `size` points per axis in a LUT of its own and writes it with the
// profile's format at `bits`. EError for a size outside 2..101 or a profile whose
// format stores no cube; the format's own errors propagate. With `footage`,
// the cube holds the look of each grid colour converted from that footage,
// and a comment line "input: LABEL" names the footage. Scene-linear footage
// is written with a shaper before the cube (ShapedLookExport.h); a profile
// whose format holds none is refused with EError naming those that do.
void ExportLook(const TLookSettings& settings, const TLutOutputProfile& profile, int size, int bits,
                const std::string& fileName, const TFootageConversion* footage = nullptr);
