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

class TFilmlight1DLutFormat : public TCurveLutFormat {
public:
    TFilmlight1DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

}  // namespace

TFilmlight1DLutFormat::TFilmlight1DLutFormat()
    : TCurveLutFormat({.Id = "filmlight-1d",
                       .Name = "Filmlight Truelight 1D",
                       .Extensions = {"cube"},
                       .Is3D = false,
                       .MaxSize = kMaxCurveSize}) {}

OMBRANE_LUT_FORMAT(TFilmlight1DLutFormat)

bool TFilmlight1DLutFormat::CanRead(std::string_view head, const std::string&) const {
    return TextHasKeywords(head, "iDims,lutLength", "");
}

void TFilmlight1DLutFormat::ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const {
    const std::string_view trimmed = TrimView(line);
    if (trimmed.empty()) return;
    static constexpr std::string_view kKey = "lutLength";
    if (state.Size == -1) {
        if (const int pos = ContainsText(kKey, line)) state.SetSize(ParseInteger(TextAfter(line, pos, kKey.size(), 1)));
        return;
    }
    double red, green, blue;
    if (trimmed.front() != '#' && !state.Complete && ParseDataTriple(line, red, green, blue))
        StoreDeclared(lut, state, red, green, blue);
}

std::string TFilmlight1DLutFormat::Write(const TLUT& lut, int, const std::string&) const {
    const std::int32_t size = CheckedCurveSize(lut.CurveSize);
    TTextFile text;
    text.Reserve(static_cast<std::size_t>(size) + 7);
    text.Add("# Truelight Cube v2.0");
    text.Add("# lutLength " + std::to_string(size));
    text.Add("# iDims     3");
    text.Add("");
    text.Add("# InputLUT");
    for (std::int32_t i = 0; i < size; ++i) text.Add(CurveSixDecimals(lut.Curve[i]));
    text.Add("# end");
    text.Add(std::string(kSignatureLine));
    return text.Text();
}
