#include <string>
#include "formats/CubeLines.h"
#include "formats/DecimalCubeFormat.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"
#include "formats/LutFormat.h"

namespace {

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
