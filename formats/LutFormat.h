#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/lut/LUT.h"
#include "formats/LutError.h"
#include "formats/LutFormatInfo.h"
#include "formats/TextFile.h"

// A LUT file format: detection, reading into a TLUT and writing a TLUT.
// A format object holds only its description: reading and writing keep
// their state in locals, so one instance serves any number of threads.
class TLUTFormat {
public:
    virtual ~TLUTFormat() = default;
    TLUTFormat(const TLUTFormat&) = delete;
    TLUTFormat& operator=(const TLUTFormat&) = delete;

    std::string Name;   // the format's own name (informational)
    bool Is3D = false;  // stores a cube (true) or a curve (false)

    // What the format is and can do; Name and Is3D repeat two of its fields.
    const TLutFormatInfo& Info() const { return info_; }

    // True when the file looks like this format, judged from its head (the
    // first kDetectionHeadBytes bytes, all of a shorter file) and its name.
    // Detection reads the head once and asks every format; no format opens
    // the file itself.
    virtual bool CanRead(std::string_view head, const std::string& fileName) const = 0;
    // CanRead on the head of the named file (EError when it cannot be read).
    bool CanRead(const std::string& fileName) const;
    // Fills the cube or the curve, the size in use and Kind from the bytes of
    // a file; name is the file's name, used in messages and by formats that
    // look at the extension.
    virtual void Read(std::string_view bytes, const std::string& name, TLUT& lut) const = 0;
    // The bytes of the file for the LUT at its own size; Bits is the integer
    // depth of formats that store integers and is ignored by decimal formats.
    // name is the target file's name (some formats write it into the file).
    virtual std::string Write(const TLUT& lut, int Bits, const std::string& name) const = 0;

    // Read of the file's bytes (size limit and file errors of ReadFileBytes).
    void LoadFromFile(const std::string& fileName, TLUT& lut) const;
    // Write, then the bytes replace the file atomically.
    void SaveToFile(const std::string& fileName, const TLUT& lut, int Bits) const;

protected:
    explicit TLUTFormat(TLutFormatInfo info) : Name(info.Name), Is3D(info.Is3D), info_(std::move(info)) {}

private:
    TLutFormatInfo info_;
};

// Defines the factory through which the format list (FormatRegistry.cpp)
// creates the one instance of a format class; written once after the class.
#define OMBRANE_LUT_FORMAT(FormatClass) \
    std::unique_ptr<TLUTFormat> NewLutFormat_##FormatClass() { return std::make_unique<FormatClass>(); }

// The state of one read by TGenericLutFormat: the grid counters, the size
// found so far and the text being read. The driver creates it for each read
// and hands it to every step; formats that need more derive from it.
struct TLutReadState {
    explicit TLutReadState(bool is3D) : Is3D(is3D) {}
    virtual ~TLutReadState() = default;

    // Sets Size after checking it against the LUT's capacity (cube 2..101,
    // curve 2..100001 by Is3D); raises ELUTError naming the size otherwise.
    void SetSize(std::int64_t size);
    // Size := cube root of count rounded to the nearest integer, checked as
    // SetSize does (for readers that infer the grid from a line count).
    void SetSizeFromCount(std::int64_t count);
    // Stores one grid point at [RIndex][GIndex][BIndex] and advances the
    // counters, red index fastest or blue index fastest. Does nothing when
    // the grid is complete or the size unknown.
    void StoreRedFastest(TLUT& lut, double red, double green, double blue);
    void StoreBlueFastest(TLUT& lut, double red, double green, double blue);
    bool CanStore() const;
    // Grid points (cube) or values (curve) a complete table holds: Size^3
    // or Size by default.
    virtual std::int64_t Expected() const;

    bool Is3D;
    std::int32_t RIndex = 0;
    std::int32_t GIndex = 0;
    std::int32_t BIndex = 0;
    std::int32_t CurveIndex = 0;
    std::int32_t Size = -1;
    std::int32_t Range = -1;
    bool Complete = false;
    std::int64_t Stored = 0;              // grid points or curve values stored
    const TTextFile* TextFile = nullptr;  // the text being read
};

// "Incomplete file." followed by what was missing: "Expected N entries,
// found M." (N and M as given), or, for no size (N of 0), that the file
// gives none.
ELUTError IncompleteFile(std::int64_t expected, std::int64_t found);

// A text format read line by line: owns the reading loop and the
// completeness check; the concrete format supplies ParseLine.
class TGenericLutFormat : public TLUTFormat {
public:
    // The generic driver with a TLutReadState of its own.
    void Read(std::string_view bytes, const std::string& name, TLUT& lut) const override;

protected:
    using TLUTFormat::TLUTFormat;

    // The driver: splits the bytes into lines, calls ScanFile, then
    // ParseLine for every line, sets Kind and the size, and raises
    // "Incomplete file." unless state.Complete. An ELUTError a step raises
    // gets the line number and the line's text (cut to 80 characters)
    // after its message.
    void ReadLines(std::string_view bytes, const std::string& name, TLUT& lut, TLutReadState& state) const;

    // Called once with the whole file before the line loop.
    virtual void ScanFile(const TTextFile& text, TLutReadState& state) const {
        (void)text;
        (void)state;
    }
    // Called for every line in file order, untrimmed.
    virtual void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const {
        (void)line;
        (void)lut;
        (void)state;
    }
};

// The message of an error raised at a line: "<message> Line <n>: "<text>"",
// the text cut to 80 characters.
std::string AtLine(const std::string& message, std::size_t lineNumber, std::string_view line);

// ---------------------------------------------------------------------------
// Table sizes.

// Raises ELUTError naming the size unless it lies within 2..101 (cube) or
// 2..100001 (curve); returns it otherwise.
std::int32_t CheckedCubeSize(std::int64_t size);
std::int32_t CheckedCurveSize(std::int64_t size);
