#include "CubeLines.h"

#include <charconv>
#include <cmath>

#include "LutFormat.h"

void AppendFixed6(std::string& out, double value)
{
    // Values the writers meet are small: format them straight into a buffer;
    // the rest (huge, not finite, negative) go the general way.
    if (std::fabs(value) < 1e9) {
        char buffer[32];
        auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                    std::chars_format::fixed, 6);
        if (buffer[0] != '-') {
            out.append(buffer, result.ptr);
            return;
        }
    }
    out += FormatFixed(6, value);
}

void AddFixedGridRedFastest(TTextFile& text, const TLUT& lut, bool blueFirst)
{
    const int n = CheckedCubeSize(lut.CubeSize);
    text.Reserve(text.Count() + static_cast<std::size_t>(n) * n * n);
    std::string line;
    for (int b = 0; b < n; ++b)
        for (int g = 0; g < n; ++g)
            for (int r = 0; r < n; ++r) {
                const TRGBDouble& v = lut.Cube[r][g][b];
                line.clear();
                AppendFixed6(line, blueFirst ? v.Blue : v.Red);
                line += ' ';
                AppendFixed6(line, v.Green);
                line += ' ';
                AppendFixed6(line, blueFirst ? v.Red : v.Blue);
                text.Add(line);
            }
}

void AddScaledGridBlueFastest(TTextFile& text, const TLUT& lut, int bits,
                              char separator, bool indexColumn)
{
    const int n = CheckedCubeSize(lut.CubeSize);
    bits = CheckedBits(bits);
    text.Reserve(text.Count() + static_cast<std::size_t>(n) * n * n);
    std::string line;
    long index = 0;
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b) {
                const TRGBDouble& v = lut.Cube[r][g][b];
                line.clear();
                if (indexColumn) {
                    line += std::to_string(index++);
                    line += separator;
                }
                line += FormatScaled(bits, v.Red);
                line += separator;
                line += FormatScaled(bits, v.Green);
                line += separator;
                line += FormatScaled(bits, v.Blue);
                text.Add(line);
            }
}
