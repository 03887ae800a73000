#pragma once
#include <string>

#include "LutFormat.h"

// Integer cube formats with their own header, blue index fastest.

// Pandora (also Apple m3d and Technicolor mga): an index column and
// tab-separated values; the header gives the point count and 2^bits.
class TPandora3DLutFormat : public TGenericLutFormat {
public:
    TPandora3DLutFormat();
    bool CanRead(const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

class TQuantel3DLutFormat : public TGenericLutFormat {
public:
    TQuantel3DLutFormat();
    bool CanRead(const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

// Luther: read at a fixed 10-bit full scale.
class TLuther3DLutFormat : public TGenericLutFormat {
public:
    TLuther3DLutFormat();
    bool CanRead(const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};
