#pragma once
#include <string>

#include "LutFormat.h"

// Decimal cube formats that write each point as blue, green, red with the
// red index fastest.

// The reading steps both formats share.
class TBgrDecimalCubeFormat : public TGenericLutFormat {
protected:
    using TGenericLutFormat::TGenericLutFormat;
    // Size from the number of lines ParseFloatTriple accepts in the file.
    void SizeFromDataLines();
    // Stores a data line read as blue, green, red (skips "#" lines).
    void StoreBgrLine(const std::string& line, TLUT& lut);
};

// Colorfront OSD 3D: data lines only; the reader infers the grid from the
// number of data lines.
class TColorFrontOSD3DLutFormat : public TBgrDecimalCubeFormat {
public:
    TColorFrontOSD3DLutFormat();
    bool CanRead(const std::string& fileName) override;
    void SaveToFile(const std::string& fileName, const TLUT& lut, int Bits) override;

protected:
    void ParseLine(const std::string& line, TLUT& lut) override;
};

// DaVinci DAT: an optional "3DLUTSIZE" line, then the Colorfront data lines.
class TDavinciDat3DLutFormat : public TBgrDecimalCubeFormat {
public:
    TDavinciDat3DLutFormat();
    bool CanRead(const std::string& fileName) override;
    void LoadFromFile(const std::string& fileName, TLUT& lut) override;
    void SaveToFile(const std::string& fileName, const TLUT& lut, int Bits) override;

    bool HasSizeKeyword = false;

protected:
    void ParseLine(const std::string& line, TLUT& lut) override;
};
