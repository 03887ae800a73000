#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "LutFormat.h"

// The cube family: a size keyword followed by one line of three decimals per
// grid point, red index fastest. Cube 3D is the model; Truelight and FSI CFE
// differ in their header and detection.
//
// A Cube 3D file may carry a 1D shaper: "LUT_1D_SIZE M" in the header, then
// M data lines of the shaper ahead of the cube lines. The shaper is read into
// the curve (its values are already in the cube's 0..1 domain) and the LUT
// applies curve then cube. An input range other than 0..1 for either section
// of such a file cannot be represented and is refused.
class TCube3DLutFormat : public TGenericLutFormat {
public:
    TCube3DLutFormat();
    bool CanRead(const std::string& fileName) override;
    void LoadFromFile(const std::string& fileName, TLUT& lut) override;
    void SaveToFile(const std::string& fileName, const TLUT& lut, int Bits) override;

protected:
    TCube3DLutFormat(TLutFormatInfo info, bool readsShaper)
        : TGenericLutFormat(std::move(info)), ReadsShaper(readsShaper) {}
    void ParseLine(const std::string& line, TLUT& lut) override;
    // Lines met before the size is known.
    virtual void ParseHeaderLine(const std::string& line, TLUT& lut);

private:
    // The shaper keywords, when the line starts with one of them.
    void ParseShaperKeyword(std::string_view line);
    void ParseInputRange(std::string_view keyword, std::string_view values);
    // At the first data line: the header is complete.
    void CheckShaperHeader() const;

    bool ReadsShaper = true;          // the format knows the shaper keywords
    std::int32_t ShaperLength = -1;   // "LUT_1D_SIZE", -1 when not given
    std::string UnsupportedRange;     // the first input range that is not 0..1
    bool InData = false;              // a data line has been met after the size
};

// Truelight cube text. Files from other programs may carry a 1D input table
// (grid-index units 0..N-1) between "# InputLUT" and "# Cube"; it is read into
// the curve and the LUT then applies curve and cube.
class TCube3DTruelightLutFormat : public TCube3DLutFormat {
public:
    TCube3DTruelightLutFormat();
    bool CanRead(const std::string& fileName) override;
    void LoadFromFile(const std::string& fileName, TLUT& lut) override;
    void SaveToFile(const std::string& fileName, const TLUT& lut, int Bits) override;

protected:
    void ParseLine(const std::string& line, TLUT& lut) override;
    void ParseHeaderLine(const std::string& line, TLUT& lut) override;

private:
    void ParseMarker(std::string_view comment);
    void ParseInputLine(const std::string& line, TLUT& lut);

    std::int32_t InputLength = -1;  // "# lutLength", -1 when not given
    bool InInputTable = false;
    bool HasInputTable = false;
};

class TFSI_CFE_3DLutFormat : public TCube3DLutFormat {
public:
    TFSI_CFE_3DLutFormat();
    bool CanRead(const std::string& fileName) override;
    void SaveToFile(const std::string& fileName, const TLUT& lut, int Bits) override;
};

// A 1D shaper table ahead of the cube.
class TNucoda3DLutFormat : public TGenericLutFormat {
public:
    TNucoda3DLutFormat();
    bool CanRead(const std::string& fileName) override;
    void LoadFromFile(const std::string& fileName, TLUT& lut) override;
    void SaveToFile(const std::string& fileName, const TLUT& lut, int Bits) override;

    std::int32_t CurveLength = 0;
    std::int32_t ShaperLength = 4096;
    std::int32_t CubeType = 0;
    bool HasCurve = false;
    bool HasCube = false;

protected:
    void ParseLine(const std::string& line, TLUT& lut) override;

private:
    void ParseDataLine(const std::string& line, TLUT& lut);
};

// Integers at a bit depth, blue index fastest.
class TCodex3DLutFormat : public TGenericLutFormat {
public:
    TCodex3DLutFormat();
    bool CanRead(const std::string& fileName) override;
    void SaveToFile(const std::string& fileName, const TLUT& lut, int Bits) override;

    std::int32_t ReadBits = 12;

protected:
    void ParseLine(const std::string& line, TLUT& lut) override;
};
