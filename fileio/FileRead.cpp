#include "fileio/FileRead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "engine/base/Error.h"
#include "fileio/AtomicFile.h"

namespace {

class TFileHandle {
public:
    explicit TFileHandle(int fd) : fd_(fd) {}
    ~TFileHandle() {
        if (fd_ >= 0) close(fd_);
    }
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
    int Get() const { return fd_; }
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

std::string MiB(std::uint64_t bytes) { return std::to_string(bytes / (1024 * 1024)) + " MiB"; }

[[noreturn]] void RaiseTooLarge(const std::string& fileName, std::uint64_t maxBytes) {
    throw EError("The file \"" + fileName + "\" is too large (more than " + MiB(maxBytes) + ").");
}

// O_NONBLOCK: opening a named pipe does not wait for a writer; it is
// refused like every other file that is not a regular one. For a regular
// file the flag changes nothing.
int OpenWithoutWaiting(const std::string& fileName) {
    return open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
}

}  // namespace

int OpenRegularFile(const std::string& fileName, std::uint64_t maxBytes) {
    TFileHandle file(OpenWithoutWaiting(fileName));
    if (file.Get() < 0) RaiseFileError("Cannot open file", fileName, errno);
    struct stat st {};
    if (fstat(file.Get(), &st) != 0) RaiseFileError("Cannot read file", fileName, errno);
    if (S_ISDIR(st.st_mode)) RaiseFileError("Cannot read file", fileName, EISDIR);
    if (!S_ISREG(st.st_mode)) throw EError("Cannot read file \"" + fileName + "\": it is not a regular file.");
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes) RaiseTooLarge(fileName, maxBytes);
    return file.Release();
}

std::string ReadFileBytes(const std::string& fileName, std::uint64_t maxBytes) {
    TFileHandle file(OpenRegularFile(fileName, maxBytes));
    struct stat st {};
    if (fstat(file.Get(), &st) != 0) RaiseFileError("Cannot read file", fileName, errno);

    std::string bytes;
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t filled = 0;
    // Reads until the end of the file; the size is only a hint for files that
    // grow or shrink while being read, the limit holds either way.
    for (;;) {
        if (filled == bytes.size()) {
            if (bytes.size() > maxBytes) RaiseTooLarge(fileName, maxBytes);
            std::size_t grown = bytes.size() < 4096 ? 4096 : bytes.size() * 2;
            if (grown > maxBytes + 1) grown = static_cast<std::size_t>(maxBytes + 1);
            bytes.resize(grown);
        }
        const ssize_t got = read(file.Get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0) {
            if (errno == EINTR) continue;
            RaiseFileError("Cannot read file", fileName, errno);
        }
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    if (filled > maxBytes) RaiseTooLarge(fileName, maxBytes);
    bytes.resize(filled);
    return bytes;
}

std::string RegularFileProblem(const std::string& fileName, std::uint64_t maxBytes) {
    const TFileHandle file(OpenWithoutWaiting(fileName));
    struct stat st {};
    if (file.Get() < 0 || fstat(file.Get(), &st) != 0) return std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return std::strerror(EISDIR);
    if (!S_ISREG(st.st_mode)) return "it is not a regular file";
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes) return "it is too large (more than " + MiB(maxBytes) + ")";
    return std::string();
}

std::string ReadFileHead(const std::string& fileName, std::size_t count) {
    // A named pipe is refused, not waited on. The size limit is the whole
    // read's.
    int fd = OpenRegularFile(fileName, UINT64_MAX);
    std::string head(count, '\0');
    std::size_t filled = 0;
    while (filled < count) {
        ssize_t got = read(fd, head.data() + filled, count - filled);
        if (got < 0) {
            if (errno == EINTR) continue;
            int error = errno;
            close(fd);
            RaiseFileError("Cannot read file", fileName, error);
        }
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    close(fd);
    head.resize(filled);
    return head;
}
