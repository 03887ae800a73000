#include <cmath>
#include <string>

#include "formats/CountedCurveFormat.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"

namespace {

// Fusion 1D: "F5LT", the bit depth, then each integer value after its entry
// number.
class TFusion1DLutFormat : public TCountedCurveLutFormat {
public:
    TFusion1DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

}  // namespace

TFusion1DLutFormat::TFusion1DLutFormat()
    : TCountedCurveLutFormat({.Id = "fusion-1d",
                              .Name = "Fusion 1D",
                              .Extensions = {"alut"},
                              .Is3D = false,
                              .MaxSize = kMaxCurveSize,
                              .MinBits = 1,
                              .MaxBits = 31}) {}

OMBRANE_LUT_FORMAT(TFusion1DLutFormat)

bool TFusion1DLutFormat::CanRead(std::string_view head, const std::string&) const {
    return TextHasKeywords(head, "F5LT", "");
}

void TFusion1DLutFormat::ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const {
    if (IsSkipped(line)) return;
    if (state.Range == -1) {
        std::int32_t bits = 0;
        if (TryParseInt(TrimView(line), bits)) {
            // The bit depth gives the divisor 2^bits - 1 of every value.
            FullScaleForBits(Info(), bits);
            state.Range = bits;
            state.Size = 0;
        }
        return;
    }
    std::string_view rest(line);
    std::int32_t values[3] = {0, 0, 0};
    bool parsed = true;
    for (int channel = 0; channel < 3 && parsed; ++channel) {
        CountedCurveCutToken(rest);  // the entry number before each value
        const std::string_view token = channel < 2 ? CountedCurveCutToken(rest) : TrimView(rest);
        parsed = TryParseInt(token, values[channel]);
    }
    const double fullScale = std::ldexp(1.0, state.Range) - 1.0;
    TakeDataLine(lut, state, parsed, values[0] / fullScale, values[1] / fullScale, values[2] / fullScale);
}

std::string TFusion1DLutFormat::Write(const TLUT& lut, int Bits, const std::string&) const {
    const std::int32_t size = CheckedCurveSize(lut.CurveSize);
    FullScaleForBits(Info(), Bits);
    TTextFile text;
    text.Reserve(static_cast<std::size_t>(size) + 4);
    text.Add("F5LT");
    text.Add("");
    text.Add(std::to_string(Bits));
    text.Add("");
    for (std::int32_t i = 0; i < size; ++i) {
        const TRGBDouble& entry = lut.Curve[i];
        const std::string index = std::to_string(i);
        text.Add(index + " " + FormatScaled(Bits, entry.Red) + " " + index + " " + FormatScaled(Bits, entry.Green) +
                 " " + index + " " + FormatScaled(Bits, entry.Blue));
    }
    return text.Text();
}
