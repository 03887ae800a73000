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

}  // namespace

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
