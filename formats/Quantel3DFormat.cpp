#include <string>
#include "formats/LutFormat.h"

#include <cmath>

#include "formats/CubeLines.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"
#include "formats/IntegerCubeLines.h"

namespace {

class TQuantel3DLutFormat : public TGenericLutFormat {
public:
    TQuantel3DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

}  // namespace

TQuantel3DLutFormat::TQuantel3DLutFormat()
    : TGenericLutFormat(
          {.Id = "quantel-3d", .Name = "Quantel 3D", .Extensions = {"txt"}, .MinBits = 1, .MaxBits = 32}) {}

OMBRANE_LUT_FORMAT(TQuantel3DLutFormat)

bool TQuantel3DLutFormat::CanRead(std::string_view head, const std::string&) const {
    return TextHasKeywords(head, "max value,vertices", "");
}

std::string TQuantel3DLutFormat::Write(const TLUT& lut, int Bits, const std::string&) const {
    const int n = CheckedCubeSize(lut.CubeSize);
    const int bits = Info().CheckedBits(Bits);
    TTextFile text;
    text.Add("max value " + std::to_string((std::int64_t(1) << bits) - 1));
    text.Add("vertices " + std::to_string(n));
    text.Add("blue is fastest changing");
    text.Add("red is slowest changing");
    text.Add("");
    text.Add("cube data");
    text.Add("R G B");
    AddScaledGridBlueFastest(text, lut, bits);
    return text.Text();
}

void TQuantel3DLutFormat::ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const {
    const char first = FirstNonBlank(line);
    if (first == '\0' || first == '#') return;
    if (state.Size == -1 && IntegerCubeLineStarts(line, "vertices")) {
        state.SetSize(IntegerCubeValueAfter(line, "vertices"));
        return;
    }
    if (state.Range == -1 && IntegerCubeLineStarts(line, "max value")) {
        state.Range = IntegerCubeFullScale(IntegerCubeValueAfter(line, "max value"));
        return;
    }
    double r, g, b;
    if (state.Size != -1 && state.Range != -1 && !state.Complete && ParseIntTriple(line, state.Range, false, r, g, b))
        state.StoreBlueFastest(lut, r, g, b);
}
