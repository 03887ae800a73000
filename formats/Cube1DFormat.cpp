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

// A declared input range (LUT_1D_INPUT_RANGE, DOMAIN_MIN/MAX) is baked into
// the curve.
class TCube1DLutFormat : public TCurveLutFormat {
public:
    TCube1DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;

private:
    struct TCube1DState : TLutReadState {
        TCube1DState() : TLutReadState(false) {}
        TInputDomain CurveDomain;  // DOMAIN_MIN/MAX, LUT_1D_INPUT_RANGE
        TInputDomain CubeDomain;   // LUT_3D_INPUT_RANGE
    };
};

}  // namespace

TCube1DLutFormat::TCube1DLutFormat()
    : TCurveLutFormat(
          {.Id = "cube-1d", .Name = "Cube 1D", .Extensions = {"cube"}, .Is3D = false, .MaxSize = kMaxCurveSize}) {}

OMBRANE_LUT_FORMAT(TCube1DLutFormat)

// A file with a cube as well carries a 1D shaper ahead of it: Cube 3D's.
bool TCube1DLutFormat::CanRead(std::string_view head, const std::string&) const {
    return TextHasKeywords(head, "LUT_1D_SIZE", "NUCODA_3D_CUBE,LUT_3D_SIZE");
}

void TCube1DLutFormat::Read(std::string_view bytes, const std::string& name, TLUT& lut) const {
    TCube1DState state;
    ReadLines(bytes, name, lut, state);
    state.CubeDomain.CheckAbsent("cube");
    state.CurveDomain.Check();
    if (!state.CurveDomain.IsUnit()) {
        auto chain = std::make_shared<TLutChain>();
        chain->Append(state.CurveDomain.CurveOperation(lut));
        state.CurveDomain.BakeIntoCurve(lut);
        lut.Chain = std::move(chain);
    }
}

void TCube1DLutFormat::ParseLine(const std::string& line, TLUT& lut, TLutReadState& base) const {
    auto& state = static_cast<TCube1DState&>(base);
    const std::string_view trimmed = TrimView(line);
    if (trimmed.empty()) return;
    if (trimmed.front() == '#') {
        lut.Comments.push_back(Trim(trimmed.substr(1)));
        return;
    }
    static constexpr std::string_view kSizeKey = "LUT_1D_SIZE";
    if (const int pos = ContainsText(kSizeKey, line)) {
        state.SetSize(ParseInteger(TextAfter(line, pos, kSizeKey.size())));
        return;
    }
    double red, green, blue;
    if (state.Size != -1 && !state.Complete && ParseDataTriple(line, red, green, blue)) {
        StoreDeclared(lut, state, red, green, blue);
        return;
    }
    std::string rest(trimmed);
    std::string keyword;
    NextToken(rest, keyword);
    keyword = UpperCase(keyword);
    if (TInputDomain::IsKeyword(keyword))
        (keyword == "LUT_3D_INPUT_RANGE" ? state.CubeDomain : state.CurveDomain).Take(keyword, rest);
}

std::string TCube1DLutFormat::Write(const TLUT& lut, int, const std::string&) const {
    const std::int32_t size = CheckedCurveSize(lut.CurveSize);
    TTextFile text;
    text.Reserve(static_cast<std::size_t>(size) + lut.Comments.size() + 3);
    for (const std::string& comment : lut.Comments) text.Add("# " + comment);
    text.Add(std::string(kSignatureLine));
    text.Add("");
    text.Add("LUT_1D_SIZE " + std::to_string(size));
    for (std::int32_t i = 0; i < size; ++i) text.Add(CurveSixDecimals(lut.Curve[i]));
    return text.Text();
}
