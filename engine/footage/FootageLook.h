#pragma once
#include <cstdint>

#include "engine/footage/FootageConversion.h"
#include "engine/look/LookTransfer.h"

class TDeepImage;
class TImage;
class TLUT;

// Fills Cube entries [0..N-1]^3, N = lut.CubeSize, with the look of footage:
// every grid colour x is converted to display and the look is evaluated
// exactly there, look(F(x)), with no second interpolation through a cube;
// the look strength then doses each entry toward x as BuildLookCube does.
// Nothing else of the LUT is changed. Throws EError when CubeSize is
// outside 2..101.
void BuildFootageLookCube(const TLookSettings& settings, const TSaturationFactors& factors,
                          const TFootageConversion& footage, TLUT& lut);

// The nearest 8-bit code of a converted value (0..1; not a number gives 0).
std::uint8_t FootageCode(float v);

// Converts every pixel of an 8-bit picture from footage to display colours,
// rounding to the nearest code value. A large picture is converted colour
// by colour through the conversion's memo (DistinctColours.h) when most of
// its colours repeat or were met before; the result is the same.
void ConvertFootageImage(const TFootageConversion& footage, TImage& image);

// Converts every pixel of a picture at its own precision from footage to
// display colours (0..1) in float, rows shared out over the worker threads,
// and with a look grades each as GradeDeepPixel does (as GradeDeepImage
// after the conversion would). A large picture is converted colour by
// colour (DeepColourMemo.h) where its colours repeat; the result is the
// same. Alpha stays as it is.
void ConvertFootageDeep(const TFootageConversion& footage, TDeepImage& image, const TLUT* look = nullptr);
