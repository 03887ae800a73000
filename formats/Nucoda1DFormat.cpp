#include <charconv>
#include <cmath>
#include <string>

#include "engine/lut/CurveOperation.h"
#include "engine/lut/HalfFloat.h"
#include "engine/lut/LutChain.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"
#include "formats/Lut1DFormats.h"

namespace {

// Writer only: CanRead answers false for every file.
class TNucoda1DLutWriterFormat : public TCurveLutFormat {
public:
    TNucoda1DLutWriterFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;
};

}  // namespace

TNucoda1DLutWriterFormat::TNucoda1DLutWriterFormat()
    : TCurveLutFormat({.Id = "nucoda-1d",
                       .Name = "Nucoda 1D",
                       .Extensions = {"cms"},
                       .Is3D = false,
                       .Reads = false,
                       .MaxSize = kMaxCurveSize}) {}

OMBRANE_LUT_FORMAT(TNucoda1DLutWriterFormat)

bool TNucoda1DLutWriterFormat::CanRead(std::string_view, const std::string&) const { return false; }

std::string TNucoda1DLutWriterFormat::Write(const TLUT& lut, int, const std::string& fileName) const {
    const std::int32_t size = CheckedCurveSize(lut.CurveSize);
    TTextFile text;
    text.Reserve(static_cast<std::size_t>(size) + 6);
    text.Add("NUCODA_3D_CUBE 2");
    text.Add("");
    text.Add("TITLE \"" + BaseNameWithoutExtension(fileName) + "\"");
    text.Add("");
    text.Add("LUT_1D_SIZE " + std::to_string(size));
    text.Add("");
    for (std::int32_t i = 0; i < size; ++i) text.Add(CurveSixDecimals(lut.Curve[i]));
    return text.Text();
}
