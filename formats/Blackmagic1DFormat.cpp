#include <string>

#include "formats/CountedCurveFormat.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"

namespace {

// Blackmagic HDLink 1D: a line naming "HDLINK", then values in thousandths.
class TBlackmagic1DLutFormat : public TCountedCurveLutFormat {
public:
    TBlackmagic1DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

}  // namespace

TBlackmagic1DLutFormat::TBlackmagic1DLutFormat()
    : TCountedCurveLutFormat({.Id = "blackmagic-1d",
                              .Name = "Blackmagic HDLink 1D",
                              .Extensions = {"txt"},
                              .Is3D = false,
                              .MaxSize = kMaxCurveSize}) {}

OMBRANE_LUT_FORMAT(TBlackmagic1DLutFormat)

bool TBlackmagic1DLutFormat::CanRead(std::string_view head, const std::string&) const {
    return TextHasKeywords(head, "HDLINK", "");
}

void TBlackmagic1DLutFormat::ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const {
    if (IsSkipped(line)) return;
    const char first = FirstNonBlank(line);
    if (first < '0' || first > '9') return;
    double red = 0, green = 0, blue = 0;
    const bool parsed = ParseDataTriple(line, red, green, blue);
    TakeDataLine(lut, state, parsed, red / 1000, green / 1000, blue / 1000);
}

std::string TBlackmagic1DLutFormat::Write(const TLUT& lut, int, const std::string&) const {
    const std::int32_t size = CheckedCurveSize(lut.CurveSize);
    TTextFile text;
    text.Reserve(static_cast<std::size_t>(size) + 1);
    text.Add("R\tG\tB - HDLINK GAMMA TABLE");
    for (std::int32_t i = 0; i < size; ++i) {
        const TRGBDouble& entry = lut.Curve[i];
        text.Add(FormatFixed(2, entry.Red * 1000) + " " + FormatFixed(2, entry.Green * 1000) + " " +
                 FormatFixed(2, entry.Blue * 1000));
    }
    return text.Text();
}
