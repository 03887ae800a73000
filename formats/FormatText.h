#pragma once
// The text and number helpers of the LUT formats: trimming, tokens, the
// strict and lenient number conversions and the number formatting of the
// writers.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "formats/LutError.h"

// The comment every "#"-commenting writer adds of its own, and the line it
// writes it as.
inline constexpr std::string_view kConverterSignature = "Converted by Quor LUT Converter";
inline constexpr std::string_view kSignatureLine = "# Converted by Quor LUT Converter";

// The text after a keyword found at 1-based position `position` (as
// ContainsText gives it), skipping `extra` further characters, trimmed;
// empty when the line ends first.
std::string_view TextAfter(std::string_view line, int position, std::size_t keywordLength, std::size_t extra = 0);

// The comment text of a "#" line: what follows the first "#", trimmed.
std::string CommentText(std::string_view line);

// 1-based position of keyword in line, both compared with ASCII letters
// upper-cased; 0 when absent.
int ContainsText(std::string_view keyword, std::string_view line);

// Cuts the first token (up to the first tab, blank or comma) off text; the
// text loses the token and that one delimiter. Without a delimiter the token
// is the whole text and the text becomes empty.
void NextToken(std::string& text, std::string& token);

// head := text before the first delimiter (all of it when absent); the text
// loses the head and the delimiter.
void SplitAt(std::string_view delimiter, std::string& text, std::string& head);

// Three integers, each divided by fullScale. With skipFirst, one leading
// token (an index column) is dropped first. A fourth token makes it fail.
bool ParseIntTriple(std::string_view line, double fullScale, bool skipFirst, double& first, double& second,
                    double& third);

// Three decimal numbers ("." separator whatever the locale, optional sign
// and exponent). Any conversion error gives false; nothing is raised.
bool ParseFloatTriple(std::string_view line, double& first, double& second, double& third);

// The first token of a line of three numbers that is a number but not a
// finite one ("nan", "inf", "-Infinity", "1e999"); empty for any other line.
std::string_view NonFiniteInTriple(std::string_view line);
// ParseFloatTriple for the data lines of a table: a line of three numbers
// of which one is not finite raises ELUTError "'nan' is not a number." (the
// reading driver adds the line) instead of being passed over.
bool ParseDataTriple(std::string_view line, double& first, double& second, double& third);

// A normalised value clamped to 0..1 (NaN to 0), times 2^bits - 1, rounded
// half to even, as a decimal integer.
std::string FormatScaled(int bits, double value);

// Fixed-point text with exactly `decimals` digits after ".", a leading "-"
// for negative values and at most 15 significant digits.
std::string FormatFixed(int decimals, double value);

// A blank as the formats see it: the space and every control character
// below it.
inline bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Trimming as the formats use it: characters up to the blank (control
// characters and blanks) are removed from both ends.
// (Inline: the readers and the XML parser call it for every line and token.)
inline std::string_view TrimView(std::string_view text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    return text.substr(first, last - first);
}
std::string Trim(std::string_view text);
// The first character after leading blanks and control characters, or '\0'.
char FirstNonBlank(std::string_view text);
// ASCII upper-casing.
std::string UpperCase(std::string_view text);

// Lenient number conversions: false on anything but a complete number.
// Integers accept an optional sign and must fit in 32 bits.
bool TryParseInt(std::string_view text, std::int32_t& value);
bool TryParseFloat(std::string_view text, double& value);
// Strict integer conversion of header numbers: raises ELUTError
// "'<text>' is not a valid integer value." on malformed text.
std::int32_t ParseInteger(std::string_view text);

// The text in double quotes, for messages.
std::string Quoted(std::string_view text);

// Reads one little-endian IEEE single written as eight hex digits, starting
// at the 0-based position and skipping every non-hex character; the position
// ends after the last character examined. A NaN reads as 0. Returns false,
// with the position at the end, when the text ends before eight digits.
bool ReadHexSingle(std::string_view text, std::size_t& position, float& value);
