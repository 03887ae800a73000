#include "formats/TextScanner.h"

#include <charconv>
#include <cmath>

namespace {

constexpr std::size_t kShownCharacters = 80;

}  // namespace

TTextScanner::TTextScanner(std::string_view text) : rest_(text.substr(0, text.find('\0'))) {}

bool TTextScanner::NextLine(std::string_view& line) {
    if (rest_.empty()) return false;
    const std::size_t end = rest_.find_first_of("\r\n");
    current_ = rest_.substr(0, end);
    if (end == std::string_view::npos) {
        rest_ = {};
    } else {
        const bool crlf = rest_[end] == '\r' && end + 1 < rest_.size() && rest_[end + 1] == '\n';
        rest_.remove_prefix(end + (crlf ? 2 : 1));
    }
    ++lineNumber_;
    line = current_;
    return true;
}

bool TTextScanner::NextFilledLine(std::string_view& line) {
    while (NextLine(line))
        if (!TrimView(line).empty()) return true;
    return false;
}

std::string_view TTextScanner::ExpectLine(const std::string& what) {
    std::string_view line;
    if (!NextFilledLine(line)) throw ELUTError("Incomplete file: " + what + " is missing.");
    return line;
}

void TTextScanner::Fail(const std::string& message) const {
    std::string text(TrimView(current_).substr(0, kShownCharacters));
    throw ELUTError(message + " (line " + std::to_string(lineNumber_) + ": \"" + text + "\")");
}

void TTextScanner::FailIncomplete(std::size_t expected, std::size_t found) const {
    throw ELUTError("Incomplete file: expected " + std::to_string(expected) + " entries, found " +
                    std::to_string(found) + ".");
}

std::size_t SplitTokens(std::string_view line, std::string_view* tokens, std::size_t max) {
    std::size_t count = 0;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        if (i == line.size()) break;
        const std::size_t start = i;
        while (i < line.size() && !IsBlank(line[i])) ++i;
        if (count < max) tokens[count] = line.substr(start, i - start);
        ++count;
    }
    return count;
}

double ScanNumber(const TTextScanner& scanner, std::string_view token) {
    double value = 0.0;
    if (!TryParseFloat(token, value))
        scanner.Fail("'" + std::string(token.substr(0, kShownCharacters)) + "' is not a number.");
    return value;
}

int ScanInteger(const TTextScanner& scanner, std::string_view token, int low, int high, const std::string& what) {
    std::int32_t value = 0;
    if (!TryParseInt(token, value) || value < low || value > high)
        scanner.Fail(what + " '" + std::string(token.substr(0, kShownCharacters)) + "' is not a whole number from " +
                     std::to_string(low) + " to " + std::to_string(high) + ".");
    return value;
}

std::string FormatDecimal(double value) {
    // Nine digits are kept against full scale (1.0): a remainder of rounding
    // such as 1.38777878e-17 is the 0 it stands for.
    if (!std::isfinite(value) || std::fabs(value) < 0.5e-9) return "0";
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 9);
    (void)error;
    return std::string(buffer, end);
}
