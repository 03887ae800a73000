#include <string>

#include "formats/CountedCurveFormat.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"

namespace {

// Colorfront OSD 1D: three decimals a line and no header; known by its
// extension.
class TColorFrontOSD1DLutFormat : public TCountedCurveLutFormat {
public:
    TColorFrontOSD1DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

}  // namespace

TColorFrontOSD1DLutFormat::TColorFrontOSD1DLutFormat()
    : TCountedCurveLutFormat({.Id = "colorfront-osd-1d",
                              .Name = "Colorfront OSD 1D",
                              .Extensions = {"1dlut"},
                              .Is3D = false,
                              .MaxSize = kMaxCurveSize}) {}

OMBRANE_LUT_FORMAT(TColorFrontOSD1DLutFormat)

bool TColorFrontOSD1DLutFormat::CanRead(std::string_view, const std::string& fileName) const {
    return CountedCurveExtensionIs(fileName, ".1DLUT");
}

void TColorFrontOSD1DLutFormat::ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const {
    if (IsSkipped(line)) return;
    double red = 0, green = 0, blue = 0;
    const bool parsed = ParseDataTriple(line, red, green, blue);
    TakeDataLine(lut, state, parsed, red, green, blue);
}

std::string TColorFrontOSD1DLutFormat::Write(const TLUT& lut, int, const std::string&) const {
    const std::int32_t size = CheckedCurveSize(lut.CurveSize);
    TTextFile text;
    text.Reserve(static_cast<std::size_t>(size));
    for (std::int32_t i = 0; i < size; ++i) {
        const TRGBDouble& entry = lut.Curve[i];
        text.Add(FormatFixed(6, entry.Red) + " " + FormatFixed(6, entry.Green) + " " + FormatFixed(6, entry.Blue));
    }
    return text.Text();
}
