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
    static void SizeFromDataLines(TLutReadState& state);
    // Stores a data line read as blue, green, red (skips "#" lines).
    static void StoreBgrLine(const std::string& line, TLUT& lut, TLutReadState& state);
};

// Colorfront OSD 3D: data lines only; the reader infers the grid from the
// number of data lines.
class TColorFrontOSD3DLutFormat : public TBgrDecimalCubeFormat {
public:
    TColorFrontOSD3DLutFormat();
    bool CanRead(const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

// DaVinci DAT: an optional "3DLUTSIZE" line, then the Colorfront data lines.
class TDavinciDat3DLutFormat : public TBgrDecimalCubeFormat {
public:
    TDavinciDat3DLutFormat();
    bool CanRead(const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;

private:
    struct TDatState : TLutReadState {
        TDatState() : TLutReadState(true) {}
        bool HasSizeKeyword = false;  // "3DLUTSIZE" in the first 4096 bytes
    };
};
