#include "formats/Cube3DFormat.h"

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

TCube3DLutFormat::TCube3DLutFormat()
    : TCube3DLutFormat({.Id = "cube-3d", .Name = "Cube 3D", .Extensions = {"cube"}}, true) {}

OMBRANE_LUT_FORMAT(TCube3DLutFormat)

bool TCube3DLutFormat::CanRead(std::string_view head, const std::string&) const {
    return TextHasKeywords(head, "LUT_3D_SIZE", "NUCODA_3D_CUBE,LUT_3D_VERSION");
}

std::string TCube3DLutFormat::Write(const TLUT& lut, int Bits, const std::string& name) const {
    (void)Bits;
    (void)name;
    const int n = CheckedCubeSize(lut.CubeSize);
    TTextFile text;
    for (const std::string& comment : lut.Comments) text.Add("# " + comment);
    text.Add(std::string(kSignatureLine));
    text.Add("");
    text.Add("LUT_3D_SIZE " + std::to_string(n));
    AddFixedGridRedFastest(text, lut, false);
    return text.Text();
}

void TCube3DLutFormat::Read(std::string_view bytes, const std::string& name, TLUT& lut) const {
    TCubeState state;
    ReadLines(bytes, name, lut, state);
    FinishShaper(lut, state);
}

void TCube3DLutFormat::FinishShaper(TLUT& lut, const TCubeState& state) const {
    if (state.ShaperLength < 0) {
        // A cube alone: a range for a 1D table it does not hold is refused,
        // its own range is baked into the table.
        state.CurveDomain.CheckAbsent("1D table");
        state.CubeDomain.Check();
        if (!state.CubeDomain.IsUnit()) {
            auto chain = std::make_shared<TLutChain>();
            chain->Append(state.CubeDomain.CubeOperation(lut));
            state.CubeDomain.BakeIntoCube(lut);
            lut.Chain = std::move(chain);
        }
        return;
    }
    // The cube is complete here, and the shaper lines come before it.
    if (state.CurveIndex < state.ShaperLength) throw IncompleteFile(state.ShaperLength, state.CurveIndex);
    lut.CurveSize = state.ShaperLength;
    lut.Kind = lkCurveThenCube;
    // A shaper or cube over another range than 0..1: the chain follows the
    // file, the tables hold it resampled over 0..1.
    if (!state.CurveDomain.IsUnit() || !state.CubeDomain.IsUnit()) {
        auto chain = std::make_shared<TLutChain>();
        chain->Append(state.CurveDomain.CurveOperation(lut));
        chain->Append(state.CubeDomain.CubeOperation(lut));
        state.CurveDomain.BakeIntoCurve(lut);
        state.CubeDomain.BakeIntoCube(lut);
        lut.Chain = std::move(chain);
    }
}

void TCube3DLutFormat::ParseLine(const std::string& line, TLUT& lut, TLutReadState& base) const {
    auto& state = static_cast<TCubeState&>(base);
    const char first = FirstNonBlank(line);
    if (first == '\0') return;
    if (state.Size == -1) {
        ParseHeaderLine(line, lut, state);
        return;
    }
    double r, g, b;
    if (first == '#' || state.Complete) return;
    if (!ParseDataTriple(line, r, g, b)) {
        // Keywords may still follow the size line until the data begins.
        if (!state.InData && ReadsShaper) ParseShaperKeyword(line, state);
        return;
    }
    if (!state.InData) {
        state.InData = true;
        CheckShaperHeader(state);
    }
    if (state.CurveIndex < state.ShaperLength) {
        lut.Curve[state.CurveIndex++] = TRGBDouble{r, g, b};
        return;
    }
    state.StoreRedFastest(lut, r, g, b);
}

void TCube3DLutFormat::ParseHeaderLine(const std::string& line, TLUT& lut, TCubeState& state) const {
    if (FirstNonBlank(line) == '#') {
        lut.Comments.push_back(CommentText(line));
        return;
    }
    if (int p = ContainsText("LUT_3D_SIZE", line); p > 0)
        state.SetSize(ParseInteger(TextAfter(line, p, 11)));
    else if (ReadsShaper)
        ParseShaperKeyword(line, state);
}

void TCube3DLutFormat::ParseShaperKeyword(std::string_view line, TCubeState& state) const {
    std::string rest = Trim(line);
    std::string keyword;
    NextToken(rest, keyword);
    keyword = UpperCase(keyword);
    if (keyword == "LUT_1D_SIZE") {
        state.ShaperLength = CheckedCurveSize(ParseInteger(Trim(rest)));
        return;
    }
    if (!TInputDomain::IsKeyword(keyword)) return;
    // A range other than 0..1 is remembered; once the file turns out to carry
    // a shaper, a malformed or empty one is refused there.
    TInputDomain& domain = keyword == "LUT_1D_INPUT_RANGE" ? state.CurveDomain : state.CubeDomain;
    if (!domain.Take(keyword, rest) && state.UnsupportedRange.empty())
        state.UnsupportedRange = keyword + " " + Trim(rest);
}

void TCube3DLutFormat::CheckShaperHeader(const TCubeState& state) const {
    if (state.ShaperLength > 0 && !state.UnsupportedRange.empty()) {
        state.CurveDomain.Check();
        state.CubeDomain.Check();
    }
}
