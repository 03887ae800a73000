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

class TQuantel1DLutFormat : public TCurveLutFormat {
public:
    TQuantel1DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

}  // namespace

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
