#pragma once
#include "cli/Arguments.h"

class TLUT;

// --interpolation trilinear|tetrahedral of apply and grade: how the cubes of
// the LUT are looked up (trilinear by default; a file that states its own
// interpolation keeps it).
TOptionSpec InterpolationOptionSpec();

// Sets the chosen interpolation on the LUT; EUsageError for an unknown name.
void UseInterpolationOption(const TArguments& arguments, TLUT& lut);
