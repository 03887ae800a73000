#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "LutFormat.h"

// LUT formats stored as XML documents. They read through the XML document
// model and write their documents as literal lines.

// A 1D curve: <lut><data><elem r= g= b=/>... with 10-bit integer values.
class TStwo1DLutFormat : public TGenericLutFormat {
public:
    TStwo1DLutFormat();
    bool CanRead(const std::string& fileName) override;
    void LoadFromFile(const std::string& fileName, TLUT& lut) override;
    void SaveToFile(const std::string& fileName, const TLUT& lut, int Bits) override;
};

// A look whose lut element holds a size and a cube of hex-coded floats in
// red-fastest order. Read only.
class TSpeedgradeLook3DLutFormat : public TGenericLutFormat {
public:
    TSpeedgradeLook3DLutFormat();
    bool CanRead(const std::string& fileName) override;
    void LoadFromFile(const std::string& fileName, TLUT& lut) override;
    // No writer: raises ELUTError.
    void SaveToFile(const std::string& fileName, const TLUT& lut, int Bits) override;
};

// One slope/offset/power colour correction with a saturation, turned into a
// 33-point cube. Read only.
class TASC_CDL_Format : public TGenericLutFormat {
public:
    TASC_CDL_Format();
    bool CanRead(const std::string& fileName) override;
    void LoadFromFile(const std::string& fileName, TLUT& lut) override;
    // No writer: raises ELUTError.
    void SaveToFile(const std::string& fileName, const TLUT& lut, int Bits) override;
};

// A cube of integers in blue-fastest order with its full-scale maximum.
class TPFClean3D_Format : public TGenericLutFormat {
public:
    TPFClean3D_Format();
    bool CanRead(const std::string& fileName) override;
    void LoadFromFile(const std::string& fileName, TLUT& lut) override;
    void SaveToFile(const std::string& fileName, const TLUT& lut, int Bits) override;
};

struct TCDLChannel {
    float Slope = 1.0f;
    float Offset = 0.0f;
    float Power = 1.0f;
};

struct TCDLData {
    TCDLChannel Red, Green, Blue;
    float Saturation = 1.0f;
    std::string Id;
};

// Parses one ColorCorrection document. Missing elements raise EError
// 'The "name" node is not found'; bad numbers raise ELUTError.
void ReadCDLFile(const std::string& fileName, TCDLData& data);

// Maps one colour through the correction, in 32-bit float arithmetic: slope,
// offset and power per channel (0 for a result of 0 or below), then the
// saturation around the plain mean of the three channels.
void ApplyCDL(const TCDLData& data, float inRed, float inGreen, float inBlue,
              float& outRed, float& outGreen, float& outBlue);

// Reads one little-endian IEEE single written as eight hex digits, starting
// at the 0-based position and skipping every non-hex character; the position
// ends after the last character examined. A NaN reads as 0. Returns false,
// with the position at the end, when the text ends before eight digits.
bool ReadHexSingle(std::string_view text, std::size_t& position, float& value);
