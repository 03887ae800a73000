#include <string>

#include "formats/CountedCurveFormat.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"

namespace {

// 12-bit output LUT.
class TDavinciOLut1DLutFormat : public TDavinciLut1DLutFormat {
public:
    TDavinciOLut1DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
};

}  // namespace

TDavinciOLut1DLutFormat::TDavinciOLut1DLutFormat()
    : TDavinciLut1DLutFormat({.Id = "davinci-olut-1d",
                              .Name = "DaVinci Resolve olut 1D",
                              .Extensions = {"olut"},
                              .Is3D = false,
                              .Writes = false,
                              .MaxSize = kMaxCurveSize},
                             4095.0) {}

OMBRANE_LUT_FORMAT(TDavinciOLut1DLutFormat)

bool TDavinciOLut1DLutFormat::CanRead(std::string_view, const std::string& fileName) const {
    return CountedCurveExtensionIs(fileName, ".OLUT");
}
