#include <cmath>
#include <string>

#include "formats/CountedCurveFormat.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"

namespace {

// Autodesk Lustre 1D: a "LUT16" or "LUT12" header line, then numbered integer
// entries at that bit depth.
class TLustre1DLutFormat : public TCountedCurveLutFormat {
public:
    TLustre1DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

}  // namespace

TLustre1DLutFormat::TLustre1DLutFormat()
    : TCountedCurveLutFormat({.Id = "lustre-1d",
                              .Name = "Autodesk Lustre 1D",
                              .Extensions = {"lut"},
                              .Is3D = false,
                              .MaxSize = kMaxCurveSize,
                              .MinBits = 1,
                              .MaxBits = 31}) {}

OMBRANE_LUT_FORMAT(TLustre1DLutFormat)

bool TLustre1DLutFormat::CanRead(std::string_view head, const std::string&) const {
    return TextHasKeywords(head, "LUT16", "") || TextHasKeywords(head, "LUT12", "");
}

void TLustre1DLutFormat::ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const {
    if (IsSkipped(line)) return;
    if (state.Range == -1) {
        const std::string_view header = TrimView(line);
        if (header == "LUT16")
            state.Range = 16;
        else if (header == "LUT12")
            state.Range = 12;
        state.Size = 0;
        return;
    }
    double red = 0, green = 0, blue = 0;
    const double fullScale = std::ldexp(1.0, state.Range) - 1.0;
    const bool parsed = ParseIntTriple(line, fullScale, true, red, green, blue);
    TakeDataLine(lut, state, parsed, red, green, blue);
}

std::string TLustre1DLutFormat::Write(const TLUT& lut, int Bits, const std::string&) const {
    const std::int32_t size = CheckedCurveSize(lut.CurveSize);
    FullScaleForBits(Info(), Bits);
    TTextFile text;
    text.Reserve(static_cast<std::size_t>(size) + 4);
    text.Add("LUT" + std::to_string(Bits));
    text.Add("");
    text.Add(std::string(kSignatureLine));
    text.Add("");
    for (std::int32_t i = 0; i < size; ++i)
        text.Add(std::to_string(i) + " " + CountedCurveScaledTriple(Bits, lut.Curve[i]));
    return text.Text();
}
