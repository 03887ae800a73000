#pragma once
#include <string>
#include <string_view>

#include <memory>

#include "engine/lut/LUT.h"

class TLutOperation;

// The input range a cube text declares for its table: table point 0 stands
// for the input Low, the last point for High, per channel. The keywords
// are "DOMAIN_MIN r g b" / "DOMAIN_MAX r g b" and "LUT_3D_INPUT_RANGE lo hi"
// / "LUT_1D_INPUT_RANGE lo hi" (one range for all channels). The LUT object
// covers the inputs 0..1, so a table over another range is baked into it by
// resampling.
struct TInputDomain {
    double Low[3] = {0.0, 0.0, 0.0};
    double High[3] = {1.0, 1.0, 1.0};
    std::string Declared;   // the first declaration other than 0..1, as "<keyword> <values>"
    std::string Malformed;  // the first declaration whose values do not read

    // Takes one declaration (keyword upper-cased, values as they follow it).
    // True when it declares the range 0..1 itself (DOMAIN_MIN 0 0 0,
    // DOMAIN_MAX 1 1 1, a range 0 1); a malformed one is remembered.
    bool Take(std::string_view keyword, std::string_view values);
    // The range is 0..1 on every channel and nothing was malformed.
    bool IsUnit() const;
    // Raises ELUTError naming the declaration when one was malformed or a
    // channel's range is empty or reversed.
    void Check() const;
    // Raises ELUTError naming the first declaration, when there was one
    // other than 0..1 (for a range of a table the file does not hold).
    void CheckAbsent(std::string_view table) const;
    // Replaces the table by its values at the inputs 0..1: point i of N holds
    // the table interpolated at (i / (N - 1) - Low) / (High - Low), clamped to
    // the table's ends (trilinear for the cube, linear per channel for the
    // curve, as the LUT's own lookups do).
    void BakeIntoCube(TLUT& lut) const;
    void BakeIntoCurve(TLUT& lut) const;

    // The table of the LUT (its cube, or its curve) over this range, as an
    // operation of a chain that follows the file exactly.
    std::unique_ptr<TLutOperation> CubeOperation(const TLUT& lut) const;
    std::unique_ptr<TLutOperation> CurveOperation(const TLUT& lut) const;

    // The keywords as they are spelt (upper case).
    static bool IsKeyword(std::string_view keyword);
};
