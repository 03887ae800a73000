#include <cstdint>
#include <string>
#include <string_view>
#include "engine/lut/LutChain.h"
#include "formats/InputDomain.h"
#include "formats/LutFormat.h"

#include <cmath>

#include "formats/Cube3DFormat.h"
#include "formats/CubeLines.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"

namespace {

// Truelight cube text. Files from other programs may carry a 1D input table
// (grid-index units 0..N-1) between "# InputLUT" and "# Cube"; it is read into
// the curve and the LUT then applies curve and cube.
class TCube3DTruelightLutFormat : public TCube3DLutFormat {
public:
    TCube3DTruelightLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
    void ParseHeaderLine(const std::string& line, TLUT& lut, TCubeState& state) const override;

private:
    struct TTruelightState : TCubeState {
        std::int32_t InputLength = -1;  // "# lutLength", -1 when not given
        bool InInputTable = false;
        bool HasInputTable = false;
    };
    static void ParseMarker(std::string_view comment, TTruelightState& state);
    static void ParseInputLine(const std::string& line, TLUT& lut, TTruelightState& state);
};

}  // namespace

TCube3DTruelightLutFormat::TCube3DTruelightLutFormat()
    : TCube3DLutFormat({.Id = "cube-3d-truelight", .Name = "Cube 3D Truelight", .Extensions = {"cube"}}, false) {}

OMBRANE_LUT_FORMAT(TCube3DTruelightLutFormat)

bool TCube3DTruelightLutFormat::CanRead(std::string_view head, const std::string&) const {
    return TextHasKeywords(head, "iDims,oDims,width", "NUCODA_3D_CUBE");
}

std::string TCube3DTruelightLutFormat::Write(const TLUT& lut, int Bits, const std::string& name) const {
    (void)Bits;
    (void)name;
    const std::string n = std::to_string(CheckedCubeSize(lut.CubeSize));
    TTextFile text;
    text.Add("# Truelight Cube v2.0");
    text.Add("# iDims     3");
    text.Add("# oDims     3");
    text.Add("# width     " + n + " " + n + " " + n);
    text.Add("");
    text.Add("# Cube");
    AddFixedGridRedFastest(text, lut, false);
    text.Add("# end");
    text.Add(std::string(kSignatureLine));
    return text.Text();
}

void TCube3DTruelightLutFormat::Read(std::string_view bytes, const std::string& name, TLUT& lut) const {
    TTruelightState state;
    ReadLines(bytes, name, lut, state);
    FinishShaper(lut, state);
    if (!state.HasInputTable) return;
    // The input table must be complete too: its declared length, or at
    // least two entries when no length was given.
    if ((state.InputLength > 0 && state.CurveIndex < state.InputLength) || state.CurveIndex < 2)
        throw IncompleteFile(state.InputLength > 0 ? state.InputLength : 2, state.CurveIndex);
    lut.CurveSize = state.CurveIndex;
    lut.Kind = lkCurveThenCube;
}

void TCube3DTruelightLutFormat::ParseLine(const std::string& line, TLUT& lut, TLutReadState& base) const {
    auto& state = static_cast<TTruelightState&>(base);
    const char first = FirstNonBlank(line);
    if (first == '#') {
        ParseMarker(CommentText(line), state);
        if (state.Size == -1) ParseHeaderLine(line, lut, state);
        return;
    }
    if (state.InInputTable)
        ParseInputLine(line, lut, state);
    else
        TCube3DLutFormat::ParseLine(line, lut, state);
}

// "# InputLUT" opens the input table, "# Cube" ends it; "# lutLength N"
// gives its length.
void TCube3DTruelightLutFormat::ParseMarker(std::string_view comment, TTruelightState& state) {
    const std::string upper = UpperCase(comment);
    if (upper == "INPUTLUT") {
        state.InInputTable = true;
        state.HasInputTable = true;
    } else if (upper == "CUBE") {
        state.InInputTable = false;
    } else if (upper.rfind("LUTLENGTH", 0) == 0 && state.InputLength == -1) {
        state.InputLength = CheckedCurveSize(ParseInteger(Trim(comment.substr(9))));
    }
}

void TCube3DTruelightLutFormat::ParseInputLine(const std::string& line, TLUT& lut, TTruelightState& state) {
    const std::int32_t capacity = state.InputLength > 0 ? state.InputLength : kMaxCurveSize;
    double r, g, b;
    if (state.Size < 2 || state.CurveIndex >= capacity || !ParseDataTriple(line, r, g, b)) return;
    const double scale = state.Size - 1;
    lut.Curve[state.CurveIndex++] = TRGBDouble{r / scale, g / scale, b / scale};
}

void TCube3DTruelightLutFormat::ParseHeaderLine(const std::string& line, TLUT& lut, TCubeState& state) const {
    (void)lut;
    if (int p = ContainsText("# width", line); p > 0) {
        std::string rest(TextAfter(line, p, 7));
        std::string head;
        SplitAt(" ", rest, head);
        state.SetSize(ParseInteger(head));
    }
}
