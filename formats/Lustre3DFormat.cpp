#include <string>
#include "formats/LutFormat.h"

#include <cmath>

#include "formats/CubeLines.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"

namespace {

// Autodesk Lustre 3D: the 3dl grid under a "3DMESH" header whose mesh line
// declares the grid as an exponent ("Mesh 5 12": 2^5 + 1 points, 12 bits).
class TLustre3DLutFormat : public TGenericLutFormat {
public:
    TLustre3DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

    // The k with 2^k + 1 == size; raises ELUTError for any other size.
    static int MeshExponent(int size);

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;

private:
    // The mesh line: Size from the exponent, Range the bit depth.
    void ParseMeshLine(const std::string& line, int position, TLutReadState& state) const;
};

}  // namespace

TLustre3DLutFormat::TLustre3DLutFormat()
    : TGenericLutFormat({.Id = "lustre-3d",
                         .Name = "Autodesk Lustre 3D",
                         .Extensions = {"lut"},
                         .Sizes = TSizeRule::PowerOfTwoPlusOne,
                         .MaxSize = 65,
                         .MinBits = 1,
                         .MaxBits = 32}) {}

OMBRANE_LUT_FORMAT(TLustre3DLutFormat)

bool TLustre3DLutFormat::CanRead(std::string_view head, const std::string&) const {
    return TextHasKeywords(head, "3DMESH", "");
}

int TLustre3DLutFormat::MeshExponent(int size) {
    for (int k = 0; k < 7; ++k)
        if ((1 << k) + 1 == size) return k;
    throw ELUTError(
        "The Autodesk Lustre 3D format holds grids of 2^k + 1 points only "
        "(17, 33, 65), not " +
        std::to_string(size) + " points.");
}

std::string TLustre3DLutFormat::Write(const TLUT& lut, int Bits, const std::string&) const {
    const int exponent = MeshExponent(CheckedCubeSize(lut.CubeSize));
    TTextFile text;
    text.Add("");
    text.Add(std::string(kSignatureLine));
    text.Add("");
    text.Add("3DMESH");
    text.Add("Mesh " + std::to_string(exponent) + " " + std::to_string(Info().CheckedBits(Bits)));
    text.Add("");
    AddScaledGridBlueFastest(text, lut, Bits);
    text.Add("");
    text.Add("LUT8");
    text.Add("gamma 1.0");
    return text.Text();
}

// The generic driver gives this format the completeness check every other
// format has: a grid that is not filled raises "Incomplete file.".
void TLustre3DLutFormat::ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const {
    const char first = FirstNonBlank(line);
    if (first == '#' || first == '\0' || ContainsText("3DMESH", line) > 0) return;
    if (int p = ContainsText("Mesh", line); p > 0) {
        ParseMeshLine(line, p, state);
        return;
    }
    double r, g, b;
    if (state.Size != -1 && !state.Complete && ParseIntTriple(line, std::ldexp(1.0, state.Range) - 1.0, false, r, g, b))
        state.StoreBlueFastest(lut, r, g, b);
}

void TLustre3DLutFormat::ParseMeshLine(const std::string& line, int position, TLutReadState& state) const {
    if (state.Size != -1) return;  // the grid is declared once
    std::string rest(TextAfter(line, position, 4, 1));
    std::string head;
    SplitAt(" ", rest, head);
    const std::int32_t exponent = ParseInteger(head);
    const std::int32_t bits = ParseInteger(Trim(rest));
    if (exponent < 0 || exponent > 30) throw ELUTError("Unsupported mesh exponent " + std::to_string(exponent) + ".");
    const std::int64_t size = (std::int64_t(1) << exponent) + 1;
    Info().CheckedBits(bits);
    state.SetSize(size);
    state.Range = bits;
}
