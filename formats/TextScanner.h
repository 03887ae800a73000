#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "formats/FormatFiles.h"
#include "formats/FormatText.h"
#include "formats/LutFormat.h"

// Reading a text LUT line by line and token by token while keeping the line
// number, so that a refusal says where the file went wrong. All state is in
// the scanner object, which the reader keeps as a local.
class TTextScanner {
public:
    explicit TTextScanner(std::string_view text);

    // The next line without its end (CR, LF or CR LF); false at the end of
    // the text. A NUL byte ends the text.
    bool NextLine(std::string_view& line);
    // The next line that holds more than blanks and control characters.
    bool NextFilledLine(std::string_view& line);
    // The next filled line; raises "<what> is missing." at the end.
    std::string_view ExpectLine(const std::string& what);

    // Raises ELUTError: message, then the line number and the line's text
    // (cut to 80 characters).
    [[noreturn]] void Fail(const std::string& message) const;
    // Raises ELUTError for a table that ended early.
    [[noreturn]] void FailIncomplete(std::size_t expected, std::size_t found) const;

private:
    std::string_view rest_;
    std::string_view current_;
    int lineNumber_ = 0;
};

// Splits a line at blanks, tabs and control characters into at most `max`
// tokens; returns how many tokens the line holds (more than max when it
// holds more).
std::size_t SplitTokens(std::string_view line, std::string_view* tokens, std::size_t max);

// A decimal number of a token, or the scanner's refusal naming the token.
double ScanNumber(const TTextScanner& scanner, std::string_view token);
// An integer from low to high of a token, or the scanner's refusal.
int ScanInteger(const TTextScanner& scanner, std::string_view token, int low, int high, const std::string& what);

// A table value as the decimal formats of this family write it: up to nine
// significant digits, "." as separator, an exponent only for very small or
// large magnitudes; NaN, infinities and magnitudes below 0.5e-9 (nine
// digits against full scale) are written as 0.
std::string FormatDecimal(double value);
