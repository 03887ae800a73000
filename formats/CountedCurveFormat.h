#pragma once
#include <string>
#include <string_view>

#include "formats/Lut1DFormats.h"

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

// Writer only: integers at the bit depth, no header.
class TCinetal1DLutFormat : public TCountedCurveLutFormat {
public:
    TCinetal1DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    explicit TCinetal1DLutFormat(TLutFormatInfo info) : TCountedCurveLutFormat(std::move(info)) {}
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

// The three values of an entry scaled to integers at the bit depth, spaced.
std::string CountedCurveScaledTriple(int bits, const TRGBDouble& entry);

// Cuts the next token after trimming what remains; trimmed.
std::string_view CountedCurveCutToken(std::string_view& text);

// Whether the file name ends in the extension (given upper case, with its dot).
bool CountedCurveExtensionIs(const std::string& fileName, std::string_view upperExtension);
