#include "clip/ImageSequence.h"

#include <sys/stat.h>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <numeric>

#include "engine/base/Error.h"
#include "imageio/PictureFormats.h"

namespace fs = std::filesystem;

namespace {

// Numbers of more digits than this are no frame numbers.
constexpr std::size_t kMaxDigits = 15;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The width of a printf placeholder "%d" or "%0Nd" starting at `at`, and
// its length; nothing for another use of '%'.
std::optional<std::pair<int, std::size_t>> PrintfPlaceholder(const std::string& base, std::size_t at) {
    if (at + 1 < base.size() && base[at + 1] == 'd') return std::pair{1, std::size_t{2}};
    if (at + 1 >= base.size() || base[at + 1] != '0') return std::nullopt;
    std::size_t end = at + 2;
    while (end < base.size() && IsDigit(base[end])) ++end;
    if (end == at + 2 || end - at - 2 > 2 || end >= base.size() || base[end] != 'd') return std::nullopt;
    const int width = std::stoi(base.substr(at + 2, end - at - 2));
    if (width < 1 || width > static_cast<int>(kMaxDigits)) return std::nullopt;
    return std::pair{width, end + 1 - at};
}

// The width of a run of '#' starting at `at`, and its length.
std::optional<std::pair<int, std::size_t>> HashPlaceholder(const std::string& base, std::size_t at) {
    const std::size_t end = std::min(base.find_first_not_of('#', at), base.size());
    if (end - at > kMaxDigits) return std::nullopt;
    return std::pair{static_cast<int>(end - at), end - at};
}

std::string EscapedPercent(const std::string& text) {
    std::string escaped;
    for (char c : text) escaped += c == '%' ? std::string("%%") : std::string(1, c);
    return escaped;
}

std::mutex& RunFileMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string& RunFile() {
    static std::string file;
    return file;
}

TSequenceRate& Rate() {
    static TSequenceRate rate;
    return rate;
}

bool Exists(const std::string& name) {
    struct stat info {};
    return lstat(name.c_str(), &info) == 0;
}

[[noreturn]] void BadRate(const std::string& text) {
    throw EError("option --fps needs frames a second like 24, 23.976 or 24000/1001, not \"" + text + "\"");
}

TSequenceRate Reduced(std::int64_t numerator, std::int64_t denominator) {
    const std::int64_t common = std::gcd(numerator, denominator);
    return {static_cast<int>(numerator / common), static_cast<int>(denominator / common)};
}

}  // namespace

std::optional<TSequencePattern> TSequencePattern::Parse(const std::string& name) {
    const std::size_t slash = name.find_last_of('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    const std::string base = name.substr(start);
    TSequencePattern pattern;
    pattern.text_ = name;
    pattern.folder_ = name.substr(0, start);
    // A name with '%' is a printf pattern, where '#' is a plain character.
    const char mark = base.find('%') != std::string::npos ? '%' : '#';
    std::string* part = &pattern.prefix_;
    bool found = false;
    for (std::size_t i = 0; i < base.size();) {
        if (mark == '%' && base.compare(i, 2, "%%") == 0) {
            *part += '%';
            i += 2;
        } else if (base[i] != mark) {
            *part += base[i++];
        } else if (found) {
            return std::nullopt;
        } else {
            const auto placeholder = mark == '%' ? PrintfPlaceholder(base, i) : HashPlaceholder(base, i);
            if (!placeholder) return std::nullopt;
            found = true;
            pattern.width_ = placeholder->first;
            i += placeholder->second;
            part = &pattern.suffix_;
        }
    }
    if (!found) return std::nullopt;
    return pattern;
}

std::optional<TSequencePattern> TSequencePattern::OfNumberedFile(const std::string& fileName) {
    const std::size_t slash = fileName.find_last_of('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    std::size_t end = fileName.size();
    while (end > start && !IsDigit(fileName[end - 1])) --end;
    std::size_t first = end;
    while (first > start && IsDigit(fileName[first - 1])) --first;
    if (end == start || end - first > kMaxDigits) return std::nullopt;
    TSequencePattern pattern;
    pattern.text_ = fileName;
    pattern.folder_ = fileName.substr(0, start);
    pattern.prefix_ = fileName.substr(start, first - start);
    pattern.suffix_ = fileName.substr(end);
    pattern.width_ = static_cast<int>(end - first);
    return pattern;
}

std::string TSequencePattern::FileName(std::int64_t number) const {
    std::string digits = std::to_string(number);
    if (digits.size() < static_cast<std::size_t>(width_)) digits.insert(0, width_ - digits.size(), '0');
    return folder_ + prefix_ + digits + suffix_;
}

std::string TSequencePattern::PrintfText() const {
    return folder_ + EscapedPercent(prefix_) + "%0" + std::to_string(width_) + "d" + EscapedPercent(suffix_);
}

std::optional<std::int64_t> TSequencePattern::NumberOf(const std::string& name) const {
    if (name.size() <= prefix_.size() + suffix_.size() || name.compare(0, prefix_.size(), prefix_) != 0 ||
        name.compare(name.size() - suffix_.size(), suffix_.size(), suffix_) != 0)
        return std::nullopt;
    const std::string digits = name.substr(prefix_.size(), name.size() - prefix_.size() - suffix_.size());
    if (digits.size() > kMaxDigits || digits.size() < static_cast<std::size_t>(width_)) return std::nullopt;
    for (char c : digits)
        if (!IsDigit(c)) return std::nullopt;
    // A longer number than the width is written without padding.
    if (digits.size() > static_cast<std::size_t>(width_) && digits[0] == '0') return std::nullopt;
    return std::stoll(digits);
}

TSequenceRun FindSequenceRun(const TSequencePattern& pattern) {
    const fs::path folder = pattern.Folder().empty() ? fs::path(".") : fs::path(pattern.Folder());
    std::error_code error;
    fs::directory_iterator entries(folder, error);
    if (error) throw EError("the sequence \"" + pattern.Text() + "\": its folder cannot be read: " + error.message());
    std::int64_t first = 0, last = 0, count = 0;
    for (const fs::directory_entry& entry : entries) {
        const auto number = pattern.NumberOf(entry.path().filename().string());
        if (!number) continue;
        first = count == 0 ? *number : std::min(first, *number);
        last = count == 0 ? *number : std::max(last, *number);
        ++count;
    }
    if (count == 0) throw EError("no file matches the sequence \"" + pattern.Text() + "\"");
    if (count != last - first + 1)
        for (std::int64_t number = first + 1; number < last; ++number)
            if (!Exists(pattern.FileName(number)))
                throw EError("the sequence \"" + pattern.Text() + "\" misses the file \"" + pattern.FileName(number) +
                             "\" (it runs from \"" + pattern.FileName(first) + "\" to \"" + pattern.FileName(last) +
                             "\")");
    return {first, count};
}

TSequenceRate ParseSequenceRate(const std::string& text) {
    const std::size_t slash = text.find('/');
    if (slash != std::string::npos) {
        const std::string top = text.substr(0, slash), bottom = text.substr(slash + 1);
        const auto whole = [](const std::string& part) {
            return !part.empty() && part.size() <= 6 && part.find_first_not_of("0123456789") == std::string::npos;
        };
        if (!whole(top) || !whole(bottom)) BadRate(text);
        const std::int64_t numerator = std::stoll(top), denominator = std::stoll(bottom);
        if (numerator == 0 || denominator == 0 || numerator > 1000 * denominator) BadRate(text);
        return Reduced(numerator, denominator);
    }
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789.") != std::string::npos ||
        text.find('.') != text.rfind('.') || text.front() == '.' || text.back() == '.')
        BadRate(text);
    const double rate = std::stod(text);
    if (!(rate > 0) || rate > 1000) BadRate(text);
    // The NTSC rates written in short, as 23.976 for 24000/1001.
    const double whole = std::round(rate * 1.001);
    if (std::fabs(rate - std::round(rate)) > 1e-9 && std::fabs(rate - whole / 1.001) < 0.005)
        return Reduced(static_cast<std::int64_t>(whole) * 1000, 1001);
    const std::int64_t thousandths = std::llround(rate * 1000);
    if (thousandths == 0) BadRate(text);
    return Reduced(thousandths, 1000);
}

void SetSequenceRate(const TSequenceRate& rate) { Rate() = rate; }

TSequenceRate SequenceRate() { return Rate(); }

std::optional<std::string> RunPatternOf(const std::string& fileName) {
    const auto pattern = TSequencePattern::OfNumberedFile(fileName);
    if (!pattern || !IsPictureName(fileName, TPictureRole::Read)) return std::nullopt;
    return pattern->PrintfText();
}

void OpenRunOfFile(const std::string& fileName) {
    const std::lock_guard<std::mutex> lock(RunFileMutex());
    RunFile() = fileName;
}

std::optional<TSequencePattern> SequenceOfName(const std::string& name) {
    {
        const std::lock_guard<std::mutex> lock(RunFileMutex());
        if (!RunFile().empty() && name == RunFile()) return TSequencePattern::OfNumberedFile(name);
    }
    if (name.find_first_of("%#") == std::string::npos || !IsPictureName(name, TPictureRole::Read)) return std::nullopt;
    auto pattern = TSequencePattern::Parse(name);
    if (!pattern || Exists(name)) return std::nullopt;
    return pattern;
}
