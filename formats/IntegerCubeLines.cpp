#include "formats/IntegerCubeLines.h"

#include "formats/FormatText.h"
#include "formats/LutError.h"

bool IntegerCubeLineStarts(std::string_view line, std::string_view prefix) {
    std::size_t i = 0;
    while (i < line.size() && static_cast<unsigned char>(line[i]) <= ' ') ++i;
    return line.substr(i).substr(0, prefix.size()) == prefix;
}

std::int64_t IntegerCubeValueAfter(std::string_view line, std::string_view prefix) {
    const std::string_view trimmed = TrimView(line);
    const std::string_view rest = trimmed.size() > prefix.size() ? trimmed.substr(prefix.size()) : std::string_view();
    return ParseInteger(TrimView(rest));
}

std::int32_t IntegerCubeFullScale(std::int64_t value) {
    if (value < 1) throw ELUTError("Unsupported full-scale value " + std::to_string(value) + ".");
    return static_cast<std::int32_t>(value);
}

std::string IntegerCubePoints(int n) { return std::to_string(std::int64_t(n) * n * n); }
