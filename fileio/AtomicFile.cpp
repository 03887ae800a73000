#include "fileio/AtomicFile.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <mutex>
#include <optional>

#include "engine/base/Error.h"

void RaiseFileError(const char* action, const std::string& fileName, int errnum) {
    throw EError(std::string(action) + " \"" + fileName + "\": " + std::strerror(errnum));
}

namespace {

constexpr std::string_view kTempMark = ".~ombrane-";
constexpr std::string_view kTempEnd = ".tmp";

// ---- removal of temporary files on a terminating signal -----------------
// The temporary files being written are registered in slots that the signal
// handler reads without locks: it unlinks every armed one, then lets the
// signal end the program as it would have without the handler. The slots
// form a list that only grows (a slot is reused when free, never freed), so
// there is one for every write in flight however many threads write.

struct TTempSlot {
    std::atomic<int> State{0};  // 0 free, 1 being filled, 2 armed
    char Path[PATH_MAX]{};
    TTempSlot* Next = nullptr;  // set before the slot joins the list
};

std::atomic<TTempSlot*> gTempSlots{nullptr};
// Threads between creating a temporary file and registering it, and whether
// a terminating signal has come: the handler waits for the first to finish,
// and none starts after the second.
std::atomic<int> gCreating{0};
std::atomic<bool> gEnding{false};
const int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Whether a second has passed since start (async-signal-safe).
bool SecondPassed(const timespec& start) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec - start.tv_sec > 1 || (now.tv_sec - start.tv_sec == 1 && now.tv_nsec >= start.tv_nsec);
}

extern "C" void RemoveTemporariesAndEnd(int signalNumber) {
    gEnding.store(true);
    // A creator that waits for a lock the interrupted thread holds is given
    // up on after a second.
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    while (gCreating.load() != 0 && !SecondPassed(start)) {}
    for (TTempSlot* slot = gTempSlots.load(); slot != nullptr; slot = slot->Next)
        if (slot->State.load() == 2) unlink(slot->Path);
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

// Installs the handler where the signal still has its default action: a
// signal the program (or its starter) ignores or handles itself is left so.
void InstallCleanupHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (const int signalNumber : kCleanupSignals) {
            struct sigaction current {};
            if (sigaction(signalNumber, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
            struct sigaction action {};
            action.sa_handler = RemoveTemporariesAndEnd;
            sigemptyset(&action.sa_mask);
            sigaction(signalNumber, &action, nullptr);
        }
    });
}

// A free slot, taken (state 1); a new one joins the list when all are busy.
TTempSlot& TakeSlot() {
    for (TTempSlot* slot = gTempSlots.load(); slot != nullptr; slot = slot->Next) {
        int expected = 0;
        if (slot->State.compare_exchange_strong(expected, 1)) return *slot;
    }
    auto* slot = new TTempSlot;
    slot->State.store(1);
    slot->Next = gTempSlots.load();
    while (!gTempSlots.compare_exchange_weak(slot->Next, slot)) {}
    return *slot;
}

// Registers a temporary file for removal on a signal for as long as it lives.
class TTempRegistration {
public:
    explicit TTempRegistration(const std::string& path) {
        if (path.size() >= PATH_MAX) return;
        TTempSlot& slot = TakeSlot();
        std::memcpy(slot.Path, path.c_str(), path.size() + 1);
        slot.State.store(2);
        slot_ = &slot;
    }
    ~TTempRegistration() {
        if (slot_ != nullptr) slot_->State.store(0);
    }
    TTempRegistration(const TTempRegistration&) = delete;
    TTempRegistration& operator=(const TTempRegistration&) = delete;

private:
    TTempSlot* slot_ = nullptr;
};

// Counts this thread among those creating a temporary file while it lives.
class TCreating {
public:
    TCreating() { gCreating.fetch_add(1); }
    ~TCreating() { gCreating.fetch_sub(1); }
    TCreating(const TCreating&) = delete;
    TCreating& operator=(const TCreating&) = delete;
};

// Holds the cleanup signals back while a temporary file is created and
// registered, so that no signal finds it created but not yet registered.
class TCleanupSignalsHeld {
public:
    TCleanupSignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (const int signalNumber : kCleanupSignals) sigaddset(&held, signalNumber);
        pthread_sigmask(SIG_BLOCK, &held, &previous_);
    }
    ~TCleanupSignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    TCleanupSignalsHeld(const TCleanupSignalsHeld&) = delete;
    TCleanupSignalsHeld& operator=(const TCleanupSignalsHeld&) = delete;

private:
    sigset_t previous_{};
};

// ---- the steps of a write -------------------------------------------------

struct TTarget {
    std::string Folder;  // with a trailing '/', or empty for the current folder
    std::string Name;
};

TTarget SplitTarget(const std::string& fileName) {
    const std::size_t slash = fileName.rfind('/');
    if (slash == std::string::npos) return {std::string(), fileName};
    return {fileName.substr(0, slash + 1), fileName.substr(slash + 1)};
}

std::size_t MaxNameLength(const std::string& folder) {
    const long limit = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<std::size_t>(limit) : NAME_MAX;
}

// The temporary name for the attempt: the target's name, shortened where
// needed so that the whole stays within the folder's name length limit.
std::string TemporaryName(const TTarget& target, unsigned attempt) {
    const std::string suffix =
        std::string(kTempMark) + std::to_string(getpid()) + "-" + std::to_string(attempt) + std::string(kTempEnd);
    const std::size_t limit = MaxNameLength(target.Folder);
    const std::size_t room = limit > suffix.size() + 1 ? limit - suffix.size() - 1 : 0;
    return target.Folder + "." + target.Name.substr(0, room) + suffix;
}

// Creates a new, exclusive temporary file beside the target. The mode 0666
// is narrowed by the umask like any newly created file.
int CreateTemporary(const TTarget& target, std::string& tempName) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName = TemporaryName(target, counter.fetch_add(1));
        const int fd = open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// Writes everything, retrying after interruptions and partial writes.
// Returns 0 or the errno of the failure (a write that makes no progress
// counts as a full disk).
int WriteAll(int fd, std::string_view bytes) {
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const std::size_t chunk = left < (std::size_t(1) << 30) ? left : (std::size_t(1) << 30);
        const ssize_t written = write(fd, data, chunk);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (written == 0) return ENOSPC;
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return 0;
}

// Starts the disk writes of each whole 4 MiB piece a streamed write has
// finished, without waiting for them, so that the fsync at the end waits for
// the last piece only. A failure here shows again in that fsync.
void StartWriteback(int fd, off_t before, off_t after) {
    constexpr off_t kPiece = off_t(4) << 20;
    if (before / kPiece == after / kPiece) return;
    const off_t end = after / kPiece * kPiece;
    (void)sync_file_range(fd, before / kPiece * kPiece, end - before / kPiece * kPiece, SYNC_FILE_RANGE_WRITE);
}

// Writes, flushes to the disk and closes; 0 or the first failure's errno.
// When content raises, the file is closed and the exception goes on.
int WriteAndClose(int fd, const std::function<int(int)>& content) {
    int error = 0;
    try {
        error = content(fd);
    } catch (...) {
        close(fd);
        throw;
    }
    if (error == 0 && fsync(fd) != 0) error = errno;
    if (close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
    return error;
}

[[noreturn]] void RaiseNotRegular(const std::string& fileName) {
    throw EError("Cannot write file \"" + fileName + "\": it is not a regular file.");
}

// Whether the name is in /proc or a chain of links from it passes through
// /proc (/dev/stdout, /dev/fd/1): such a name stands for a descriptor of the
// running program, never for a file to replace.
bool LeadsIntoProc(std::string name) {
    for (int hop = 0; hop < 40; ++hop) {
        if (name.starts_with("/proc/")) return true;
        char target[PATH_MAX];
        const ssize_t length = readlink(name.c_str(), target, sizeof target);
        if (length <= 0 || length >= static_cast<ssize_t>(sizeof target)) return false;
        std::string next(target, static_cast<std::size_t>(length));
        const std::size_t slash = name.rfind('/');
        if (next.front() != '/' && slash != std::string::npos) next = name.substr(0, slash + 1) + next;
        name = next;
    }
    return false;
}

// Refuses a device, a named pipe or a socket at the target, also behind a
// link: renaming over it would put a file in its place. A link to a regular
// file, a dangling one and a folder are left to the write as before.
void CheckTargetKind(const std::string& fileName, const struct stat& link) {
    struct stat st {};
    if (S_ISLNK(link.st_mode) && stat(fileName.c_str(), &st) != 0) return;
    if (!S_ISLNK(link.st_mode)) st = link;
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) RaiseNotRegular(fileName);
    if (S_ISLNK(link.st_mode) && LeadsIntoProc(fileName)) RaiseNotRegular(fileName);
}

// Refuses a write-protected target, and one that is not a file to replace,
// before anything is written. Returns the permission bits an existing
// regular file passes on, or -1.
int CheckTarget(const std::string& fileName) {
    struct stat st {};
    if (lstat(fileName.c_str(), &st) != 0) return -1;
    CheckTargetKind(fileName, st);
    if (!S_ISREG(st.st_mode)) return -1;
    if ((st.st_mode & 0222) == 0 || access(fileName.c_str(), W_OK) != 0)
        RaiseFileError("Cannot write file", fileName, EACCES);
    return static_cast<int>(st.st_mode & 07777);
}

// Renames without ever replacing: 0, EEXIST when newName exists, or the
// errno of another failure.
int RenameNoReplace(const std::string& oldName, const std::string& newName) {
    if (renameat2(AT_FDCWD, oldName.c_str(), AT_FDCWD, newName.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without the exclusive rename: a hard link fails on an
    // existing name just the same.
    if (link(oldName.c_str(), newName.c_str()) != 0) return errno;
    if (unlink(oldName.c_str()) != 0) {
        const int error = errno;
        unlink(newName.c_str());
        return error;
    }
    return 0;
}

// The rename that makes a write visible; 0, EEXIST (only when replacing is
// not allowed) or another errno.
int Publish(const std::string& tempName, const std::string& fileName, bool replace) {
    if (replace) return rename(tempName.c_str(), fileName.c_str()) == 0 ? 0 : errno;
    return RenameNoReplace(tempName, fileName);
}

// Makes a finished rename durable; a failure here loses nothing written.
void SyncFolder(const std::string& folder) {
    const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)fsync(fd);
    close(fd);
}

// Set while a TNoReplacingWrites of this thread lives.
thread_local bool tNoReplacing = false;

bool WriteFile(const std::string& fileName, const std::function<int(int)>& content, bool replace) {
    const bool mayRaiseExists = replace && tNoReplacing;
    replace = replace && !tNoReplacing;
    if (fileName.empty()) RaiseFileError("Cannot create file", fileName, ENOENT);
    const TTarget target = SplitTarget(fileName);
    if (target.Name.empty() || target.Name == "." || target.Name == "..")
        RaiseFileError("Cannot create file", fileName, EISDIR);
    const int mode = replace ? CheckTarget(fileName) : -1;
    std::string tempName;
    std::optional<TTempRegistration> registration;
    int fd = -1;
    {
        InstallCleanupHandlers();
        const TCleanupSignalsHeld held;
        const TCreating creating;
        if (gEnding.load()) RaiseFileError("Cannot create file", fileName, EINTR);
        fd = CreateTemporary(target, tempName);
        if (fd < 0) RaiseFileError("Cannot create file", fileName, errno);
        try {
            registration.emplace(tempName);
        } catch (...) {
            close(fd);
            unlink(tempName.c_str());
            throw;
        }
    }
    if (mode >= 0) (void)fchmod(fd, static_cast<mode_t>(mode));

    int error = 0;
    try {
        error = WriteAndClose(fd, content);
    } catch (...) {
        unlink(tempName.c_str());
        throw;
    }
    if (error == 0) error = Publish(tempName, fileName, replace);
    if (error != 0) {
        unlink(tempName.c_str());
        if (error == EEXIST && mayRaiseExists)
            throw EFileExists("Cannot write file \"" + fileName + "\": " + std::strerror(error));
        if (error == EEXIST && !replace) return false;
        RaiseFileError("Cannot write file", fileName, error);
    }
    SyncFolder(target.Folder);
    return true;
}

}  // namespace

TNoReplacingWrites::TNoReplacingWrites() : previous_(tNoReplacing) { tNoReplacing = true; }

TNoReplacingWrites::~TNoReplacingWrites() { tNoReplacing = previous_; }

void WriteFileAtomically(const std::string& fileName, std::string_view bytes) {
    WriteFile(
        fileName, [bytes](int fd) { return WriteAll(fd, bytes); }, true);
}

bool WriteNewFileAtomically(const std::string& fileName, std::string_view bytes) {
    return WriteFile(
        fileName, [bytes](int fd) { return WriteAll(fd, bytes); }, false);
}

void WriteFileAtomicallyFrom(const std::string& fileName, const std::function<int(int fd)>& content) {
    WriteFile(fileName, content, true);
}

int WriteFully(int fd, std::string_view bytes) {
    const off_t before = lseek(fd, 0, SEEK_CUR);
    const int error = WriteAll(fd, bytes);
    if (error == 0 && before >= 0) StartWriteback(fd, before, before + static_cast<off_t>(bytes.size()));
    return error;
}

bool IsTemporaryFileName(std::string_view name) {
    return name.size() > kTempMark.size() + kTempEnd.size() && name.front() == '.' && name.ends_with(kTempEnd) &&
           name.find(kTempMark) != std::string_view::npos;
}

bool RenameWithoutReplacing(const std::string& oldName, const std::string& newName) {
    const int error = RenameNoReplace(oldName, newName);
    if (error != 0 && error != EEXIST) RaiseFileError("Cannot rename file", oldName, error);
    return error == 0;
}
