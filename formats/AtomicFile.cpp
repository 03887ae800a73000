#include "AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Error.h"

void RaiseFileError(const char* action, const std::string& fileName, int errnum)
{
    throw EError(std::string(action) + " \"" + fileName + "\": " + std::strerror(errnum));
}

namespace {

// A symbolic link is replaced through its destination, so the link survives.
std::string ResolveTarget(const std::string& fileName)
{
    struct stat st {};
    if (lstat(fileName.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return fileName;
    char* resolved = realpath(fileName.c_str(), nullptr);
    if (resolved == nullptr)
        return fileName;
    std::string result(resolved);
    std::free(resolved);
    return result;
}

// Creates a new, exclusive temporary file beside the target. The mode 0666
// is narrowed by the umask like any newly created file.
int CreateTemporary(const std::string& target, std::string& tempName)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName = target + ".~" + std::to_string(getpid()) + "-" +
                   std::to_string(counter.fetch_add(1)) + ".tmp";
        int fd = open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Writes everything, retrying after interruptions and partial writes.
// Returns 0 or the errno of the failure (a write that makes no progress
// counts as a full disk).
int WriteAll(int fd, std::string_view bytes)
{
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        std::size_t chunk = left < (std::size_t(1) << 30) ? left : (std::size_t(1) << 30);
        ssize_t written = write(fd, data, chunk);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (written == 0)
            return ENOSPC;
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return 0;
}

} // namespace

void WriteFileAtomically(const std::string& fileName, std::string_view bytes)
{
    if (fileName.empty())
        RaiseFileError("Cannot create file", fileName, ENOENT);
    const std::string target = ResolveTarget(fileName);
    std::string tempName;
    int fd = CreateTemporary(target, tempName);
    if (fd < 0)
        RaiseFileError("Cannot create file", fileName, errno);

    // An existing file keeps its permissions.
    struct stat st {};
    if (stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        (void)fchmod(fd, st.st_mode & 07777);

    int error = WriteAll(fd, bytes);
    if (close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && rename(tempName.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0) {
        unlink(tempName.c_str());
        RaiseFileError("Cannot write file", fileName, error);
    }
}
