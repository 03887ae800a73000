#pragma once
#include <string>

#include "LutFormat.h"

// An XML-like text: a LUT3D element with the name, grid size and bit depth
// as attributes and the integer grid, blue index fastest, inside "values".
class TClipster3DLutFormat : public TGenericLutFormat {
public:
    TClipster3DLutFormat();
    bool CanRead(const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

    // The name written into the start tag: characters that would end the
    // single-quoted attribute or split it at the attribute parse (quotes,
    // blanks and control characters, "<", ">", "&") become "_".
    static std::string SafeName(const std::string& name);
};
