#include "formats/CubeLines.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "formats/FormatText.h"
#include "formats/LutFormat.h"

namespace {

// The deepest integers the 3D grid writers scale to (their formats' descriptions
// say which depths each takes).
constexpr int kMaxGridBits = 32;

// Six decimals by integer rounding of value * 10^6 for 0 <= value < 1024.
// The product is computed in double with an error below 1.2e-7; when its
// fraction lies farther than 1e-6 from one half, the exact product rounds to
// the same integer, so the digits are those of the exact conversion. Near a
// half (and for every other value) it returns false and the caller takes
// the general conversion.
bool TryAppendFixed6Fast(std::string& out, double value) {
    if (!(value >= 0.0 && value < 1024.0)) return false;
    const double scaled = value * 1e6;
    const double fraction = scaled - std::floor(scaled);
    if (std::fabs(fraction - 0.5) <= 1e-6) return false;
    const auto units = static_cast<std::uint64_t>(std::nearbyint(scaled));
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + 20, units / 1000000);
    char* p = result.ptr;
    *p++ = '.';
    std::uint64_t decimals = units % 1000000;
    for (int i = 5; i >= 0; --i) {
        p[i] = static_cast<char>('0' + decimals % 10);
        decimals /= 10;
    }
    out.append(buffer, p + 6);
    return true;
}

}  // namespace

void AppendFixed6(std::string& out, double value) {
    if (!TryAppendFixed6Fast(out, value)) out += FormatFixed(6, value);
}

void AddFixedGridRedFastest(TTextFile& text, const TLUT& lut, bool blueFirst) {
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

void AddScaledGridBlueFastest(TTextFile& text, const TLUT& lut, int bits, char separator, bool indexColumn) {
    const int n = CheckedCubeSize(lut.CubeSize);
    if (bits < 1 || bits > kMaxGridBits)
        throw ELUTError("Unsupported bit depth " + std::to_string(bits) + ": integer LUT files hold 1 to " +
                        std::to_string(kMaxGridBits) + " bits.");
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
