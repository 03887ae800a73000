#include "LutFormat.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <fcntl.h>
#include <unistd.h>

#include "AtomicFile.h"

// ---------------------------------------------------------------------------
// Files.

void TLUTFormat::LoadFromFile(const std::string& fileName, TLUT& lut) const
{
    Read(ReadFileBytes(fileName), fileName, lut);
}

void TLUTFormat::SaveToFile(const std::string& fileName, const TLUT& lut, int Bits) const
{
    WriteFileAtomically(fileName, Write(lut, Bits, fileName));
}

// ---------------------------------------------------------------------------
// The generic load driver.

namespace {

constexpr std::size_t kQuotedLineLength = 80;

} // namespace

std::string AtLine(const std::string& message, std::size_t lineNumber, std::string_view line)
{
    return message + " Line " + std::to_string(lineNumber) + ": \"" +
           std::string(line.substr(0, kQuotedLineLength)) + "\"";
}

ELUTError IncompleteFile(std::int64_t expected, std::int64_t found)
{
    if (expected <= 0)
        return ELUTError("Incomplete file. The file gives no table size.");
    return ELUTError("Incomplete file. Expected " + std::to_string(expected) + " entries, found " +
                     std::to_string(found) + ".");
}

void TGenericLutFormat::Read(std::string_view bytes, const std::string& name, TLUT& lut) const
{
    TLutReadState state(Is3D);
    ReadLines(bytes, name, lut, state);
}

void TGenericLutFormat::ReadLines(std::string_view bytes, const std::string& name, TLUT& lut,
                                  TLutReadState& state) const
{
    TTextFile text;
    text.SetText(bytes, name);
    state.TextFile = &text;
    ScanFile(text, state);
    std::size_t number = 0;
    try {
        for (const std::string& line : text) {
            ++number;
            ParseLine(line, lut, state);
        }
    } catch (const ELUTError& error) {
        state.TextFile = nullptr;
        throw ELUTError(AtLine(error.what(), number, text[number - 1]));
    }
    state.TextFile = nullptr;

    // Size is either unknown (-1) or was checked by SetSize; an unknown size
    // is never stored, so the LUT keeps a usable size even for a bad file.
    if (state.Size >= 2) {
        if (Is3D) {
            lut.Kind = lkCube;
            lut.CubeSize = state.Size;
        } else {
            lut.Kind = lkCurve;
            lut.CurveSize = state.Size;
        }
    }
    if (!state.Complete)
        throw IncompleteFile(state.Expected(), state.Stored);
}

void TLutReadState::SetSize(std::int64_t size)
{
    Size = Is3D ? CheckedCubeSize(size) : CheckedCurveSize(size);
}

void TLutReadState::SetSizeFromCount(std::int64_t count)
{
    SetSize(count < 0 ? count : std::llround(std::cbrt(static_cast<double>(count))));
}

std::int64_t TLutReadState::Expected() const
{
    const std::int64_t size = Size < 0 ? 0 : Size;
    return Is3D ? size * size * size : size;
}

// Every index must lie inside the grid, whatever a format did to Size.
bool TLutReadState::CanStore() const
{
    return !Complete && Size >= 2 && Size <= kMaxCubeSize && RIndex >= 0 && RIndex < Size &&
           GIndex >= 0 && GIndex < Size && BIndex >= 0 && BIndex < Size;
}

void TLutReadState::StoreRedFastest(TLUT& lut, double red, double green, double blue)
{
    if (!CanStore())
        return;
    lut.Cube[RIndex][GIndex][BIndex] = TRGBDouble{red, green, blue};
    ++Stored;
    if (++RIndex < Size)
        return;
    RIndex = 0;
    if (++GIndex < Size)
        return;
    GIndex = 0;
    if (++BIndex >= Size)
        Complete = true;
}

void TLutReadState::StoreBlueFastest(TLUT& lut, double red, double green, double blue)
{
    if (!CanStore())
        return;
    lut.Cube[RIndex][GIndex][BIndex] = TRGBDouble{red, green, blue};
    ++Stored;
    if (++BIndex < Size)
        return;
    BIndex = 0;
    if (++GIndex < Size)
        return;
    GIndex = 0;
    if (++RIndex >= Size)
        Complete = true;
}

// ---------------------------------------------------------------------------
// Sizes.

std::int32_t CheckedCubeSize(std::int64_t size)
{
    if (size < 2 || size > kMaxCubeSize)
        throw ELUTError("Unsupported 3D LUT size " + std::to_string(size) +
                        ": a cube holds 2 to " + std::to_string(kMaxCubeSize) +
                        " points per axis.");
    return static_cast<std::int32_t>(size);
}

std::int32_t CheckedCurveSize(std::int64_t size)
{
    if (size < 2 || size > kMaxCurveSize)
        throw ELUTError("Unsupported 1D LUT size " + std::to_string(size) +
                        ": a curve holds 2 to " + std::to_string(kMaxCurveSize) +
                        " entries.");
    return static_cast<std::int32_t>(size);
}

std::int32_t CheckedBits(int bits)
{
    if (bits < 1 || bits > 32)
        throw ELUTError("Unsupported bit depth " + std::to_string(bits) +
                        ": integer LUT files hold 1 to 32 bits.");
    return bits;
}

// ---------------------------------------------------------------------------
// Text helpers.

namespace {

inline bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

inline char UpperChar(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

inline bool IsTokenDelimiter(char c)
{
    return c == '\t' || c == ' ' || c == ',';
}

// string_view form of NextToken, used on the hot reading paths.
inline std::string_view CutToken(std::string_view& text)
{
    std::size_t i = 0;
    while (i < text.size() && !IsTokenDelimiter(text[i]))
        ++i;
    std::string_view token = text.substr(0, i);
    text = i < text.size() ? text.substr(i + 1) : std::string_view();
    return token;
}

// Splits a line into its three number tokens the way ParseIntTriple and
// ParseFloatTriple do: two delimited tokens and the trimmed remainder.
inline bool SplitTriple(std::string_view line, bool skipFirst, std::string_view tokens[3])
{
    std::string_view rest = TrimView(line);
    if (skipFirst)
        CutToken(rest);
    for (int i = 0; i < 2; ++i) {
        rest = TrimView(rest);
        tokens[i] = TrimView(CutToken(rest));
        if (tokens[i].empty())
            return false;
    }
    tokens[2] = TrimView(rest);
    return !tokens[2].empty();
}

} // namespace

std::string_view TrimView(std::string_view text)
{
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

std::string_view TextAfter(std::string_view line, int position, std::size_t keywordLength,
                           std::size_t extra)
{
    const std::size_t start = static_cast<std::size_t>(position - 1) + keywordLength + extra;
    return start < line.size() ? TrimView(line.substr(start)) : std::string_view();
}

std::string CommentText(std::string_view line)
{
    return Trim(TrimView(line).substr(1));
}

std::string Trim(std::string_view text)
{
    return std::string(TrimView(text));
}

char FirstNonBlank(std::string_view text)
{
    for (char c : text)
        if (!IsBlank(c))
            return c;
    return '\0';
}

std::string UpperCase(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        c = UpperChar(c);
    return result;
}

int ContainsText(std::string_view keyword, std::string_view line)
{
    if (keyword.empty() || keyword.size() > line.size())
        return 0;
    for (std::size_t start = 0; start + keyword.size() <= line.size(); ++start) {
        std::size_t i = 0;
        while (i < keyword.size() && UpperChar(line[start + i]) == UpperChar(keyword[i]))
            ++i;
        if (i == keyword.size())
            return static_cast<int>(start + 1);
    }
    return 0;
}

void NextToken(std::string& text, std::string& token)
{
    std::string_view view(text);
    token = std::string(CutToken(view));
    text = std::string(view);
}

void SplitAt(std::string_view delimiter, std::string& text, std::string& head)
{
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

bool TryParseInt(std::string_view text, std::int32_t& value)
{
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-')
            return false;
    }
    if (text.empty())
        return false;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

bool TryParseFloat(std::string_view text, double& value)
{
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-')
            return false;
    }
    if (text.empty())
        return false;
    const char* end = text.data() + text.size();
    double parsed = 0.0;
    auto [ptr, ec] = std::from_chars(text.data(), end, parsed, std::chars_format::general);
    if (ec != std::errc() || ptr != end || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

std::int32_t ParseInteger(std::string_view text)
{
    std::int32_t value = 0;
    if (!TryParseInt(text, value))
        throw ELUTError("'" + std::string(text) + "' is not a valid integer value.");
    return value;
}

bool ParseIntTriple(std::string_view line, double fullScale, bool skipFirst,
                    double& first, double& second, double& third)
{
    std::string_view tokens[3];
    if (!SplitTriple(line, skipFirst, tokens))
        return false;
    std::int32_t values[3];
    for (int i = 0; i < 3; ++i)
        if (!TryParseInt(tokens[i], values[i]))
            return false;
    first = values[0] / fullScale;
    second = values[1] / fullScale;
    third = values[2] / fullScale;
    return true;
}

bool ParseFloatTriple(std::string_view line, double& first, double& second, double& third)
{
    std::string_view tokens[3];
    if (!SplitTriple(line, false, tokens))
        return false;
    double values[3];
    for (int i = 0; i < 3; ++i)
        if (!TryParseFloat(tokens[i], values[i]))
            return false;
    first = values[0];
    second = values[1];
    third = values[2];
    return true;
}

std::string FormatScaled(int bits, double value)
{
    // Depths beyond 53 bits cannot be represented exactly; they never occur
    // (formats use 8 to 16), the clamp only keeps the arithmetic defined.
    if (bits < 0)
        bits = 0;
    if (bits > 53)
        bits = 53;
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
void DropNegativeZero(std::string& text)
{
    if (text.empty() || text.front() != '-')
        return;
    if (text.find_first_not_of("-0.") == std::string::npos)
        text.erase(0, 1);
}

// Fixed notation for values whose integer part leaves fewer than `decimals`
// significant digits: round to 15 significant digits, pad with zeros.
std::string FormatFixedLarge(int decimals, double value)
{
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                std::chars_format::scientific, kMaxSignificantDigits - 1);
    std::string_view sci(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const bool negative = sci.front() == '-';
    if (negative)
        sci.remove_prefix(1);
    const std::size_t ePos = sci.find('e');
    int exponent = 0;
    std::from_chars(sci.data() + ePos + 1 + (sci[ePos + 1] == '+' ? 1 : 0),
                    sci.data() + sci.size(), exponent);
    std::string digits;
    for (char c : sci.substr(0, ePos))
        if (c != '.')
            digits += c;
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

} // namespace

std::string FormatFixed(int decimals, double value)
{
    if (decimals < 0)
        decimals = 0;
    if (decimals > kMaxSignificantDigits)
        decimals = kMaxSignificantDigits;
    char buffer[64];
    if (!std::isfinite(value)) {
        auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        return std::string(buffer, result.ptr);
    }
    std::string text;
    if (std::fabs(value) < std::pow(10.0, kMaxSignificantDigits - decimals)) {
        auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                    std::chars_format::fixed, decimals);
        text.assign(buffer, result.ptr);
    } else {
        text = FormatFixedLarge(decimals, value);
    }
    DropNegativeZero(text);
    return text;
}

// ---------------------------------------------------------------------------
// Files and detection.

namespace {

// Detection looks at this many bytes from the start of a file.
constexpr std::size_t kDetectionBytes = 4096;

} // namespace

std::string ReadFileHead(const std::string& fileName, std::size_t count)
{
    int fd = open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        RaiseFileError("Cannot open file", fileName, errno);
    std::string head(count, '\0');
    std::size_t filled = 0;
    while (filled < count) {
        ssize_t got = read(fd, head.data() + filled, count - filled);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            int error = errno;
            close(fd);
            RaiseFileError("Cannot read file", fileName, error);
        }
        if (got == 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    close(fd);
    head.resize(filled);
    return head;
}

std::vector<std::string> SplitKeywordList(std::string_view list)
{
    std::vector<std::string> items;
    std::size_t i = 0;
    const std::size_t n = list.size();
    auto skipBlanks = [&] { while (i < n && IsBlank(list[i])) ++i; };
    skipBlanks();
    while (i < n) {
        std::string item;
        if (list[i] == '"') {
            ++i;
            while (i < n) {
                if (list[i] == '"') {
                    if (i + 1 < n && list[i + 1] == '"') {
                        item += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += list[i++];
            }
        } else {
            while (i < n && !IsBlank(list[i]) && list[i] != ',')
                item += list[i++];
        }
        if (!item.empty())
            items.push_back(std::move(item));
        skipBlanks();
        if (i < n && list[i] == ',') {
            ++i;
            skipBlanks();
        }
    }
    return items;
}

bool HasKeywords(const std::string& fileName, std::string_view required,
                 std::string_view excluded)
{
    return TextHasKeywords(ReadFileHead(fileName, kDetectionBytes), required, excluded);
}

bool TextHasKeywords(std::string_view text, std::string_view required, std::string_view excluded)
{
    const std::string head = UpperCase(text.substr(0, kDetectionBytes));
    for (const std::string& keyword : SplitKeywordList(UpperCase(excluded)))
        if (head.find(keyword) != std::string::npos)
            return false;
    for (const std::string& keyword : SplitKeywordList(UpperCase(required)))
        if (head.find(keyword) == std::string::npos)
            return false;
    return true;
}

std::string BaseNameWithoutExtension(const std::string& fileName)
{
    std::size_t slash = fileName.find_last_of('/');
    std::string name = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name;
}

std::string FileExtension(const std::string& fileName)
{
    std::size_t slash = fileName.find_last_of('/');
    std::size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    return fileName.substr(dot);
}
