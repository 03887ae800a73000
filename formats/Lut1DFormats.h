#pragma once
#include <cstdint>
#include <string>

#include "LutFormat.h"

// Base of the 1D curve formats: Is3D false, and the bounded ways of storing
// curve entries that every curve reader uses.
class TCurveLutFormat : public TGenericLutFormat {
protected:
    explicit TCurveLutFormat(TLutFormatInfo info) : TGenericLutFormat(std::move(info)) {}

    // Declared length: stores the entry at CurveIndex while the table is not
    // full, then advances; Complete once CurveIndex reaches Size.
    void StoreDeclared(TLUT& lut, double red, double green, double blue);
    // Counted length: Size is the number of entries so far. The first entry
    // past the curve's capacity raises ELUTError.
    void StoreCounted(TLUT& lut, double red, double green, double blue);
};

// Integer full scale 2^bits - 1 of the integer writers; ELUTError for a bit
// depth outside 1..32.
std::int64_t FullScaleForBits(int bits);

// Raises ELUTError saying that the named format has no writer.
[[noreturn]] void RaiseNoWriter(const std::string& formatName);

// Formats whose file states the curve length in a header line.

class TCube1DLutFormat : public TCurveLutFormat {
public:
    TCube1DLutFormat();
    bool CanRead(const std::string& fileName) override;
    void SaveToFile(const std::string& fileName, const TLUT& lut, int Bits) override;

protected:
    void ParseLine(const std::string& line, TLUT& lut) override;
};

// One list for all channels, or a red, a green and a blue list in turn.
class TCodex1DLutFormat : public TCurveLutFormat {
public:
    TCodex1DLutFormat();
    bool CanRead(const std::string& fileName) override;
    void LoadFromFile(const std::string& fileName, TLUT& lut) override;
    void SaveToFile(const std::string& fileName, const TLUT& lut, int Bits) override;

protected:
    void ParseLine(const std::string& line, TLUT& lut) override;

    std::int32_t ChannelCount = 0;
    std::int32_t CurrentChannel = 0;
};

class TFilmlight1DLutFormat : public TCurveLutFormat {
public:
    TFilmlight1DLutFormat();
    bool CanRead(const std::string& fileName) override;
    void SaveToFile(const std::string& fileName, const TLUT& lut, int Bits) override;

protected:
    void ParseLine(const std::string& line, TLUT& lut) override;
};

class TQuantel1DLutFormat : public TCurveLutFormat {
public:
    TQuantel1DLutFormat();
    bool CanRead(const std::string& fileName) override;
    void SaveToFile(const std::string& fileName, const TLUT& lut, int Bits) override;

protected:
    void ParseLine(const std::string& line, TLUT& lut) override;
};

// Writer only: CanRead answers false for every file.
class TNucoda1DLutWriterFormat : public TCurveLutFormat {
public:
    TNucoda1DLutWriterFormat();
    bool CanRead(const std::string& fileName) override;
    void SaveToFile(const std::string& fileName, const TLUT& lut, int Bits) override;
};
