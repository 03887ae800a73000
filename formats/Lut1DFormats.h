#pragma once
#include <cstdint>
#include <string>

#include "formats/InputDomain.h"
#include "formats/LutFormat.h"

// Base of the 1D curve formats: Is3D false, and the bounded ways of storing
// curve entries that every curve reader uses.
class TCurveLutFormat : public TGenericLutFormat {
protected:
    explicit TCurveLutFormat(TLutFormatInfo info) : TGenericLutFormat(std::move(info)) {}

    // Declared length: stores the entry at CurveIndex while the table is not
    // full, then advances; Complete once CurveIndex reaches Size.
    static void StoreDeclared(TLUT& lut, TLutReadState& state, double red, double green, double blue);
    // Counted length: Size is the number of entries so far. The first entry
    // past the curve's capacity raises ELUTError.
    static void StoreCounted(TLUT& lut, TLutReadState& state, double red, double green, double blue);
};

// Integer full scale 2^bits - 1 of a bit depth the format's description
// takes (ELUTError otherwise).
std::int64_t FullScaleForBits(const TLutFormatInfo& info, int bits);

// The three values of an entry with six decimals each, spaced.
std::string CurveSixDecimals(const TRGBDouble& entry);

// Raises ELUTError saying that the named format has no writer.
[[noreturn]] void RaiseNoWriter(const std::string& formatName);

// Formats whose file states the curve length in a header line.
