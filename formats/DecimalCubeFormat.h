#pragma once
#include <string>

#include "formats/LutFormat.h"

// The reading steps the decimal cube formats share (Colorfront OSD 3D,
// DaVinci DAT): each point as blue, green, red with the red index fastest.
class TBgrDecimalCubeFormat : public TGenericLutFormat {
protected:
    using TGenericLutFormat::TGenericLutFormat;
    // Size from the number of lines of three numbers in the file (finite or not:
    // a value that is not a number is reported at its line).
    static void SizeFromDataLines(TLutReadState& state);
    // Stores a data line read as blue, green, red (skips "#" lines).
    static void StoreBgrLine(const std::string& line, TLUT& lut, TLutReadState& state);
};
