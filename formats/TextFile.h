#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fileio/FileRead.h"

// Texts with more lines than this are refused before the line list is built:
// every line costs a string object whatever its length, so a file of nothing
// but line breaks would otherwise need gigabytes. The largest legal LUT text
// holds 101^3 = 1,030,301 data lines (or 100,001 curve lines) plus a header.
constexpr std::size_t kMaxTextLines = 16'000'000;

// The number of lines SetText makes of text (see there).
std::size_t CountTextLines(std::string_view text);

// An ordered list of 8-bit text lines with load and save. Saving ends every
// line, the last one included, with LineBreak (a single line feed).
class TTextFile {
public:
    std::string LineBreak = "\n";

    void Add(std::string line) { lines_.push_back(std::move(line)); }
    void Clear() { lines_.clear(); }
    void Reserve(std::size_t count) { lines_.reserve(count); }
    std::size_t Count() const { return lines_.size(); }
    const std::string& operator[](std::size_t index) const { return lines_[index]; }
    std::string& operator[](std::size_t index) { return lines_[index]; }
    const std::vector<std::string>& Lines() const { return lines_; }
    auto begin() const { return lines_.begin(); }
    auto end() const { return lines_.end(); }

    // Replaces the lines by the lines of the file (see SetText). A file of
    // more than kMaxTextLines lines raises EError naming the file.
    void LoadFromFile(const std::string& fileName);
    // Replaces the lines: a line ends at CR, LF or CR LF; a final line without
    // a terminator counts; a terminator at the very end adds no empty line;
    // a NUL byte ends the text. More than kMaxTextLines lines raise EError.
    void SetText(std::string_view text);
    // The same for the text of the named file (named in the error).
    void SetText(std::string_view text, const std::string& fileName);
    // Every line followed by LineBreak.
    std::string Text() const;
    // Writes Text() through WriteFileAtomically.
    void SaveToFile(const std::string& fileName) const;

private:
    // SetText for a text of lineCount lines (as CountTextLines gives).
    void SplitLines(std::string_view text, std::size_t lineCount);

    std::vector<std::string> lines_;
};
