#include "formats/DecimalCubeFormat.h"

#include "formats/CubeLines.h"
#include "formats/FormatFiles.h"
#include "formats/FormatText.h"

void TBgrDecimalCubeFormat::SizeFromDataLines(TLutReadState& state) {
    std::int64_t count = 0;
    double r, g, b;
    if (state.TextFile != nullptr)
        for (const std::string& line : *state.TextFile)
            if (ParseFloatTriple(line, r, g, b) || !NonFiniteInTriple(line).empty()) ++count;
    if (count == 0) throw IncompleteFile(8, 0);
    state.SetSizeFromCount(count);
}

void TBgrDecimalCubeFormat::StoreBgrLine(const std::string& line, TLUT& lut, TLutReadState& state) {
    double blue, green, red;
    if (FirstNonBlank(line) != '#' && !state.Complete && ParseDataTriple(line, blue, green, red))
        state.StoreRedFastest(lut, red, green, blue);
}
