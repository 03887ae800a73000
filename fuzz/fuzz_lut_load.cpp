// Every LUT reader through LoadFromFile. The first input byte picks the
// format (modulo the number of formats), the rest is the file. A reader must
// refuse bad input with EError, never leave a size outside the tables, and
// leave a table that the lookups and the same format's writer can use.
#include <cstdint>
#include <string>

#include "engine/lut/LUT.h"
#include "formats/LutFormat.h"
#include "fuzz/FuzzSupport.h"

namespace {

// Writing back what was read exercises the number formatting on values no
// writer test produces (huge, negative, infinite, not a number). Only small
// tables: a 101-point cube is a million lines.
bool SmallEnoughToWrite(const TLUT& lut) {
    if (lut.Kind == lkCube) return lut.CubeSize >= 2 && lut.CubeSize <= 9;
    if (lut.Kind == lkCurve) return lut.CurveSize >= 2 && lut.CurveSize <= 1024;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const auto& formats = fuzz::Formats();
    const TLUTFormat& format = *formats[data[0] % formats.size()];
    const int bits = 8 + (data[0] / formats.size()) % 9;  // 8..16 from the spare bits
    const std::string fileName = fuzz::WriteScratchFile(data + 1, size - 1, ".lut");

    TLUT& lut = fuzz::SharedLut();
    lut.Kind = lkCurve;
    lut.CubeSize = 0;
    lut.CurveSize = 0;
    lut.Comments.clear();

    bool loaded = false;
    fuzz::ExpectOnlyEError(format.Name.c_str(), [&] {
        format.LoadFromFile(fileName, lut);
        loaded = true;
    });
    fuzz::CheckLutSizes(lut, format.Name.c_str());
    if (!loaded) return 0;
    fuzz::ExerciseLookups(lut);
    if (SmallEnoughToWrite(lut)) {
        const std::string copy = fuzz::WriteScratchFile("", ".out");
        fuzz::ExpectOnlyEError(format.Name.c_str(), [&] { format.SaveToFile(copy, lut, bits); });
    }
    return 0;
}
