#include <string>
#include "formats/LutFormat.h"

#include <cmath>

#include "formats/CubeLines.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"

namespace {

// Pandora (also Apple m3d and Technicolor mga): an index column and
// tab-separated values; the header gives the point count and 2^bits.
class TPandora3DLutFormat : public TGenericLutFormat {
public:
    TPandora3DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

class TQuantel3DLutFormat : public TGenericLutFormat {
public:
    TQuantel3DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

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

namespace {

// The line without leading blanks starts with `prefix` (case-sensitive).
bool StartsWith(std::string_view line, std::string_view prefix) {
    std::size_t i = 0;
    while (i < line.size() && static_cast<unsigned char>(line[i]) <= ' ') ++i;
    return line.substr(i).substr(0, prefix.size()) == prefix;
}

// The integer after the prefix of such a line. A line that ends with the
// prefix's trailing blank ("in ") holds no number: the strict conversion
// refuses the empty text.
std::int64_t IntegerAfter(std::string_view line, std::string_view prefix) {
    const std::string_view trimmed = TrimView(line);
    const std::string_view rest = trimmed.size() > prefix.size() ? trimmed.substr(prefix.size()) : std::string_view();
    return ParseInteger(TrimView(rest));
}

// A full-scale value read from a header must be usable as a divisor.
std::int32_t CheckedFullScale(std::int64_t value) {
    if (value < 1) throw ELUTError("Unsupported full-scale value " + std::to_string(value) + ".");
    return static_cast<std::int32_t>(value);
}

std::string Cubed(int n) { return std::to_string(std::int64_t(n) * n * n); }

}  // namespace

// ---------------------------------------------------------------------------
// Pandora

TPandora3DLutFormat::TPandora3DLutFormat()
    : TGenericLutFormat({.Id = "pandora-3d",
                         .Name = "Pandora 3D, Technicolor",
                         .Extensions = {"m3d", "mga"},
                         .MinBits = 1,
                         .MaxBits = 32}) {}

OMBRANE_LUT_FORMAT(TPandora3DLutFormat)

bool TPandora3DLutFormat::CanRead(std::string_view head, const std::string&) const {
    return TextHasKeywords(head, "channel 3d,format lut", "");
}

std::string TPandora3DLutFormat::Write(const TLUT& lut, int Bits, const std::string&) const {
    const int n = CheckedCubeSize(lut.CubeSize);
    const int bits = Info().CheckedBits(Bits);
    TTextFile text;
    text.Add("#HEADER");
    text.Add("#type: 3D cube file");
    text.Add("#format: 1.00");
    text.Add("#comment: Converted by Quor LUT Converter");
    text.Add("#END");
    text.Add("");
    text.Add("channel 3d");
    text.Add("in " + Cubed(n));
    text.Add("out " + std::to_string(std::int64_t(1) << bits));
    text.Add("");
    text.Add("format lut");
    text.Add("");
    text.Add("values\tred\tgreen\tblue");
    AddScaledGridBlueFastest(text, lut, bits, '\t', true);
    return text.Text();
}

void TPandora3DLutFormat::ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const {
    const char first = FirstNonBlank(line);
    if (first == '\0' || first == '#') return;
    if (state.Size == -1 && StartsWith(line, "in ")) {
        state.SetSizeFromCount(IntegerAfter(line, "in "));
        return;
    }
    if (state.Range == -1 && StartsWith(line, "out ")) {
        state.Range = CheckedFullScale(IntegerAfter(line, "out ") - 1);
        return;
    }
    double r, g, b;
    if (state.Size != -1 && state.Range != -1 && !state.Complete && ParseIntTriple(line, state.Range, true, r, g, b))
        state.StoreBlueFastest(lut, r, g, b);
}

// ---------------------------------------------------------------------------
// Quantel 3D

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
    if (state.Size == -1 && StartsWith(line, "vertices")) {
        state.SetSize(IntegerAfter(line, "vertices"));
        return;
    }
    if (state.Range == -1 && StartsWith(line, "max value")) {
        state.Range = CheckedFullScale(IntegerAfter(line, "max value"));
        return;
    }
    double r, g, b;
    if (state.Size != -1 && state.Range != -1 && !state.Complete && ParseIntTriple(line, state.Range, false, r, g, b))
        state.StoreBlueFastest(lut, r, g, b);
}

// ---------------------------------------------------------------------------
// Luther

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
    text.Add("#elements = " + Cubed(n));
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
