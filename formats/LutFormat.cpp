#include "formats/LutFormat.h"

#include <cerrno>
#include <cmath>

#include "fileio/AtomicFile.h"
#include "fileio/FileRead.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"

// ---------------------------------------------------------------------------
// Files.

bool TLUTFormat::CanRead(const std::string& fileName) const { return CanRead(ReadDetectionHead(fileName), fileName); }

void TLUTFormat::LoadFromFile(const std::string& fileName, TLUT& lut) const {
    Read(ReadFileBytes(fileName), fileName, lut);
}

void TLUTFormat::SaveToFile(const std::string& fileName, const TLUT& lut, int Bits) const {
    WriteFileAtomically(fileName, Write(lut, Bits, fileName));
}

// ---------------------------------------------------------------------------
// The generic load driver.

namespace {

constexpr std::size_t kQuotedLineLength = 80;

}  // namespace

std::string AtLine(const std::string& message, std::size_t lineNumber, std::string_view line) {
    return message + " Line " + std::to_string(lineNumber) + ": \"" + std::string(line.substr(0, kQuotedLineLength)) +
           "\"";
}

ELUTError IncompleteFile(std::int64_t expected, std::int64_t found) {
    if (expected <= 0) return ELUTError("Incomplete file. The file gives no table size.");
    return ELUTError("Incomplete file. Expected " + std::to_string(expected) + " entries, found " +
                     std::to_string(found) + ".");
}

void TGenericLutFormat::Read(std::string_view bytes, const std::string& name, TLUT& lut) const {
    TLutReadState state(Is3D);
    ReadLines(bytes, name, lut, state);
}

void TGenericLutFormat::ReadLines(std::string_view bytes, const std::string& name, TLUT& lut,
                                  TLutReadState& state) const {
    TTextFile text;
    text.SetText(bytes, name);
    state.TextFile = &text;
    ScanFile(text, state);
    std::size_t number = 0;
    try {
        for (const std::string& line : text) {
            ++number;
            ParseLine(line, lut, state);
        }
    } catch (const ELUTError& error) {
        state.TextFile = nullptr;
        throw ELUTError(AtLine(error.what(), number, text[number - 1]));
    }
    state.TextFile = nullptr;

    // Size is either unknown (-1) or was checked by SetSize; an unknown size
    // is never stored, so the LUT keeps a usable size even for a bad file.
    if (state.Size >= 2) {
        if (Is3D) {
            lut.Kind = lkCube;
            lut.CubeSize = state.Size;
        } else {
            lut.Kind = lkCurve;
            lut.CurveSize = state.Size;
        }
    }
    if (!state.Complete) throw IncompleteFile(state.Expected(), state.Stored);
}

void TLutReadState::SetSize(std::int64_t size) { Size = Is3D ? CheckedCubeSize(size) : CheckedCurveSize(size); }

void TLutReadState::SetSizeFromCount(std::int64_t count) {
    SetSize(count < 0 ? count : std::llround(std::cbrt(static_cast<double>(count))));
}

std::int64_t TLutReadState::Expected() const {
    const std::int64_t size = Size < 0 ? 0 : Size;
    return Is3D ? size * size * size : size;
}

// Every index must lie inside the grid, whatever a format did to Size.
bool TLutReadState::CanStore() const {
    return !Complete && Size >= 2 && Size <= kMaxCubeSize && RIndex >= 0 && RIndex < Size && GIndex >= 0 &&
           GIndex < Size && BIndex >= 0 && BIndex < Size;
}

void TLutReadState::StoreRedFastest(TLUT& lut, double red, double green, double blue) {
    if (!CanStore()) return;
    lut.Cube[RIndex][GIndex][BIndex] = TRGBDouble{red, green, blue};
    ++Stored;
    if (++RIndex < Size) return;
    RIndex = 0;
    if (++GIndex < Size) return;
    GIndex = 0;
    if (++BIndex >= Size) Complete = true;
}

void TLutReadState::StoreBlueFastest(TLUT& lut, double red, double green, double blue) {
    if (!CanStore()) return;
    lut.Cube[RIndex][GIndex][BIndex] = TRGBDouble{red, green, blue};
    ++Stored;
    if (++BIndex < Size) return;
    BIndex = 0;
    if (++GIndex < Size) return;
    GIndex = 0;
    if (++RIndex >= Size) Complete = true;
}

// ---------------------------------------------------------------------------
// Sizes.

std::int32_t CheckedCubeSize(std::int64_t size) {
    if (size < 2 || size > kMaxCubeSize)
        throw ELUTError("Unsupported 3D LUT size " + std::to_string(size) + ": a cube holds 2 to " +
                        std::to_string(kMaxCubeSize) + " points per axis.");
    return static_cast<std::int32_t>(size);
}

std::int32_t CheckedCurveSize(std::int64_t size) {
    if (size < 2 || size > kMaxCurveSize)
        throw ELUTError("Unsupported 1D LUT size " + std::to_string(size) + ": a curve holds 2 to " +
                        std::to_string(kMaxCurveSize) + " entries.");
    return static_cast<std::int32_t>(size);
}
