#include <string>
#include "formats/LutFormat.h"

#include <cmath>

#include "formats/CubeLines.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"
#include "formats/IntegerCubeLines.h"

namespace {

// Luther: read at a fixed 10-bit full scale.
class TLuther3DLutFormat : public TGenericLutFormat {
public:
    TLuther3DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

}  // namespace

TLuther3DLutFormat::TLuther3DLutFormat()
    : TGenericLutFormat({.Id = "luther-3d", .Name = "Luther 3D", .Extensions = {"txt"}, .MinBits = 1, .MaxBits = 32}) {}

OMBRANE_LUT_FORMAT(TLuther3DLutFormat)

bool TLuther3DLutFormat::CanRead(std::string_view head, const std::string&) const {
    return TextHasKeywords(head, "channels: c3", "");
}

std::string TLuther3DLutFormat::Write(const TLUT& lut, int Bits, const std::string&) const {
    const int n = CheckedCubeSize(lut.CubeSize);
    TTextFile text;
    text.Add("#channels: c3");
    text.Add("#elements = " + IntegerCubePoints(n));
    AddScaledGridBlueFastest(text, lut, Bits);
    return text.Text();
}

void TLuther3DLutFormat::ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const {
    const char first = FirstNonBlank(line);
    if (first == '\0') return;
    if (state.Size == -1) {
        if (int p = ContainsText("elements =", line); p > 0) {
            const std::size_t start = static_cast<std::size_t>(p - 1) + 10;
            state.SetSizeFromCount(ParseInteger(TrimView(std::string_view(line).substr(start))));
            return;
        }
    }
    double r, g, b;
    if (first != '#' && state.Size != -1 && !state.Complete && ParseIntTriple(line, 1023.0, false, r, g, b))
        state.StoreBlueFastest(lut, r, g, b);
}
