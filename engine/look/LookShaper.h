#pragma once
#include <memory>
#include <string>

#include "engine/footage/FootageConversion.h"
#include "engine/look/LookTransfer.h"

class TLUT;

// The shaper of a look for scene-linear footage: a log2 curve over a range
// of stops around mid grey (0.18), taking linear values Low()..High() to
// 0..1. A cube on 0..1 cannot take linear values (any non-negative number);
// through the shaper its grid points lie evenly in stops, where footage
// spends its detail. Values outside the range are clamped to its ends.
struct TLookShaper {
    // 14 stops: below 0.18 * 2^-7 the output transform gives less than one
    // 8-bit code value, above 0.18 * 2^7 (23) it is within a few codes of
    // white; a wider range only spreads the cube's points thinner.
    double LowStops = -7.0;
    double HighStops = 7.0;
    int Entries = 4096;  // of the 1D table that carries it in a LUT file

    double Low() const;
    double High() const;
    double ToShaper(double linear) const;
    double FromShaper(double code) const;
    // The comment line naming the shaper and its range.
    std::string Description() const;
};

// The shaper every export of a look for scene-linear footage uses.
const TLookShaper& LinearFootageShaper();

// Makes lut a shaper then a cube of `size` points: the curve holds the
// shaper at Entries points evenly over Low()..High() (the file states that
// input range), and each cube entry is the look of the footage colour that
// the shaper takes to the grid colour, look(F(FromShaper(x))), dosed by the
// look strength as BuildFootageLookCube does. Comments name the footage
// and the shaper. EError for a size outside 2..101.
void BuildShapedLookLut(const TLookSettings& settings, const TFootageConversion& footage, const TLookShaper& shaper,
                        int size, TLUT& lut);
