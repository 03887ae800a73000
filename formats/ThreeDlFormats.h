#pragma once
#include <string>

#include "LutFormat.h"

// 3dl: an input-range line, then integers at a bit depth, blue index fastest.
class T3dlLutFormat : public TGenericLutFormat {
public:
    T3dlLutFormat();
    bool CanRead(const std::string& fileName) override;
    void SaveToFile(const std::string& fileName, const TLUT& lut, int Bits) override;

protected:
    void ScanFile(const TTextFile& text) override;
    void ParseLine(const std::string& line, TLUT& lut) override;
};

// Autodesk Lustre 3D: the 3dl grid under a "3DMESH" header whose mesh line
// declares the grid as an exponent ("Mesh 5 12": 2^5 + 1 points, 12 bits).
class TLustre3DLutFormat : public TGenericLutFormat {
public:
    TLustre3DLutFormat();
    bool CanRead(const std::string& fileName) override;
    void SaveToFile(const std::string& fileName, const TLUT& lut, int Bits) override;

    // The k with 2^k + 1 == size; raises ELUTError for any other size.
    static int MeshExponent(int size);

protected:
    void ParseLine(const std::string& line, TLUT& lut) override;

private:
    void ParseMeshLine(const std::string& line, int position);

    double FullScale = 4095.0;  // 2^bits - 1 of the mesh line (Range holds the bits)
};
