#pragma once
#include <string>

#include "engine/lut/CubeOperation.h"

// The interpolation a user chooses for the cubes of a LUT: trilinear (what
// the LUT's own lookup does) or tetrahedral. Cubes of files that state
// their interpolation keep it. A LUT with no cube is left as it is.
void UseCubeInterpolation(TLUT& lut, TCubeInterpolation interpolation);

// "trilinear" or "tetrahedral"; false for any other name.
bool CubeInterpolationFromName(const std::string& name, TCubeInterpolation& interpolation);
