#include <cstdint>
#include <string>
#include <string_view>
#include "engine/lut/LutChain.h"
#include "formats/InputDomain.h"
#include "formats/LutFormat.h"

#include <cmath>

#include "formats/Cube3DFormat.h"
#include "formats/CubeLines.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"

namespace {

class TFSI_CFE_3DLutFormat : public TCube3DLutFormat {
public:
    TFSI_CFE_3DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;
};

}  // namespace

TFSI_CFE_3DLutFormat::TFSI_CFE_3DLutFormat()
    : TCube3DLutFormat({.Id = "fsi-cfe-3d", .Name = "FSI CFE (Flanders Scientific) 3D", .Extensions = {"cfe"}}, true) {}

OMBRANE_LUT_FORMAT(TFSI_CFE_3DLutFormat)

bool TFSI_CFE_3DLutFormat::CanRead(std::string_view head, const std::string&) const {
    return TextHasKeywords(head, "LUT_3D_SIZE,LUT_3D_VERSION", "NUCODA_3D_CUBE");
}

std::string TFSI_CFE_3DLutFormat::Write(const TLUT& lut, int Bits, const std::string& name) const {
    (void)Bits;
    (void)name;
    const int n = CheckedCubeSize(lut.CubeSize);
    TTextFile text;
    text.Add("LUT_3D_AUTHOR Quor LUT Converter");
    text.Add("LUT_3D_MODEL CM240");
    text.Add("LUT_3D_VERSION 2.0.0");
    text.Add("LUT_3D_SIZE " + std::to_string(n));
    text.Add("");
    AddFixedGridRedFastest(text, lut, false);
    return text.Text();
}
