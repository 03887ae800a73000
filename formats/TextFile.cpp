#include "formats/TextFile.h"

#include "engine/base/Error.h"
#include "fileio/AtomicFile.h"
#include "fileio/FileRead.h"

namespace {

// The text up to its first NUL byte.
std::string_view BeforeNul(std::string_view text) {
    const std::size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

std::string TooManyLines(std::string_view what) {
    return std::string(what) + " has more than " + std::to_string(kMaxTextLines) +
           " lines: far more than any LUT file needs.";
}

}  // namespace

std::size_t CountTextLines(std::string_view text) {
    text = BeforeNul(text);
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++count;
        } else if (text[i] == '\r') {
            ++count;
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        }
    }
    if (!text.empty() && text.back() != '\n' && text.back() != '\r') ++count;
    return count;
}

void TTextFile::LoadFromFile(const std::string& fileName) { SetText(ReadFileBytes(fileName), fileName); }

void TTextFile::SetText(std::string_view text, const std::string& fileName) {
    const std::size_t count = CountTextLines(text);
    if (count > kMaxTextLines) throw EError(TooManyLines("The file \"" + fileName + "\""));
    SplitLines(text, count);
}

void TTextFile::SetText(std::string_view text) {
    const std::size_t count = CountTextLines(text);
    if (count > kMaxTextLines) throw EError(TooManyLines("The text"));
    SplitLines(text, count);
}

void TTextFile::SplitLines(std::string_view text, std::size_t lineCount) {
    text = BeforeNul(text);
    lines_.clear();
    lines_.reserve(lineCount);
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            lines_.emplace_back(text.substr(pos));
            break;
        }
        lines_.emplace_back(text.substr(pos, end - pos));
        pos = end + 1;
        if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
    }
}

std::string TTextFile::Text() const {
    std::size_t total = 0;
    for (const std::string& line : lines_) total += line.size() + LineBreak.size();
    std::string text;
    text.reserve(total);
    for (const std::string& line : lines_) {
        text += line;
        text += LineBreak;
    }
    return text;
}

void TTextFile::SaveToFile(const std::string& fileName) const { WriteFileAtomically(fileName, Text()); }
