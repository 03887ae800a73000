#pragma once
#include <string>

#include "LutFormat.h"

// An XML document holding a cube of integers in blue-fastest order with its
// full-scale maximum.
class TPFClean3D_Format : public TGenericLutFormat {
public:
    TPFClean3D_Format();
    bool CanRead(const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;
};
