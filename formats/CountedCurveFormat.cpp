#include "formats/CountedCurveFormat.h"

#include "formats/FormatFiles.h"
#include "formats/FormatText.h"

std::string CountedCurveScaledTriple(int bits, const TRGBDouble& entry) {
    return FormatScaled(bits, entry.Red) + " " + FormatScaled(bits, entry.Green) + " " + FormatScaled(bits, entry.Blue);
}

std::string_view CountedCurveCutToken(std::string_view& text) {
    text = TrimView(text);
    std::size_t end = 0;
    while (end < text.size() && text[end] != '\t' && text[end] != ' ' && text[end] != ',') ++end;
    const std::string_view token = text.substr(0, end);
    text = end < text.size() ? text.substr(end + 1) : std::string_view();
    return TrimView(token);
}

bool CountedCurveExtensionIs(const std::string& fileName, std::string_view upperExtension) {
    return UpperCase(FileExtension(fileName)) == upperExtension;
}

void TCountedCurveLutFormat::Read(std::string_view bytes, const std::string& name, TLUT& lut) const {
    TLutReadState state(false);
    ReadLines(bytes, name, lut, state);
    // The driver left the LUT alone when fewer than two entries were read.
    CheckedCurveSize(state.Size);
}

bool TCountedCurveLutFormat::IsSkipped(std::string_view line) {
    const char first = FirstNonBlank(line);
    return first == '\0' || first == '#';
}

void TCountedCurveLutFormat::TakeDataLine(TLUT& lut, TLutReadState& state, bool parsed, double red, double green,
                                          double blue) {
    if (state.Size == -1) state.Size = 0;
    if (parsed) StoreCounted(lut, state, red, green, blue);
    state.Complete = true;
}

// The reader shared by the DaVinci Resolve ilut and olut formats.
void TDavinciLut1DLutFormat::ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const {
    if (IsSkipped(line)) return;
    std::string_view rest(line);
    std::int32_t values[3] = {0, 0, 0};
    bool parsed = true;
    for (int channel = 0; channel < 3 && parsed; ++channel)
        parsed = TryParseInt(CountedCurveCutToken(rest), values[channel]);
    TakeDataLine(lut, state, parsed, values[0] / fullScale_, values[1] / fullScale_, values[2] / fullScale_);
}

std::string TDavinciLut1DLutFormat::Write(const TLUT&, int, const std::string&) const { RaiseNoWriter(Name); }
