#pragma once
#include <string>
#include <string_view>

#include "formats/LutFormat.h"

// The Academy/ASC Common LUT Format: an XML ProcessList of operators.
//
// Reading takes LUT1D, LUT3D, Range and Matrix operators in any order and
// number. A lone LUT1D is read as the curve, a lone LUT3D as the cube and a
// LUT1D followed by a LUT3D as curve then cube; every other sequence is
// baked, operator after operator, into a curve (when every operator works
// on each channel alone) or into a cube of at least 33 points. Any other
// operator is refused by name. Integer bit depths scale the values as the
// format defines; each Description becomes a comment line.
//
// Writing gives a ProcessList with a content-derived id, the file's base
// name, the comment lines as Descriptions, a LUT1D for the curve of a
// curve-then-cube (or curve-only) LUT and a LUT3D with blue fastest, all at
// bit depth "32f" with linear and trilinear interpolation.

void ReadClf(std::string_view text, TLUT& lut);
std::string WriteClf(const TLUT& lut, const std::string& name);

// The CLF ProcessList inside an XML text; false for every other text.
bool LooksLikeClf(std::string_view head);
