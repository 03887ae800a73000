#include <cstdint>
#include <string>
#include <string_view>
#include "engine/lut/LutChain.h"
#include "formats/InputDomain.h"
#include "formats/LutFormat.h"

#include <cmath>

#include "formats/CubeLines.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"

namespace {

// A 1D shaper table ahead of the cube.
class TNucoda3DLutFormat : public TGenericLutFormat {
public:
    // Entries of the shaper the writer puts ahead of the cube.
    static constexpr std::int32_t kShaperLength = 4096;

    TNucoda3DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;

private:
    struct TNucodaState : TLutReadState {
        TNucodaState() : TLutReadState(true) {}
        std::int64_t Expected() const override;
        std::int32_t CurveLength = 0;
        std::int32_t CubeType = 0;
        bool HasCurve = false;
        bool HasCube = false;
    };
    static void ParseDataLine(const std::string& line, TLUT& lut, TNucodaState& state);
};

}  // namespace

TNucoda3DLutFormat::TNucoda3DLutFormat()
    : TGenericLutFormat({.Id = "nucoda-3d", .Name = "Nucoda 3D", .Extensions = {"cms"}}) {}

OMBRANE_LUT_FORMAT(TNucoda3DLutFormat)

bool TNucoda3DLutFormat::CanRead(std::string_view head, const std::string&) const {
    return TextHasKeywords(head, "NUCODA_3D_CUBE", "");
}

std::string TNucoda3DLutFormat::Write(const TLUT& lut, int Bits, const std::string& name) const {
    (void)Bits;
    const int n = CheckedCubeSize(lut.CubeSize);
    const int shaper = kShaperLength;
    TTextFile text;
    text.Add("NUCODA_3D_CUBE 1");
    text.Add("");
    text.Add("TITLE \"" + BaseNameWithoutExtension(name) + "\"");
    text.Add("");
    text.Add("LUT_1D_SIZE " + std::to_string(shaper));
    text.Add("LUT_3D_SIZE " + std::to_string(n));
    text.Add("");
    for (int k = 0; k < shaper; ++k) {
        const std::string value = FormatFixed(6, k / double(shaper - 1) * 32.999999);
        text.Add(value + " " + value + " " + value);
    }
    text.Add("");
    AddFixedGridRedFastest(text, lut, false);
    return text.Text();
}

std::int64_t TNucoda3DLutFormat::TNucodaState::Expected() const {
    const std::int64_t n = HasCube && Size >= 2 ? Size : 0;
    return (HasCurve ? CurveLength : 0) + n * n * n;
}

void TNucoda3DLutFormat::Read(std::string_view bytes, const std::string& name, TLUT& lut) const {
    TNucodaState state;
    ReadLines(bytes, name, lut, state);

    // Each section the file announces must be filled completely.
    const bool curveFilled = state.HasCurve && state.CurveIndex == state.CurveLength;
    const bool cubeFilled = state.HasCube && state.Size >= 2 && state.BIndex == state.Size;
    if (curveFilled) {
        lut.Kind = lkCurve;
        lut.CurveSize = state.CurveIndex;
    }
    if (cubeFilled) {
        lut.Kind = state.HasCurve ? lkCurveThenCube : lkCube;
        lut.CubeSize = state.Size;
    }
    if ((state.HasCurve && !curveFilled) || (state.HasCube && !cubeFilled) || (!state.HasCurve && !state.HasCube))
        throw IncompleteFile(state.Expected(), state.CurveIndex + state.Stored);
}

void TNucoda3DLutFormat::ParseLine(const std::string& line, TLUT& lut, TLutReadState& base) const {
    auto& state = static_cast<TNucodaState&>(base);
    const char first = FirstNonBlank(line);
    if (first == '\0' || first == '#') return;
    if (int p = ContainsText("NUCODA_3D_CUBE", line); p > 0) {
        state.CubeType = ParseInteger(TextAfter(line, p, 14, 1));
    } else if (int p1 = ContainsText("LUT_1D_SIZE", line); p1 > 0) {
        state.CurveLength = CheckedCurveSize(ParseInteger(TextAfter(line, p1, 11)));
        state.HasCurve = true;
    } else if (int p3 = ContainsText("LUT_3D_SIZE", line); p3 > 0) {
        state.SetSize(ParseInteger(TextAfter(line, p3, 11)));
        state.HasCube = true;
    } else {
        ParseDataLine(line, lut, state);
    }
}

// Data lines fill the shaper, then the cube red index fastest; the file
// counts as read once a data line has been met (the sections are checked
// after the loop).
void TNucoda3DLutFormat::ParseDataLine(const std::string& line, TLUT& lut, TNucodaState& state) {
    state.Complete = true;
    double r, g, b;
    if (!ParseDataTriple(line, r, g, b)) return;
    if (state.HasCurve && state.CurveIndex < state.CurveLength) {
        const double divisor = state.CubeType == 1 ? 33.0 : 1.0;
        lut.Curve[state.CurveIndex++] = TRGBDouble{r / divisor, g / divisor, b / divisor};
        return;
    }
    if (!state.HasCube || state.Size < 2 || state.BIndex >= state.Size) return;
    lut.Cube[state.RIndex][state.GIndex][state.BIndex] = TRGBDouble{r, g, b};
    ++state.Stored;
    if (++state.RIndex < state.Size) return;
    state.RIndex = 0;
    if (++state.GIndex < state.Size) return;
    state.GIndex = 0;
    ++state.BIndex;
}
