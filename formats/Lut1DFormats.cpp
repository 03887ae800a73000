#include "formats/Lut1DFormats.h"

#include "formats/FormatText.h"

std::string CurveSixDecimals(const TRGBDouble& entry) {
    return FormatFixed(6, entry.Red) + " " + FormatFixed(6, entry.Green) + " " + FormatFixed(6, entry.Blue);
}

void TCurveLutFormat::StoreDeclared(TLUT& lut, TLutReadState& state, double red, double green, double blue) {
    if (state.Complete || state.Size < 2 || state.Size > kMaxCurveSize) return;
    if (state.CurveIndex >= 0 && state.CurveIndex < state.Size) {
        lut.Curve[state.CurveIndex] = TRGBDouble{red, green, blue};
        ++state.Stored;
    }
    if (++state.CurveIndex >= state.Size) state.Complete = true;
}

void TCurveLutFormat::StoreCounted(TLUT& lut, TLutReadState& state, double red, double green, double blue) {
    if (state.Size < 0) state.Size = 0;
    if (state.Size >= kMaxCurveSize) CheckedCurveSize(static_cast<std::int64_t>(state.Size) + 1);
    lut.Curve[state.Size] = TRGBDouble{red, green, blue};
    ++state.Size;
    ++state.Stored;
}

std::int64_t FullScaleForBits(const TLutFormatInfo& info, int bits) {
    return (std::int64_t{1} << info.CheckedBits(bits)) - 1;
}

void RaiseNoWriter(const std::string& formatName) {
    throw ELUTError("The format \"" + formatName + "\" cannot be written.");
}
