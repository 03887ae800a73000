#pragma once
#include <string>

#include "Lut1DFormats.h"

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
    static void TakeDataLine(TLUT& lut, TLutReadState& state, bool parsed, double red, double green,
                             double blue);
};

class TLustre1DLutFormat : public TCountedCurveLutFormat {
public:
    TLustre1DLutFormat();
    bool CanRead(const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

class TColorFrontOSD1DLutFormat : public TCountedCurveLutFormat {
public:
    TColorFrontOSD1DLutFormat();
    bool CanRead(const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

class TFusion1DLutFormat : public TCountedCurveLutFormat {
public:
    TFusion1DLutFormat();
    bool CanRead(const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

class TBlackmagic1DLutFormat : public TCountedCurveLutFormat {
public:
    TBlackmagic1DLutFormat();
    bool CanRead(const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

// Writer only: integers at the bit depth, no header.
class TCinetal1DLutFormat : public TCountedCurveLutFormat {
public:
    TCinetal1DLutFormat();
    bool CanRead(const std::string& fileName) const override;
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
    bool CanRead(const std::string& fileName) const override;
};

// 12-bit output LUT.
class TDavinciOLut1DLutFormat : public TDavinciLut1DLutFormat {
public:
    TDavinciOLut1DLutFormat();
    bool CanRead(const std::string& fileName) const override;
};
