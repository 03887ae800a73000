#include <string>
#include "formats/LutFormat.h"

#include <cmath>

#include "formats/CubeLines.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"

namespace {

// 3dl: an input-range line, then integers at a bit depth, blue index fastest.
class T3dlLutFormat : public TGenericLutFormat {
public:
    T3dlLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ScanFile(const TTextFile& text, TLutReadState& state) const override;
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The 3dl input-range line: i * 1023 / (n - 1) rounded up, for i = 0 .. n-1.
std::string InputRangeLine(int n) {
    std::string line;
    for (int i = 0; i < n; ++i) {
        if (i > 0) line += ' ';
        line += std::to_string((i * 1023 + (n - 2)) / (n - 1));
    }
    return line;
}

// Number of blank- or tab-separated pieces when every piece is an integer,
// else -1.
std::int64_t CountIntegerPieces(std::string_view line) {
    std::int64_t count = 0;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (i == start) break;
        std::int32_t value;
        if (!TryParseInt(line.substr(start, i - start), value)) return -1;
        ++count;
    }
    return count;
}

}  // namespace

T3dlLutFormat::T3dlLutFormat()
    : TGenericLutFormat({.Id = "3dl", .Name = "3DL", .Extensions = {"3dl", "dd3"}, .MinBits = 1, .MaxBits = 32}) {}

OMBRANE_LUT_FORMAT(T3dlLutFormat)

bool T3dlLutFormat::CanRead(std::string_view, const std::string& fileName) const {
    return UpperCase(FileExtension(fileName)) == ".3DL";
}

std::string T3dlLutFormat::Write(const TLUT& lut, int Bits, const std::string&) const {
    const int n = CheckedCubeSize(lut.CubeSize);
    TTextFile text;
    for (const std::string& comment : lut.Comments) text.Add("# " + comment);
    text.Add(std::string(kSignatureLine));
    text.Add(InputRangeLine(n));
    AddScaledGridBlueFastest(text, lut, Bits);
    return text.Text();
}

void T3dlLutFormat::ScanFile(const TTextFile& text, TLutReadState& state) const {
    // Any value above 4095 means the file holds 16-bit numbers.
    state.Range = 12;
    double r, g, b;
    for (const std::string& line : text)
        if (ParseIntTriple(line, 4095.0, false, r, g, b) && (r > 1.0 || g > 1.0 || b > 1.0)) {
            state.Range = 16;
            return;
        }
}

void T3dlLutFormat::ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const {
    const char first = FirstNonBlank(line);
    if (first == '\0') return;
    if (first == '#') {
        lut.Comments.push_back(Trim(TrimView(line).substr(1)));
        return;
    }
    if (state.Size == -1) {
        if (IsDigit(first)) {
            const std::int64_t pieces = CountIntegerPieces(TrimView(line));
            if (pieces >= 0) state.SetSize(pieces);
        }
        return;
    }
    double r, g, b;
    if (!state.Complete && ParseIntTriple(line, std::ldexp(1.0, state.Range) - 1.0, false, r, g, b))
        state.StoreBlueFastest(lut, r, g, b);
}
