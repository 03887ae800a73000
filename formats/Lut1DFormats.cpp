#include "formats/Lut1DFormats.h"

#include <charconv>
#include <cmath>

#include "engine/lut/CurveOperation.h"
#include "engine/lut/HalfFloat.h"
#include "engine/lut/LutChain.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"

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

// One list for all channels, or a red, a green and a blue list in turn.
class TCodex1DLutFormat : public TCurveLutFormat {
public:
    TCodex1DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;

private:
    struct TCodexState : TLutReadState {
        TCodexState() : TLutReadState(false) {}
        std::int64_t Expected() const override;
        std::int32_t ChannelCount = 0;
        std::int32_t CurrentChannel = 0;
        double FullScale = 0;        // the value of full output, as the header gives it
        bool HalfOutput = false;     // values are half-float bit patterns
        double NameFullScale = 0;    // full output as the file name gives it (-1: half floats; 0: none)
        bool NameHalfInput = false;  // the file name gives half-float input ("16fpto...")
    };
    static void ParseHeader(std::string_view values, TCodexState& state);
};

class TFilmlight1DLutFormat : public TCurveLutFormat {
public:
    TFilmlight1DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

class TQuantel1DLutFormat : public TCurveLutFormat {
public:
    TQuantel1DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

// Writer only: CanRead answers false for every file.
class TNucoda1DLutWriterFormat : public TCurveLutFormat {
public:
    TNucoda1DLutWriterFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;
};

}  // namespace

namespace {

std::string SixDecimals(const TRGBDouble& entry) {
    return FormatFixed(6, entry.Red) + " " + FormatFixed(6, entry.Green) + " " + FormatFixed(6, entry.Blue);
}

// Rounds value x fullScale half to even without clamping; a value that is not
// a number writes 0.
std::string UnclampedScaled(double value, std::int64_t fullScale) {
    double scaled = std::nearbyint(value * static_cast<double>(fullScale));
    if (std::isnan(scaled)) scaled = 0.0;
    scaled += 0.0;  // -0 becomes 0
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, scaled, std::chars_format::fixed, 0);
    return std::string(buffer, result.ptr);
}

}  // namespace

// ------------------------------------------------------------ shared parts

void TCurveLutFormat::StoreDeclared(TLUT& lut, TLutReadState& state, double red, double green, double blue) {
    if (state.Complete || state.Size < 2 || state.Size > kMaxCurveSize) return;
    if (state.CurveIndex >= 0 && state.CurveIndex < state.Size) {
        lut.Curve[state.CurveIndex] = TRGBDouble{red, green, blue};
        ++state.Stored;
    }
    if (++state.CurveIndex >= state.Size) state.Complete = true;
}

void TCurveLutFormat::StoreCounted(TLUT& lut, TLutReadState& state, double red, double green, double blue) {
    if (state.Size < 0) state.Size = 0;
    if (state.Size >= kMaxCurveSize) CheckedCurveSize(static_cast<std::int64_t>(state.Size) + 1);
    lut.Curve[state.Size] = TRGBDouble{red, green, blue};
    ++state.Size;
    ++state.Stored;
}

std::int64_t FullScaleForBits(const TLutFormatInfo& info, int bits) {
    return (std::int64_t{1} << info.CheckedBits(bits)) - 1;
}

void RaiseNoWriter(const std::string& formatName) {
    throw ELUTError("The format \"" + formatName + "\" cannot be written.");
}

// ----------------------------------------------------------------- Cube 1D

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
    for (std::int32_t i = 0; i < size; ++i) text.Add(SixDecimals(lut.Curve[i]));
    return text.Text();
}

// ---------------------------------------------------------------- Codex 1D

TCodex1DLutFormat::TCodex1DLutFormat()
    : TCurveLutFormat({.Id = "codex-1d",
                       .Name = "Codex 1D, Scratch 1D",
                       .Extensions = {"dat"},
                       .Is3D = false,
                       .Sizes = TSizeRule::TwoToTheBits,
                       .MaxSize = kMaxCurveSize,
                       .MinBits = 1,
                       .MaxBits = 31}) {}

OMBRANE_LUT_FORMAT(TCodex1DLutFormat)

// A header line "LUT: <channels> <length> [<output depth>]" at the start
// of a line; a markup document (CLF, CTF) is never one, whatever its
// namespaces say, and neither is a "LUT:" line without numbers.
bool TCodex1DLutFormat::CanRead(std::string_view fileHead, const std::string&) const {
    const std::string_view head = fileHead.substr(0, 4096);
    if (FirstNonBlank(head) == '<') return false;
    TTextFile lines;
    lines.SetText(head);
    for (const std::string& line : lines) {
        const std::string_view trimmed = TrimView(line);
        if (trimmed.size() < 4 || UpperCase(trimmed.substr(0, 4)) != "LUT:") continue;
        std::string rest(TrimView(trimmed.substr(4)));
        std::string channels, length;
        NextToken(rest, channels);
        rest = Trim(rest);
        NextToken(rest, length);
        std::int32_t value = 0;
        if (TryParseInt(Trim(channels), value) && TryParseInt(Trim(length), value)) return true;
    }
    return false;
}

std::int64_t TCodex1DLutFormat::TCodexState::Expected() const {
    const std::int64_t size = Size < 0 ? 0 : Size;
    return ChannelCount == 1 ? size : 3 * size;
}

namespace {

// The depths a Codex 1D file's name may give, as in "log12to16fp.lut": the
// input before "to" ("16fp" or "16f": half floats), the output after it
// (8, 10, 12, 16 bits or "16fp").
void DepthsFromName(const std::string& fileName, double& outputFullScale, bool& halfInput) {
    const std::string name = UpperCase(BaseNameWithoutExtension(fileName));
    const std::size_t to = name.find("TO");
    if (to == std::string::npos) return;
    const std::string_view before = std::string_view(name).substr(0, to);
    halfInput = before.ends_with("16FP") || before.ends_with("16F");
    const std::string_view after = std::string_view(name).substr(to + 2);
    if (after.starts_with("16F"))
        outputFullScale = -1;
    else if (after.starts_with("16"))
        outputFullScale = 65535;
    else if (after.starts_with("12"))
        outputFullScale = 4095;
    else if (after.starts_with("10"))
        outputFullScale = 1023;
    else if (after.starts_with("8"))
        outputFullScale = 255;
}

}  // namespace

void TCodex1DLutFormat::Read(std::string_view bytes, const std::string& name, TLUT& lut) const {
    TCodexState state;
    DepthsFromName(name, state.NameFullScale, state.NameHalfInput);
    ReadLines(bytes, name, lut, state);
    // A table of 65536 entries over half-float input is indexed by the
    // input's half-float bit pattern; the chain follows it exactly and the
    // curve holds it at evenly spread inputs for the writers.
    if (lut.CurveSize == 65536 && (state.NameHalfInput || state.HalfOutput)) {
        std::vector<TRGBDouble> entries(lut.Curve, lut.Curve + lut.CurveSize);
        auto chain = std::make_shared<TLutChain>();
        chain->Append(TCurveOperation::HalfDomain(std::move(entries)));
        for (std::int32_t i = 0; i < lut.CurveSize; ++i) {
            const double x = static_cast<double>(i) / (lut.CurveSize - 1);
            TRGBDouble colour{x, x, x};
            chain->Apply(colour);
            lut.Curve[i] = colour;
        }
        lut.Chain = std::move(chain);
    }
}

// "<channels> <length>" divides the values by the length minus one;
// a third number, the output depth, divides them by the depth minus one.
// An output depth with the suffix "f" announces half floats.
void TCodex1DLutFormat::ParseHeader(std::string_view values, TCodexState& state) {
    std::string rest(values);
    std::string token;
    NextToken(rest, token);
    state.ChannelCount = ParseInteger(Trim(token));
    rest = Trim(rest);
    std::string length = rest;
    std::string depth;
    if (const std::size_t blank = rest.find_first_of(" \t"); blank != std::string::npos) {
        length = rest.substr(0, blank);
        depth = Trim(std::string_view(rest).substr(blank));
    }
    // At least two entries: without a depth the values are divided by the
    // count minus one.
    state.SetSize(ParseInteger(length));
    state.FullScale = state.Size - 1;
    if (depth.empty() && state.NameFullScale != 0) {
        state.HalfOutput = state.NameFullScale < 0;
        if (!state.HalfOutput) state.FullScale = state.NameFullScale;
    } else if (!depth.empty() && (depth.back() == 'f' || depth.back() == 'F')) {
        if (depth.substr(0, depth.size() - 1) != "65536")
            throw ELUTError("Unsupported output depth \"" + depth + "\": the float output depth is 65536f.");
        state.HalfOutput = true;
    } else if (!depth.empty()) {
        const std::int32_t outputDepth = ParseInteger(depth);
        if (outputDepth < 2) throw ELUTError("Unsupported output depth " + std::to_string(outputDepth) + ".");
        state.FullScale = outputDepth - 1;
    }
    state.Range = static_cast<std::int32_t>(state.FullScale);
    state.CurrentChannel = 1;
}

void TCodex1DLutFormat::ParseLine(const std::string& line, TLUT& lut, TLutReadState& base) const {
    auto& state = static_cast<TCodexState&>(base);
    const std::string_view trimmed = TrimView(line);
    if (trimmed.empty()) return;
    if (trimmed.front() == '#') {
        if (state.Size == -1) lut.Comments.push_back(Trim(trimmed.substr(1)));
        return;
    }
    static constexpr std::string_view kKey = "LUT:";
    if (const int pos = ContainsText(kKey, line)) {
        ParseHeader(TextAfter(line, pos, kKey.size(), 1), state);
        return;
    }
    if (state.Size == -1 || state.Complete) return;
    std::int32_t level = 0;
    std::string_view number(line);
    while (!number.empty() && static_cast<unsigned char>(number.front()) <= ' ') number.remove_prefix(1);
    if (!TryParseInt(number, level)) return;
    if (state.HalfOutput && (level < 0 || level > 65535))
        throw ELUTError("'" + std::to_string(level) + "' is not a half-float bit pattern.");
    const double value = state.HalfOutput ? HalfToDouble(static_cast<std::uint16_t>(level))
                                          : static_cast<double>(level) / state.FullScale;
    if (state.ChannelCount == 1) {
        StoreDeclared(lut, state, value, value, value);
        return;
    }
    // A second "LUT:" line may have shortened the lists under way.
    if (state.CurveIndex >= state.Size) {
        state.CurveIndex = 0;
        if (++state.CurrentChannel > 3) {
            state.Complete = true;
            return;
        }
    }
    TRGBDouble& entry = lut.Curve[state.CurveIndex];
    if (state.CurrentChannel == 1)
        entry.Red = value;
    else if (state.CurrentChannel == 2)
        entry.Green = value;
    else
        entry.Blue = value;
    ++state.Stored;
    if (++state.CurveIndex < state.Size) return;
    state.CurveIndex = 0;
    if (++state.CurrentChannel > 3) state.Complete = true;
}

std::string TCodex1DLutFormat::Write(const TLUT& lut, int Bits, const std::string&) const {
    const std::int32_t size = CheckedCurveSize(lut.CurveSize);
    const std::int64_t fullScale = FullScaleForBits(Info(), Bits);
    TTextFile text;
    text.Reserve(3 * static_cast<std::size_t>(size) + 4);
    text.Add(std::string(kSignatureLine));
    text.Add("");
    text.Add("LUT: 3 " + std::to_string(size));
    text.Add("");
    for (std::int32_t i = 0; i < size; ++i) text.Add(UnclampedScaled(lut.Curve[i].Red, fullScale));
    for (std::int32_t i = 0; i < size; ++i) text.Add(UnclampedScaled(lut.Curve[i].Green, fullScale));
    for (std::int32_t i = 0; i < size; ++i) text.Add(UnclampedScaled(lut.Curve[i].Blue, fullScale));
    return text.Text();
}

// ------------------------------------------------- Filmlight Truelight 1D

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
    for (std::int32_t i = 0; i < size; ++i) text.Add(SixDecimals(lut.Curve[i]));
    text.Add("# end");
    text.Add(std::string(kSignatureLine));
    return text.Text();
}

// -------------------------------------------------------------- Quantel 1D

TQuantel1DLutFormat::TQuantel1DLutFormat()
    : TCurveLutFormat({.Id = "quantel-1d",
                       .Name = "Quantel 1D",
                       .Extensions = {"txt"},
                       .Is3D = false,
                       .MaxSize = kMaxCurveSize,
                       .MinBits = 1,
                       .MaxBits = 31}) {}

OMBRANE_LUT_FORMAT(TQuantel1DLutFormat)

bool TQuantel1DLutFormat::CanRead(std::string_view head, const std::string&) const {
    return TextHasKeywords(head, "table type,gMax,gSize", "");
}

void TQuantel1DLutFormat::ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const {
    const std::string_view trimmed = TrimView(line);
    if (trimmed.empty() || trimmed.front() == '#') return;
    static constexpr std::string_view kSizeKey = "gSize";
    static constexpr std::string_view kMaxKey = "gMax";
    if (state.Size == -1) {
        if (const int pos = ContainsText(kSizeKey, line)) {
            state.SetSize(ParseInteger(TextAfter(line, pos, kSizeKey.size(), 1)));
            return;
        }
    }
    if (state.Range == -1) {
        if (const int pos = ContainsText(kMaxKey, line)) {
            const std::int32_t range = ParseInteger(TextAfter(line, pos, kMaxKey.size(), 1));
            // The full-scale value divides every entry.
            if (range <= 0) throw ELUTError("Invalid maximum value " + std::to_string(range) + ".");
            state.Range = range;
        }
        return;
    }
    double red, green, blue;
    if (state.Size != -1 && !state.Complete && ParseIntTriple(line, state.Range, false, red, green, blue))
        StoreDeclared(lut, state, red, green, blue);
}

std::string TQuantel1DLutFormat::Write(const TLUT& lut, int Bits, const std::string&) const {
    const std::int32_t size = CheckedCurveSize(lut.CurveSize);
    const std::int64_t fullScale = FullScaleForBits(Info(), Bits);
    TTextFile text;
    text.Reserve(static_cast<std::size_t>(size) + 7);
    text.Add("table type\t2");
    text.Add("");
    text.Add("gMax\t" + std::to_string(fullScale));
    text.Add("gSize\t" + std::to_string(size));
    text.Add("");
    text.Add("gamma");
    text.Add("r\tg\tb");
    for (std::int32_t i = 0; i < size; ++i) {
        const TRGBDouble& entry = lut.Curve[i];
        text.Add(FormatScaled(Bits, entry.Red) + " " + FormatScaled(Bits, entry.Green) + " " +
                 FormatScaled(Bits, entry.Blue));
    }
    return text.Text();
}

// --------------------------------------------------------------- Nucoda 1D

TNucoda1DLutWriterFormat::TNucoda1DLutWriterFormat()
    : TCurveLutFormat({.Id = "nucoda-1d",
                       .Name = "Nucoda 1D",
                       .Extensions = {"cms"},
                       .Is3D = false,
                       .Reads = false,
                       .MaxSize = kMaxCurveSize}) {}

OMBRANE_LUT_FORMAT(TNucoda1DLutWriterFormat)

bool TNucoda1DLutWriterFormat::CanRead(std::string_view, const std::string&) const { return false; }

std::string TNucoda1DLutWriterFormat::Write(const TLUT& lut, int, const std::string& fileName) const {
    const std::int32_t size = CheckedCurveSize(lut.CurveSize);
    TTextFile text;
    text.Reserve(static_cast<std::size_t>(size) + 6);
    text.Add("NUCODA_3D_CUBE 2");
    text.Add("");
    text.Add("TITLE \"" + BaseNameWithoutExtension(fileName) + "\"");
    text.Add("");
    text.Add("LUT_1D_SIZE " + std::to_string(size));
    text.Add("");
    for (std::int32_t i = 0; i < size; ++i) text.Add(SixDecimals(lut.Curve[i]));
    return text.Text();
}
