#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "formats/LutFormat.h"

// Reads one little-endian IEEE single written as eight hex digits, starting
// at the 0-based position and skipping every non-hex character; the position
// ends after the last character examined. A NaN reads as 0. Returns false,
// with the position at the end, when the text ends before eight digits.
bool ReadHexSingle(std::string_view text, std::size_t& position, float& value);
