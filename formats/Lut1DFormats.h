#pragma once
#include <cstdint>
#include <string>

#include "InputDomain.h"
#include "LutFormat.h"

// Base of the 1D curve formats: Is3D false, and the bounded ways of storing
// curve entries that every curve reader uses.
class TCurveLutFormat : public TGenericLutFormat {
protected:
    explicit TCurveLutFormat(TLutFormatInfo info) : TGenericLutFormat(std::move(info)) {}

    // Declared length: stores the entry at CurveIndex while the table is not
    // full, then advances; Complete once CurveIndex reaches Size.
    static void StoreDeclared(TLUT& lut, TLutReadState& state, double red, double green, double blue);
    // Counted length: Size is the number of entries so far. The first entry
    // past the curve's capacity raises ELUTError.
    static void StoreCounted(TLUT& lut, TLutReadState& state, double red, double green, double blue);
};

// Integer full scale 2^bits - 1 of a bit depth the format's description
// takes (ELUTError otherwise).
std::int64_t FullScaleForBits(const TLutFormatInfo& info, int bits);

// Raises ELUTError saying that the named format has no writer.
[[noreturn]] void RaiseNoWriter(const std::string& formatName);

// Formats whose file states the curve length in a header line.

// A declared input range (LUT_1D_INPUT_RANGE, DOMAIN_MIN/MAX) is baked into
// the curve.
class TCube1DLutFormat : public TCurveLutFormat {
public:
    TCube1DLutFormat();
    bool CanRead(const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;

private:
    struct TCube1DState : TLutReadState {
        TCube1DState() : TLutReadState(false) {}
        TInputDomain CurveDomain;  // DOMAIN_MIN/MAX, LUT_1D_INPUT_RANGE
        TInputDomain CubeDomain;   // LUT_3D_INPUT_RANGE
    };
};

// One list for all channels, or a red, a green and a blue list in turn.
class TCodex1DLutFormat : public TCurveLutFormat {
public:
    TCodex1DLutFormat();
    bool CanRead(const std::string& fileName) const override;
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;

private:
    struct TCodexState : TLutReadState {
        TCodexState() : TLutReadState(false) {}
        std::int64_t Expected() const override;
        std::int32_t ChannelCount = 0;
        std::int32_t CurrentChannel = 0;
        double FullScale = 0;  // the value of full output, as the header gives it
        bool HalfOutput = false;   // values are half-float bit patterns
        double NameFullScale = 0;  // full output as the file name gives it (-1: half floats; 0: none)
        bool NameHalfInput = false;  // the file name gives half-float input ("16fpto...")
    };
    static void ParseHeader(std::string_view values, TCodexState& state);
};

class TFilmlight1DLutFormat : public TCurveLutFormat {
public:
    TFilmlight1DLutFormat();
    bool CanRead(const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

class TQuantel1DLutFormat : public TCurveLutFormat {
public:
    TQuantel1DLutFormat();
    bool CanRead(const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

// Writer only: CanRead answers false for every file.
class TNucoda1DLutWriterFormat : public TCurveLutFormat {
public:
    TNucoda1DLutWriterFormat();
    bool CanRead(const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;
};
