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
