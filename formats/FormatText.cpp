#include "formats/FormatText.h"

#include <bit>
#include <charconv>
#include <cmath>

namespace {

inline char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

inline bool IsTokenDelimiter(char c) { return c == '\t' || c == ' ' || c == ','; }

// string_view form of NextToken, used on the hot reading paths.
inline std::string_view CutToken(std::string_view& text) {
    std::size_t i = 0;
    while (i < text.size() && !IsTokenDelimiter(text[i])) ++i;
    std::string_view token = text.substr(0, i);
    text = i < text.size() ? text.substr(i + 1) : std::string_view();
    return token;
}

// Splits a line into its three number tokens the way ParseIntTriple and
// ParseFloatTriple do: two delimited tokens and the trimmed remainder.
inline bool SplitTriple(std::string_view line, bool skipFirst, std::string_view tokens[3]) {
    std::string_view rest = TrimView(line);
    if (skipFirst) CutToken(rest);
    for (int i = 0; i < 2; ++i) {
        rest = TrimView(rest);
        tokens[i] = TrimView(CutToken(rest));
        if (tokens[i].empty()) return false;
    }
    tokens[2] = TrimView(rest);
    return !tokens[2].empty();
}

}  // namespace

std::string_view TextAfter(std::string_view line, int position, std::size_t keywordLength, std::size_t extra) {
    const std::size_t start = static_cast<std::size_t>(position - 1) + keywordLength + extra;
    return start < line.size() ? TrimView(line.substr(start)) : std::string_view();
}

std::string CommentText(std::string_view line) { return Trim(TrimView(line).substr(1)); }

std::string Trim(std::string_view text) { return std::string(TrimView(text)); }

char FirstNonBlank(std::string_view text) {
    for (char c : text)
        if (!IsBlank(c)) return c;
    return '\0';
}

std::string UpperCase(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = UpperChar(c);
    return result;
}

int ContainsText(std::string_view keyword, std::string_view line) {
    if (keyword.empty() || keyword.size() > line.size()) return 0;
    for (std::size_t start = 0; start + keyword.size() <= line.size(); ++start) {
        std::size_t i = 0;
        while (i < keyword.size() && UpperChar(line[start + i]) == UpperChar(keyword[i])) ++i;
        if (i == keyword.size()) return static_cast<int>(start + 1);
    }
    return 0;
}

void NextToken(std::string& text, std::string& token) {
    std::string_view view(text);
    token = std::string(CutToken(view));
    text = std::string(view);
}

void SplitAt(std::string_view delimiter, std::string& text, std::string& head) {
    std::size_t pos = delimiter.empty() ? std::string::npos : text.find(delimiter);
    if (pos == std::string::npos) {
        head = text;
        text.clear();
        return;
    }
    head = text.substr(0, pos);
    text.erase(0, pos + delimiter.size());
}

// ---------------------------------------------------------------------------
// Numbers.

namespace {

// Drops one leading '+', which from_chars does not take; false for an empty
// number or a sign followed by another sign.
bool DropPlusSign(std::string_view& text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') return false;
    }
    return !text.empty();
}

}  // namespace

bool TryParseInt(std::string_view text, std::int32_t& value) {
    if (!DropPlusSign(text)) return false;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

bool TryParseFloat(std::string_view text, double& value) {
    if (!DropPlusSign(text)) return false;
    const char* end = text.data() + text.size();
    double parsed = 0.0;
    auto [ptr, ec] = std::from_chars(text.data(), end, parsed, std::chars_format::general);
    if (ec != std::errc() || ptr != end || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

std::int32_t ParseInteger(std::string_view text) {
    std::int32_t value = 0;
    if (!TryParseInt(text, value)) throw ELUTError("'" + std::string(text) + "' is not a valid integer value.");
    return value;
}

bool ParseIntTriple(std::string_view line, double fullScale, bool skipFirst, double& first, double& second,
                    double& third) {
    std::string_view tokens[3];
    if (!SplitTriple(line, skipFirst, tokens)) return false;
    std::int32_t values[3];
    for (int i = 0; i < 3; ++i)
        if (!TryParseInt(tokens[i], values[i])) return false;
    first = values[0] / fullScale;
    second = values[1] / fullScale;
    third = values[2] / fullScale;
    return true;
}

bool ParseFloatTriple(std::string_view line, double& first, double& second, double& third) {
    std::string_view tokens[3];
    if (!SplitTriple(line, false, tokens)) return false;
    double values[3];
    for (int i = 0; i < 3; ++i)
        if (!TryParseFloat(tokens[i], values[i])) return false;
    first = values[0];
    second = values[1];
    third = values[2];
    return true;
}

namespace {

// A token from_chars reads whole as a number that is not finite, or as a
// decimal beyond the range of double.
bool IsNonFiniteNumber(std::string_view token) {
    if (!DropPlusSign(token)) return false;
    const char* end = token.data() + token.size();
    double parsed = 0.0;
    const auto [ptr, ec] = std::from_chars(token.data(), end, parsed, std::chars_format::general);
    if (ptr != end) return false;
    return ec == std::errc::result_out_of_range || (ec == std::errc() && !std::isfinite(parsed));
}

}  // namespace

std::string_view NonFiniteInTriple(std::string_view line) {
    std::string_view tokens[3];
    if (!SplitTriple(line, false, tokens)) return {};
    std::string_view found;
    for (const std::string_view token : tokens) {
        double value = 0.0;
        if (IsNonFiniteNumber(token)) {
            if (found.empty()) found = token;
        } else if (!TryParseFloat(token, value)) {
            return {};
        }
    }
    return found;
}

bool ParseDataTriple(std::string_view line, double& first, double& second, double& third) {
    if (ParseFloatTriple(line, first, second, third)) return true;
    const std::string_view token = NonFiniteInTriple(line);
    if (!token.empty()) throw ELUTError("'" + std::string(token.substr(0, 40)) + "' is not a number.");
    return false;
}

std::string FormatScaled(int bits, double value) {
    // Depths beyond 53 bits cannot be represented exactly; they never occur
    // (formats use 8 to 16), the clamp only keeps the arithmetic defined.
    if (bits < 0) bits = 0;
    if (bits > 53) bits = 53;
    if (!(value > 0.0))
        value = 0.0;
    else if (value > 1.0)
        value = 1.0;
    const double fullScale = std::ldexp(1.0, bits) - 1.0;
    const auto scaled = static_cast<std::uint64_t>(std::nearbyint(value * fullScale));
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, scaled);
    return std::string(buffer, result.ptr);
}

namespace {

constexpr int kMaxSignificantDigits = 15;

// Removes the sign of a result that shows only zeros ("-0.000000").
void DropNegativeZero(std::string& text) {
    if (text.empty() || text.front() != '-') return;
    if (text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
}

// Fixed notation for values whose integer part leaves fewer than `decimals`
// significant digits: round to 15 significant digits, pad with zeros.
std::string FormatFixedLarge(int decimals, double value) {
    char buffer[64];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, kMaxSignificantDigits - 1);
    std::string_view sci(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const bool negative = sci.front() == '-';
    if (negative) sci.remove_prefix(1);
    const std::size_t ePos = sci.find('e');
    int exponent = 0;
    std::from_chars(sci.data() + ePos + 1 + (sci[ePos + 1] == '+' ? 1 : 0), sci.data() + sci.size(), exponent);
    std::string digits;
    for (char c : sci.substr(0, ePos))
        if (c != '.') digits += c;
    // digits holds d.ddd... with the point after the first digit; move it
    // exponent places to the right (exponent >= 15 - decimals >= 0 here).
    const std::size_t intDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() < intDigits + static_cast<std::size_t>(decimals))
        digits.append(intDigits + decimals - digits.size(), '0');
    std::string text = negative ? "-" : "";
    text.append(digits, 0, intDigits);
    if (decimals > 0) {
        text += '.';
        text.append(digits, intDigits, static_cast<std::size_t>(decimals));
    }
    return text;
}

}  // namespace

std::string FormatFixed(int decimals, double value) {
    if (decimals < 0) decimals = 0;
    if (decimals > kMaxSignificantDigits) decimals = kMaxSignificantDigits;
    char buffer[64];
    if (!std::isfinite(value)) {
        auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        return std::string(buffer, result.ptr);
    }
    std::string text;
    if (std::fabs(value) < std::pow(10.0, kMaxSignificantDigits - decimals)) {
        auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
        text.assign(buffer, result.ptr);
    } else {
        text = FormatFixedLarge(decimals, value);
    }
    DropNegativeZero(text);
    return text;
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool ReadHexSingle(std::string_view text, std::size_t& position, float& value) {
    std::uint32_t bits = 0;
    int digits = 0;
    while (digits < 8) {
        if (position >= text.size()) return false;
        const int digit = HexDigit(text[position++]);
        if (digit < 0) continue;
        // Digit pairs are bytes, the first pair the least significant byte.
        const int byte = digits / 2;
        const int shift = byte * 8 + (digits % 2 == 0 ? 4 : 0);
        bits |= static_cast<std::uint32_t>(digit) << shift;
        ++digits;
    }
    value = std::bit_cast<float>(bits);
    if (std::isnan(value)) value = 0.0f;
    return true;
}
