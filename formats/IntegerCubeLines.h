#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// Header lines of the integer cube formats (Pandora, Quantel, Luther).

// The line without leading blanks starts with `prefix` (case-sensitive).
bool IntegerCubeLineStarts(std::string_view line, std::string_view prefix);

// The integer after the prefix of such a line. A line that ends with the
// prefix's trailing blank ("in ") holds no number: the strict conversion
// refuses the empty text.
std::int64_t IntegerCubeValueAfter(std::string_view line, std::string_view prefix);

// A full-scale value read from a header must be usable as a divisor.
std::int32_t IntegerCubeFullScale(std::int64_t value);

// The number of points of a cube of n points per axis, as text.
std::string IntegerCubePoints(int n);
