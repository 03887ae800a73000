#pragma once
#include <string>

#include "LutFormat.h"

// A 1D curve as an XML document: <lut><data><elem r= g= b=/>... with
// integer values; read at 10 bits, written at the bit depth asked for.
class TStwo1DLutFormat : public TGenericLutFormat {
public:
    // The bit depth the reader assumes.
    static constexpr int kReadBits = 10;

    TStwo1DLutFormat();
    bool CanRead(const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;
};
