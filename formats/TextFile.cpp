#include "TextFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AtomicFile.h"
#include "Error.h"

namespace {

class TFileHandle {
public:
    explicit TFileHandle(int fd) : fd_(fd) {}
    ~TFileHandle() { if (fd_ >= 0) close(fd_); }
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
    int Get() const { return fd_; }
private:
    int fd_;
};

} // namespace

std::string ReadFileBytes(const std::string& fileName)
{
    TFileHandle file(open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0)
        RaiseFileError("Cannot open file", fileName, errno);
    struct stat st {};
    if (fstat(file.Get(), &st) != 0)
        RaiseFileError("Cannot read file", fileName, errno);
    if (S_ISDIR(st.st_mode))
        RaiseFileError("Cannot read file", fileName, EISDIR);
    if (static_cast<std::uint64_t>(st.st_size) > kMaxLutFileBytes)
        throw EError("The file \"" + fileName + "\" is too large for a LUT file (" +
                     std::to_string(st.st_size) + " bytes).");

    std::string bytes;
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t filled = 0;
    // Reads until the end of the file; the size is only a hint for files that
    // grow or shrink while being read, the limit holds either way.
    for (;;) {
        if (filled == bytes.size()) {
            if (bytes.size() >= kMaxLutFileBytes + 1)
                throw EError("The file \"" + fileName + "\" is too large for a LUT file.");
            bytes.resize(bytes.size() < 4096 ? 4096 : bytes.size() * 2);
            if (bytes.size() > kMaxLutFileBytes + 1)
                bytes.resize(kMaxLutFileBytes + 1);
        }
        ssize_t got = read(file.Get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            RaiseFileError("Cannot read file", fileName, errno);
        }
        if (got == 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    if (filled > kMaxLutFileBytes)
        throw EError("The file \"" + fileName + "\" is too large for a LUT file.");
    bytes.resize(filled);
    return bytes;
}

namespace {

// The text up to its first NUL byte.
std::string_view BeforeNul(std::string_view text)
{
    const std::size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

std::string TooManyLines(std::string_view what)
{
    return std::string(what) + " has more than " + std::to_string(kMaxTextLines) +
           " lines: far more than any LUT file needs.";
}

} // namespace

std::size_t CountTextLines(std::string_view text)
{
    text = BeforeNul(text);
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++count;
        } else if (text[i] == '\r') {
            ++count;
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        }
    }
    if (!text.empty() && text.back() != '\n' && text.back() != '\r')
        ++count;
    return count;
}

void TTextFile::LoadFromFile(const std::string& fileName)
{
    SetText(ReadFileBytes(fileName), fileName);
}

void TTextFile::SetText(std::string_view text, const std::string& fileName)
{
    const std::size_t count = CountTextLines(text);
    if (count > kMaxTextLines)
        throw EError(TooManyLines("The file \"" + fileName + "\""));
    SplitLines(text, count);
}

void TTextFile::SetText(std::string_view text)
{
    const std::size_t count = CountTextLines(text);
    if (count > kMaxTextLines)
        throw EError(TooManyLines("The text"));
    SplitLines(text, count);
}

void TTextFile::SplitLines(std::string_view text, std::size_t lineCount)
{
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
        if (text[end] == '\r' && pos < text.size() && text[pos] == '\n')
            ++pos;
    }
}

std::string TTextFile::Text() const
{
    std::size_t total = 0;
    for (const std::string& line : lines_)
        total += line.size() + LineBreak.size();
    std::string text;
    text.reserve(total);
    for (const std::string& line : lines_) {
        text += line;
        text += LineBreak;
    }
    return text;
}

void TTextFile::SaveToFile(const std::string& fileName) const
{
    WriteFileAtomically(fileName, Text());
}
