#pragma once
#include <string>

#include "LutFormat.h"

// 3dl: an input-range line, then integers at a bit depth, blue index fastest.
class T3dlLutFormat : public TGenericLutFormat {
public:
    T3dlLutFormat();
    bool CanRead(const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ScanFile(const TTextFile& text, TLutReadState& state) const override;
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

// Autodesk Lustre 3D: the 3dl grid under a "3DMESH" header whose mesh line
// declares the grid as an exponent ("Mesh 5 12": 2^5 + 1 points, 12 bits).
class TLustre3DLutFormat : public TGenericLutFormat {
public:
    TLustre3DLutFormat();
    bool CanRead(const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

    // The k with 2^k + 1 == size; raises ELUTError for any other size.
    static int MeshExponent(int size);

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;

private:
    // The mesh line: Size from the exponent, Range the bit depth.
    void ParseMeshLine(const std::string& line, int position, TLutReadState& state) const;
};
