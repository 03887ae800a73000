#include <string>

#include "formats/CountedCurveFormat.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"

namespace {

// 14-bit input LUT.
class TDavinciILut1DLutFormat : public TDavinciLut1DLutFormat {
public:
    TDavinciILut1DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
};

}  // namespace

TDavinciILut1DLutFormat::TDavinciILut1DLutFormat()
    : TDavinciLut1DLutFormat({.Id = "davinci-ilut-1d",
                              .Name = "DaVinci Resolve ilut 1D",
                              .Extensions = {"ilut"},
                              .Is3D = false,
                              .Writes = false,
                              .MaxSize = kMaxCurveSize},
                             16383.0) {}

OMBRANE_LUT_FORMAT(TDavinciILut1DLutFormat)

bool TDavinciILut1DLutFormat::CanRead(std::string_view head, const std::string& fileName) const {
    return CountedCurveExtensionIs(fileName, ".ILUT") &&
           UpperCase(head.substr(0, 4096)).find("<IRIDASCRIPT>") == std::string::npos;
}
