#include <string>
#include "formats/Lut1DFormats.h"

#include <cmath>

#include "formats/FormatFiles.h"
#include "formats/FormatText.h"

namespace {

// 1D formats whose files carry no entry count: the readers count the data
// lines. Size is the number of entries stored so far (-1 before the first
// data line or header) and the index of the next entry.
class TCountedCurveLutFormat : public TCurveLutFormat {
public:
    // The generic driver, then a table of fewer than two entries is refused.
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;

protected:
    using TCurveLutFormat::TCurveLutFormat;

    // Blank lines and "#" lines are not data.
    static bool IsSkipped(std::string_view line);
    // One data line: a parsed entry is appended; every data line, parsed or
    // not, marks the table complete.
    static void TakeDataLine(TLUT& lut, TLutReadState& state, bool parsed, double red, double green, double blue);
};

class TLustre1DLutFormat : public TCountedCurveLutFormat {
public:
    TLustre1DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

class TColorFrontOSD1DLutFormat : public TCountedCurveLutFormat {
public:
    TColorFrontOSD1DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

class TFusion1DLutFormat : public TCountedCurveLutFormat {
public:
    TFusion1DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

class TBlackmagic1DLutFormat : public TCountedCurveLutFormat {
public:
    TBlackmagic1DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

// Writer only: integers at the bit depth, no header.
class TCinetal1DLutFormat : public TCountedCurveLutFormat {
public:
    TCinetal1DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    explicit TCinetal1DLutFormat(TLutFormatInfo info) : TCountedCurveLutFormat(std::move(info)) {}
};

// Writes exactly as Cine-tal 1D; only its output profile differs.
class TShake1DLutFormat : public TCinetal1DLutFormat {
public:
    TShake1DLutFormat();
};

// Reader only: three integers per line at a fixed full scale.
class TDavinciLut1DLutFormat : public TCountedCurveLutFormat {
public:
    // No writer: raises ELUTError.
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    TDavinciLut1DLutFormat(TLutFormatInfo info, double fullScale)
        : TCountedCurveLutFormat(std::move(info)), fullScale_(fullScale) {}
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;

private:
    double fullScale_;
};

// 14-bit input LUT.
class TDavinciILut1DLutFormat : public TDavinciLut1DLutFormat {
public:
    TDavinciILut1DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
};

// 12-bit output LUT.
class TDavinciOLut1DLutFormat : public TDavinciLut1DLutFormat {
public:
    TDavinciOLut1DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
};

}  // namespace

namespace {

std::string ScaledTriple(int bits, const TRGBDouble& entry) {
    return FormatScaled(bits, entry.Red) + " " + FormatScaled(bits, entry.Green) + " " + FormatScaled(bits, entry.Blue);
}

// Cuts the next token after trimming what remains; trimmed.
std::string_view CutTrimmed(std::string_view& text) {
    text = TrimView(text);
    std::size_t end = 0;
    while (end < text.size() && text[end] != '\t' && text[end] != ' ' && text[end] != ',') ++end;
    const std::string_view token = text.substr(0, end);
    text = end < text.size() ? text.substr(end + 1) : std::string_view();
    return TrimView(token);
}

bool ExtensionIs(const std::string& fileName, std::string_view upperExtension) {
    return UpperCase(FileExtension(fileName)) == upperExtension;
}

}  // namespace

// ----------------------------------------------------------- shared parts

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

// ------------------------------------------------------ Autodesk Lustre 1D

TLustre1DLutFormat::TLustre1DLutFormat()
    : TCountedCurveLutFormat({.Id = "lustre-1d",
                              .Name = "Autodesk Lustre 1D",
                              .Extensions = {"lut"},
                              .Is3D = false,
                              .MaxSize = kMaxCurveSize,
                              .MinBits = 1,
                              .MaxBits = 31}) {}

OMBRANE_LUT_FORMAT(TLustre1DLutFormat)

bool TLustre1DLutFormat::CanRead(std::string_view head, const std::string&) const {
    return TextHasKeywords(head, "LUT16", "") || TextHasKeywords(head, "LUT12", "");
}

void TLustre1DLutFormat::ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const {
    if (IsSkipped(line)) return;
    if (state.Range == -1) {
        const std::string_view header = TrimView(line);
        if (header == "LUT16")
            state.Range = 16;
        else if (header == "LUT12")
            state.Range = 12;
        state.Size = 0;
        return;
    }
    double red = 0, green = 0, blue = 0;
    const double fullScale = std::ldexp(1.0, state.Range) - 1.0;
    const bool parsed = ParseIntTriple(line, fullScale, true, red, green, blue);
    TakeDataLine(lut, state, parsed, red, green, blue);
}

std::string TLustre1DLutFormat::Write(const TLUT& lut, int Bits, const std::string&) const {
    const std::int32_t size = CheckedCurveSize(lut.CurveSize);
    FullScaleForBits(Info(), Bits);
    TTextFile text;
    text.Reserve(static_cast<std::size_t>(size) + 4);
    text.Add("LUT" + std::to_string(Bits));
    text.Add("");
    text.Add(std::string(kSignatureLine));
    text.Add("");
    for (std::int32_t i = 0; i < size; ++i) text.Add(std::to_string(i) + " " + ScaledTriple(Bits, lut.Curve[i]));
    return text.Text();
}

// ------------------------------------------------------- Colorfront OSD 1D

TColorFrontOSD1DLutFormat::TColorFrontOSD1DLutFormat()
    : TCountedCurveLutFormat({.Id = "colorfront-osd-1d",
                              .Name = "Colorfront OSD 1D",
                              .Extensions = {"1dlut"},
                              .Is3D = false,
                              .MaxSize = kMaxCurveSize}) {}

OMBRANE_LUT_FORMAT(TColorFrontOSD1DLutFormat)

bool TColorFrontOSD1DLutFormat::CanRead(std::string_view, const std::string& fileName) const {
    return ExtensionIs(fileName, ".1DLUT");
}

void TColorFrontOSD1DLutFormat::ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const {
    if (IsSkipped(line)) return;
    double red = 0, green = 0, blue = 0;
    const bool parsed = ParseDataTriple(line, red, green, blue);
    TakeDataLine(lut, state, parsed, red, green, blue);
}

std::string TColorFrontOSD1DLutFormat::Write(const TLUT& lut, int, const std::string&) const {
    const std::int32_t size = CheckedCurveSize(lut.CurveSize);
    TTextFile text;
    text.Reserve(static_cast<std::size_t>(size));
    for (std::int32_t i = 0; i < size; ++i) {
        const TRGBDouble& entry = lut.Curve[i];
        text.Add(FormatFixed(6, entry.Red) + " " + FormatFixed(6, entry.Green) + " " + FormatFixed(6, entry.Blue));
    }
    return text.Text();
}

// --------------------------------------------------------------- Fusion 1D

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
        CutTrimmed(rest);  // the entry number before each value
        const std::string_view token = channel < 2 ? CutTrimmed(rest) : TrimView(rest);
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

// ---------------------------------------------------- Blackmagic HDLink 1D

TBlackmagic1DLutFormat::TBlackmagic1DLutFormat()
    : TCountedCurveLutFormat({.Id = "blackmagic-1d",
                              .Name = "Blackmagic HDLink 1D",
                              .Extensions = {"txt"},
                              .Is3D = false,
                              .MaxSize = kMaxCurveSize}) {}

OMBRANE_LUT_FORMAT(TBlackmagic1DLutFormat)

bool TBlackmagic1DLutFormat::CanRead(std::string_view head, const std::string&) const {
    return TextHasKeywords(head, "HDLINK", "");
}

void TBlackmagic1DLutFormat::ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const {
    if (IsSkipped(line)) return;
    const char first = FirstNonBlank(line);
    if (first < '0' || first > '9') return;
    double red = 0, green = 0, blue = 0;
    const bool parsed = ParseDataTriple(line, red, green, blue);
    TakeDataLine(lut, state, parsed, red / 1000, green / 1000, blue / 1000);
}

std::string TBlackmagic1DLutFormat::Write(const TLUT& lut, int, const std::string&) const {
    const std::int32_t size = CheckedCurveSize(lut.CurveSize);
    TTextFile text;
    text.Reserve(static_cast<std::size_t>(size) + 1);
    text.Add("R\tG\tB - HDLINK GAMMA TABLE");
    for (std::int32_t i = 0; i < size; ++i) {
        const TRGBDouble& entry = lut.Curve[i];
        text.Add(FormatFixed(2, entry.Red * 1000) + " " + FormatFixed(2, entry.Green * 1000) + " " +
                 FormatFixed(2, entry.Blue * 1000));
    }
    return text.Text();
}

// ---------------------------------------------------- Cine-tal and Shake 1D

TCinetal1DLutFormat::TCinetal1DLutFormat()
    : TCountedCurveLutFormat({.Id = "cinetal-1d",
                              .Name = "Cine-tal 1D",
                              .Extensions = {"txt"},
                              .Is3D = false,
                              .Reads = false,
                              .MaxSize = kMaxCurveSize,
                              .MinBits = 1,
                              .MaxBits = 31}) {}

OMBRANE_LUT_FORMAT(TCinetal1DLutFormat)

TShake1DLutFormat::TShake1DLutFormat()
    : TCinetal1DLutFormat({.Id = "shake-1d",
                           .Name = "Shake 1D",
                           .Extensions = {"txt"},
                           .Is3D = false,
                           .Reads = false,
                           .MaxSize = kMaxCurveSize,
                           .MinBits = 1,
                           .MaxBits = 31}) {}

OMBRANE_LUT_FORMAT(TShake1DLutFormat)

bool TCinetal1DLutFormat::CanRead(std::string_view, const std::string&) const { return false; }

std::string TCinetal1DLutFormat::Write(const TLUT& lut, int Bits, const std::string&) const {
    const std::int32_t size = CheckedCurveSize(lut.CurveSize);
    FullScaleForBits(Info(), Bits);
    TTextFile text;
    text.Reserve(static_cast<std::size_t>(size));
    for (std::int32_t i = 0; i < size; ++i) text.Add(ScaledTriple(Bits, lut.Curve[i]));
    return text.Text();
}

// ---------------------------------------------- DaVinci Resolve ilut, olut

void TDavinciLut1DLutFormat::ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const {
    if (IsSkipped(line)) return;
    std::string_view rest(line);
    std::int32_t values[3] = {0, 0, 0};
    bool parsed = true;
    for (int channel = 0; channel < 3 && parsed; ++channel) parsed = TryParseInt(CutTrimmed(rest), values[channel]);
    TakeDataLine(lut, state, parsed, values[0] / fullScale_, values[1] / fullScale_, values[2] / fullScale_);
}

std::string TDavinciLut1DLutFormat::Write(const TLUT&, int, const std::string&) const { RaiseNoWriter(Name); }

TDavinciILut1DLutFormat::TDavinciILut1DLutFormat()
    : TDavinciLut1DLutFormat({.Id = "davinci-ilut-1d",
                              .Name = "DaVinci Resolve ilut 1D",
                              .Extensions = {"ilut"},
                              .Is3D = false,
                              .Writes = false,
                              .MaxSize = kMaxCurveSize},
                             16383.0) {}

OMBRANE_LUT_FORMAT(TDavinciILut1DLutFormat)

bool TDavinciILut1DLutFormat::CanRead(std::string_view head, const std::string& fileName) const {
    return ExtensionIs(fileName, ".ILUT") && UpperCase(head.substr(0, 4096)).find("<IRIDASCRIPT>") == std::string::npos;
}

TDavinciOLut1DLutFormat::TDavinciOLut1DLutFormat()
    : TDavinciLut1DLutFormat({.Id = "davinci-olut-1d",
                              .Name = "DaVinci Resolve olut 1D",
                              .Extensions = {"olut"},
                              .Is3D = false,
                              .Writes = false,
                              .MaxSize = kMaxCurveSize},
                             4095.0) {}

OMBRANE_LUT_FORMAT(TDavinciOLut1DLutFormat)

bool TDavinciOLut1DLutFormat::CanRead(std::string_view, const std::string& fileName) const {
    return ExtensionIs(fileName, ".OLUT");
}
