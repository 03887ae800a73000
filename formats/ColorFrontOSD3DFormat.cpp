#include <string>
#include "formats/CubeLines.h"
#include "formats/DecimalCubeFormat.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"
#include "formats/LutFormat.h"

namespace {

// Colorfront OSD 3D: data lines only; the reader infers the grid from the
// number of data lines.
class TColorFrontOSD3DLutFormat : public TBgrDecimalCubeFormat {
public:
    TColorFrontOSD3DLutFormat();
    bool CanRead(std::string_view head, const std::string& fileName) const override;
    std::string Write(const TLUT& lut, int Bits, const std::string& name) const override;

protected:
    void ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const override;
};

}  // namespace

TColorFrontOSD3DLutFormat::TColorFrontOSD3DLutFormat()
    : TBgrDecimalCubeFormat({.Id = "colorfront-osd-3d", .Name = "Colorfront OSD 3D", .Extensions = {"3dmesh"}}) {}

OMBRANE_LUT_FORMAT(TColorFrontOSD3DLutFormat)

bool TColorFrontOSD3DLutFormat::CanRead(std::string_view, const std::string& fileName) const {
    return UpperCase(FileExtension(fileName)) == ".3DMESH";
}

std::string TColorFrontOSD3DLutFormat::Write(const TLUT& lut, int Bits, const std::string& name) const {
    (void)Bits;
    (void)name;
    TTextFile text;
    AddFixedGridRedFastest(text, lut, true);
    return text.Text();
}

void TColorFrontOSD3DLutFormat::ParseLine(const std::string& line, TLUT& lut, TLutReadState& state) const {
    if (FirstNonBlank(line) == '\0') return;
    if (state.Size == -1) SizeFromDataLines(state);
    StoreBgrLine(line, lut, state);
}
