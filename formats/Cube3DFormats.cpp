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

// The cube family: a size keyword followed by one line of three decimals per
// grid point, red index fastest. Cube 3D is the model; Truelight and FSI CFE
// differ in their header and detection.
//
// A Cube 3D file may carry a 1D shaper: "LUT_1D_SIZE M" in the header, then
// M data lines of the shaper ahead of the cube lines. The shaper is read into
// the curve (its values are already in the cube's 0..1 domain) and the LUT
// applies curve then cube. An input range other than 0..1 for either section
// of such a file cannot be represented and is refused.
class TCube3DLutFormat : public TGenericLutFormat {
public:
    TCube3DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    // The reading state of the cube family.
    struct TCubeState : TLutReadState {
        TCubeState() : TLutReadState(true) {}
        std::int32_t ShaperLength = -1;  // "LUT_1D_SIZE", -1 when not given
        std::string UnsupportedRange;    // the first input range that is not 0..1
        bool InData = false;             // a data line has been met after the size
        TInputDomain CubeDomain;         // DOMAIN_MIN/MAX, LUT_3D_INPUT_RANGE
        TInputDomain CurveDomain;        // LUT_1D_INPUT_RANGE
    };

    TCube3DLutFormat(TLutFormatInfo info, bool readsShaper)
        : TGenericLutFormat(std::move(info)), ReadsShaper(readsShaper) {}
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
    // Lines met before the size is known.
    virtual void ParseHeaderLine(const std::string& line, TLUT& lut, TCubeState& state) const;
    // After the line loop: the shaper, when the file declared one, else the
    // cube's declared input range baked in.
    void FinishShaper(TLUT& lut, const TCubeState& state) const;

private:
    // The shaper keywords, when the line starts with one of them.
    void ParseShaperKeyword(std::string_view line, TCubeState& state) const;
    // At the first data line: the header is complete.
    void CheckShaperHeader(const TCubeState& state) const;

    bool ReadsShaper = true;  // the format knows the shaper keywords
};

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

// Integers at a bit depth, blue index fastest.
class TCodex3DLutFormat : public TGenericLutFormat {
public:
    // The bit depth the reader assumes.
    static constexpr int kReadBits = 12;

    TCodex3DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

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

class TFSI_CFE_3DLutFormat : public TCube3DLutFormat {
public:
    TFSI_CFE_3DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;
};

}  // namespace

// ---------------------------------------------------------------------------
// Cube 3D

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

// ---------------------------------------------------------------------------
// Cube 3D Truelight

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

// ---------------------------------------------------------------------------
// FSI CFE

TFSI_CFE_3DLutFormat::TFSI_CFE_3DLutFormat()
    : TCube3DLutFormat({.Id = "fsi-cfe-3d", .Name = "FSI CFE (Flanders Scientific) 3D", .Extensions = {"cfe"}}, true) {}

OMBRANE_LUT_FORMAT(TFSI_CFE_3DLutFormat)

bool TFSI_CFE_3DLutFormat::CanRead(std::string_view head, const std::string&) const {
    return TextHasKeywords(head, "LUT_3D_SIZE,LUT_3D_VERSION", "NUCODA_3D_CUBE");
}

std::string TFSI_CFE_3DLutFormat::Write(const TLUT& lut, int Bits, const std::string& name) const {
    (void)Bits;
    (void)name;
    const int n = CheckedCubeSize(lut.CubeSize);
    TTextFile text;
    text.Add("LUT_3D_AUTHOR Quor LUT Converter");
    text.Add("LUT_3D_MODEL CM240");
    text.Add("LUT_3D_VERSION 2.0.0");
    text.Add("LUT_3D_SIZE " + std::to_string(n));
    text.Add("");
    AddFixedGridRedFastest(text, lut, false);
    return text.Text();
}

// ---------------------------------------------------------------------------
// Nucoda 3D

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

// ---------------------------------------------------------------------------
// Codex 3D

TCodex3DLutFormat::TCodex3DLutFormat()
    : TGenericLutFormat({.Id = "codex-3d", .Name = "Codex 3D", .Extensions = {"txt"}, .MinBits = 1, .MaxBits = 32}) {}

OMBRANE_LUT_FORMAT(TCodex3DLutFormat)

bool TCodex3DLutFormat::CanRead(std::string_view head, const std::string&) const {
    return TextHasKeywords(head, "Lut3D:", "");
}

std::string TCodex3DLutFormat::Write(const TLUT& lut, int Bits, const std::string& name) const {
    (void)name;
    const int n = CheckedCubeSize(lut.CubeSize);
    TTextFile text;
    text.Add("Lut3D: " + std::to_string(n));
    text.Add("");
    text.Add("R\tG\tB");
    AddScaledGridBlueFastest(text, lut, Info().CheckedBits(Bits));
    return text.Text();
}

void TCodex3DLutFormat::ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const {
    const char first = FirstNonBlank(line);
    if (first == '\0') return;
    if (first == '#') {
        lut.Comments.push_back(CommentText(line));
        return;
    }
    if (state.Size == -1) {
        if (int p = ContainsText("LUT3D:", line); p > 0) state.SetSize(ParseInteger(TextAfter(line, p, 6)));
    }
    double r, g, b;
    if (state.Size == -1 || state.Complete) return;
    if (ParseIntTriple(line, std::ldexp(1.0, kReadBits) - 1.0, false, r, g, b)) state.StoreBlueFastest(lut, r, g, b);
}
