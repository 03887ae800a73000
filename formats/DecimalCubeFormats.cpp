#include <string>
#include "formats/CubeLines.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"
#include "formats/LutFormat.h"

namespace {

// The reading steps both formats share.
class TBgrDecimalCubeFormat : public TGenericLutFormat {
protected:
    using TGenericLutFormat::TGenericLutFormat;
    // Size from the number of lines of three numbers in the file (finite or not:
    // a value that is not a number is reported at its line).
    static void SizeFromDataLines(TLutReadState& state);
    // Stores a data line read as blue, green, red (skips "#" lines).
    static void StoreBgrLine(const std::string& line, TLUT& lut, TLutReadState& state);
};

// Decimal cube formats that write each point as blue, green, red with the
// red index fastest.

// Colorfront OSD 3D: data lines only; the reader infers the grid from the
// number of data lines.
class TColorFrontOSD3DLutFormat : public TBgrDecimalCubeFormat {
public:
    TColorFrontOSD3DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

// DaVinci DAT: an optional "3DLUTSIZE" line, then the Colorfront data lines.
class TDavinciDat3DLutFormat : public TBgrDecimalCubeFormat {
public:
    TDavinciDat3DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;

private:
    struct TDatState : TLutReadState {
        TDatState() : TLutReadState(true) {}
        bool HasSizeKeyword = false;  // "3DLUTSIZE" in the first 4096 bytes
    };
};

}  // namespace

// ---------------------------------------------------------------------------
// Colorfront OSD 3D

TColorFrontOSD3DLutFormat::TColorFrontOSD3DLutFormat()
    : TBgrDecimalCubeFormat({.Id = "colorfront-osd-3d", .Name = "Colorfront OSD 3D", .Extensions = {"3dmesh"}}) {}

OMBRANE_LUT_FORMAT(TColorFrontOSD3DLutFormat)

bool TColorFrontOSD3DLutFormat::CanRead(std::string_view, const std::string& fileName) const {
    return UpperCase(FileExtension(fileName)) == ".3DMESH";
}

std::string TColorFrontOSD3DLutFormat::Write(const TLUT& lut, int Bits, const std::string& name) const {
    (void)Bits;
    (void)name;
    TTextFile text;
    AddFixedGridRedFastest(text, lut, true);
    return text.Text();
}

void TBgrDecimalCubeFormat::SizeFromDataLines(TLutReadState& state) {
    std::int64_t count = 0;
    double r, g, b;
    if (state.TextFile != nullptr)
        for (const std::string& line : *state.TextFile)
            if (ParseFloatTriple(line, r, g, b) || !NonFiniteInTriple(line).empty()) ++count;
    if (count == 0) throw IncompleteFile(8, 0);
    state.SetSizeFromCount(count);
}

void TBgrDecimalCubeFormat::StoreBgrLine(const std::string& line, TLUT& lut, TLutReadState& state) {
    double blue, green, red;
    if (FirstNonBlank(line) != '#' && !state.Complete && ParseDataTriple(line, blue, green, red))
        state.StoreRedFastest(lut, red, green, blue);
}

void TColorFrontOSD3DLutFormat::ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const {
    if (FirstNonBlank(line) == '\0') return;
    if (state.Size == -1) SizeFromDataLines(state);
    StoreBgrLine(line, lut, state);
}

// ---------------------------------------------------------------------------
// DaVinci DAT

TDavinciDat3DLutFormat::TDavinciDat3DLutFormat()
    : TBgrDecimalCubeFormat({.Id = "davinci-dat-3d", .Name = "Davinci DAT 3D", .Extensions = {"dat"}}) {}

OMBRANE_LUT_FORMAT(TDavinciDat3DLutFormat)

bool TDavinciDat3DLutFormat::CanRead(std::string_view head, const std::string& fileName) const {
    if (TextHasKeywords(head, "3DLUTSIZE", "")) return true;
    if (UpperCase(FileExtension(fileName)) != ".DAT") return false;
    TTextFile lines;
    lines.SetText(head.substr(0, 4096));
    double r, g, b;
    for (const std::string& line : lines)
        if (ParseFloatTriple(line, r, g, b)) return true;
    return false;
}

std::string TDavinciDat3DLutFormat::Write(const TLUT& lut, int Bits, const std::string&) const {
    (void)Bits;
    const int n = CheckedCubeSize(lut.CubeSize);
    TTextFile text;
    text.Add("3DLUTSIZE " + std::to_string(n));
    text.Add("");
    AddFixedGridRedFastest(text, lut, true);
    return text.Text();
}

void TDavinciDat3DLutFormat::Read(std::string_view bytes, const std::string& name, TLUT& lut) const {
    TDatState state;
    state.HasSizeKeyword = TextHasKeywords(bytes, "3DLUTSIZE", "");
    ReadLines(bytes, name, lut, state);
}

void TDavinciDat3DLutFormat::ParseLine(const std::string& line, TLUT& lut, TLutReadState& base) const {
    auto& state = static_cast<TDatState&>(base);
    const char first = FirstNonBlank(line);
    if (first == '\0' || first == '#') return;
    if (state.Size == -1) {
        if (!state.HasSizeKeyword) {
            SizeFromDataLines(state);
        } else {
            if (int p = ContainsText("3DLUTSIZE", line); p > 0) {
                const std::size_t start = static_cast<std::size_t>(p - 1) + 9 + 1;
                state.SetSize(ParseInteger(start < line.size() ? TrimView(std::string_view(line).substr(start))
                                                               : std::string_view()));
            }
            return;
        }
    }
    StoreBgrLine(line, lut, state);
}
