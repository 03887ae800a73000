#include <string>
#include "formats/LutFormat.h"

#include <cmath>

#include "formats/CubeLines.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"
#include "formats/IntegerCubeLines.h"

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

}  // namespace

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
    text.Add("in " + IntegerCubePoints(n));
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
    if (state.Size == -1 && IntegerCubeLineStarts(line, "in ")) {
        state.SetSizeFromCount(IntegerCubeValueAfter(line, "in "));
        return;
    }
    if (state.Range == -1 && IntegerCubeLineStarts(line, "out ")) {
        state.Range = IntegerCubeFullScale(IntegerCubeValueAfter(line, "out ") - 1);
        return;
    }
    double r, g, b;
    if (state.Size != -1 && state.Range != -1 && !state.Complete && ParseIntTriple(line, state.Range, true, r, g, b))
        state.StoreBlueFastest(lut, r, g, b);
}
