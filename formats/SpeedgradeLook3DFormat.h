#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "LutFormat.h"

// A look document whose lut element holds a size and a cube of hex-coded
// floats in red-fastest order. Read only.
class TSpeedgradeLook3DLutFormat : public TGenericLutFormat {
public:
    TSpeedgradeLook3DLutFormat();
    bool CanRead(const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    // No writer: raises ELUTError.
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;
};

// Reads one little-endian IEEE single written as eight hex digits, starting
// at the 0-based position and skipping every non-hex character; the position
// ends after the last character examined. A NaN reads as 0. Returns false,
// with the position at the end, when the text ends before eight digits.
bool ReadHexSingle(std::string_view text, std::size_t& position, float& value);
