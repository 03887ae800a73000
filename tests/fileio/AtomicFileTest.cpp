#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "engine/base/Error.h"
#include "fileio/AtomicFile.h"
#include "tests/support/SmallFileSystem.h"

namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ombrane-atomic-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
    std::string ReadRaw(const std::string& path) const {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::size_t EntryCount() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }

    fs::path dir_;
};

// Limits the size of files this process may write, so that a write fails
// part way like on a full disk; restores the limit when it goes.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~TFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit saved_{};
    void (*oldHandler_)(int) = nullptr;
};

TEST_F(AtomicFileTest, WritesAndReplacesWithoutLeavingTemporaries) {
    const std::string target = PathOf("lut.cube");
    WriteFileAtomically(target, "first version\n");
    EXPECT_EQ(ReadRaw(target), "first version\n");
    WriteFileAtomically(target, "2\n");
    EXPECT_EQ(ReadRaw(target), "2\n");
    WriteFileAtomically(target, std::string_view());
    EXPECT_EQ(fs::file_size(target), 0u);
    EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(AtomicFileTest, KeepsThePermissionsOfAnExistingFile) {
    const std::string target = PathOf("lut.3dl");
    WriteFileAtomically(target, "x");
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    WriteFileAtomically(target, "y");
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(AtomicFileTest, AFailedWriteKeepsTheOldFileAndNamesTheReason) {
    const std::string target = PathOf("keep.cube");
    WriteFileAtomically(target, "precious contents\n");
    const std::string big(1 << 20, 'x');
    try {
        TFileSizeLimit limit(4096);
        WriteFileAtomically(target, big);
        FAIL() << "a short write must raise";
    } catch (const EError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("keep.cube"), std::string::npos) << message;
        EXPECT_NE(message.find("File too large"), std::string::npos) << message;
    }
    EXPECT_EQ(ReadRaw(target), "precious contents\n");
    EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(AtomicFileTest, AMissingFolderRaisesTheSystemReason) {
    const std::string target = PathOf("no-such-folder/lut.cube");
    try {
        WriteFileAtomically(target, "x");
        FAIL() << "writing into a missing folder must raise";
    } catch (const EError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find(target), std::string::npos) << message;
        EXPECT_NE(message.find("No such file or directory"), std::string::npos) << message;
    }
}

// The rules for what is at the target: a write-protected file is refused,
// a symbolic link (dangling or not) is replaced itself as mv does, never
// written through.
TEST_F(AtomicFileTest, ProtectedFilesAndSymbolicLinks) {
    const std::string locked = PathOf("locked.cube");
    WriteFileAtomically(locked, "old");
    ASSERT_EQ(chmod(locked.c_str(), 0444), 0);
    try {
        WriteFileAtomically(locked, "new");
        FAIL() << "a write-protected file must be refused";
    } catch (const EError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot write file \"" + locked + "\": Permission denied");
    }
    EXPECT_EQ(ReadRaw(locked), "old");

    const std::string real = PathOf("real.cube");
    const std::string link = PathOf("link.cube");
    WriteFileAtomically(real, "old");
    fs::create_symlink(real, link);
    WriteFileAtomically(link, "new");
    EXPECT_FALSE(fs::is_symlink(link));
    EXPECT_EQ(ReadRaw(link), "new");
    EXPECT_EQ(ReadRaw(real), "old");

    const std::string dangling = PathOf("dangling.cube");
    fs::create_symlink(PathOf("elsewhere/target.cube"), dangling);
    fs::create_directory(PathOf("elsewhere"));
    WriteFileAtomically(dangling, "x");
    EXPECT_FALSE(fs::is_symlink(dangling));
    EXPECT_FALSE(fs::exists(PathOf("elsewhere/target.cube")));
}

// What is no file to replace is refused, and stays: a named pipe, a link to
// one, a link to a device, a link into /proc (as /dev/stdout is) even when
// the descriptor behind it is a regular file. The content is never asked
// for. A link to a regular file is still replaced itself (above).
TEST_F(AtomicFileTest, TargetsThatAreNotRegularFilesAreRefused) {
    const std::string pipe = PathOf("pipe.mov");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    fs::create_symlink(pipe, PathOf("to-pipe.cube"));
    fs::create_symlink("/dev/null", PathOf("null.cube"));
    const std::string behind = PathOf("behind.txt");
    WriteFileAtomically(behind, "kept");
    const int fd = open(behind.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    fs::create_symlink("/proc/self/fd/" + std::to_string(fd), PathOf("stdout"));
    fs::create_symlink("stdout", PathOf("to-stdout.cube"));
    bool asked = false;
    const auto content = [&](int out) {
        asked = true;
        return WriteFully(out, "new");
    };
    for (const char* name : {"pipe.mov", "to-pipe.cube", "null.cube", "stdout", "to-stdout.cube"}) {
        try {
            WriteFileAtomicallyFrom(PathOf(name), content);
            ADD_FAILURE() << name << " was written";
        } catch (const EError& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot write file \"" + PathOf(name) + "\": it is not a regular file.");
        }
        EXPECT_THROW(WriteFileAtomically(PathOf(name), "new"), EError) << name;
    }
    close(fd);
    EXPECT_FALSE(asked);
    EXPECT_TRUE(fs::is_fifo(pipe));
    for (const char* link : {"to-pipe.cube", "null.cube", "stdout", "to-stdout.cube"})
        EXPECT_TRUE(fs::is_symlink(PathOf(link))) << link;
    EXPECT_EQ(ReadRaw(behind), "kept");
    EXPECT_EQ(EntryCount(), 6u);
}

// A real full disk: the write fails naming the file and the system's reason,
// the old file stays and no temporary file is left, for a replacing write
// and for one that must not replace alike.
TEST_F(AtomicFileTest, AFullDiskKeepsTheOldFile) {
    TSmallFileSystem disk;
    if (!disk.Mounted()) GTEST_SKIP() << "mounting a small file system is not allowed here";
    const std::string target = disk.PathOf("keep.cube");
    WriteFileAtomically(target, std::string(20000, 'o'));
    const std::string big(200000, 'n');
    for (const bool replace : {true, false}) {
        try {
            if (replace)
                WriteFileAtomically(target, big);
            else
                WriteNewFileAtomically(disk.PathOf("new.cube"), big);
            FAIL() << "a write to a full disk must raise";
        } catch (const EError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(replace ? "keep.cube" : "new.cube"), std::string::npos) << message;
            EXPECT_NE(message.find("No space left on device"), std::string::npos) << message;
        }
    }
    EXPECT_EQ(ReadRaw(target), std::string(20000, 'o'));
    EXPECT_EQ(std::distance(fs::directory_iterator(disk.PathOf("")), fs::directory_iterator()), 1);
}

// Names near the system's limit: the temporary name is shortened, the
// target keeps its name; a temporary name is recognisable as one.
TEST_F(AtomicFileTest, LongNamesAndTemporaryNames) {
    for (const std::size_t length : {243u, 250u, 255u}) {
        const std::string name = std::string(length - 5, 'l') + ".cube";
        WriteFileAtomically(PathOf(name), "x");
        EXPECT_EQ(ReadRaw(PathOf(name)), "x") << length;
    }
    EXPECT_TRUE(IsTemporaryFileName(".lut.cube.~ombrane-123-0.tmp"));
    EXPECT_FALSE(IsTemporaryFileName("lut.cube"));
    EXPECT_FALSE(IsTemporaryFileName(".hidden.tmp"));
}

// Exclusive writes and renames: of several at once onto one name exactly
// one wins, and no file is lost.
TEST_F(AtomicFileTest, WritesAndRenamesThatMustNotReplace) {
    const std::string target = PathOf("one.jpeg");
    std::atomic<int> winners{0};
    std::vector<std::thread> writers;
    for (int i = 0; i < 4; ++i)
        writers.emplace_back([&, i] { winners += WriteNewFileAtomically(target, std::string(100000, char('a' + i))); });
    for (std::thread& writer : writers) writer.join();
    EXPECT_EQ(winners.load(), 1);
    EXPECT_EQ(EntryCount(), 1u);

    WriteFileAtomically(PathOf("a"), "a");
    WriteFileAtomically(PathOf("b"), "b");
    EXPECT_FALSE(RenameWithoutReplacing(PathOf("a"), target));
    EXPECT_TRUE(RenameWithoutReplacing(PathOf("b"), PathOf("c")));
    EXPECT_EQ(ReadRaw(PathOf("a")), "a");
    EXPECT_EQ(ReadRaw(PathOf("c")), "b");
    EXPECT_THROW(RenameWithoutReplacing(PathOf("gone"), PathOf("d")), EError);
}

// SIGTERM or SIGINT during a write removes the temporary file before the
// program ends by that signal.
TEST_F(AtomicFileTest, ATerminatingSignalRemovesTheTemporaryFile) {
    for (const int signalNumber : {SIGTERM, SIGINT}) {
        const std::string big(std::size_t(16) << 20, 'x');
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;) WriteFileAtomically(PathOf("big.cube"), big);
        }
        // Wait until a temporary file exists, then interrupt the writer.
        bool seen = false;
        for (int i = 0; i < 2000000 && !seen; ++i)
            for (const fs::directory_entry& entry : fs::directory_iterator(dir_))
                seen = seen || IsTemporaryFileName(entry.path().filename().string());
        kill(child, signalNumber);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(seen);
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), signalNumber);
        for (const fs::directory_entry& entry : fs::directory_iterator(dir_))
            EXPECT_FALSE(IsTemporaryFileName(entry.path().filename().string())) << entry.path();
    }
}

// A write that must not replace gives way to a file that appears while it
// is written (another program's), and leaves nothing of its own.
TEST_F(AtomicFileTest, NoReplacingWritesGiveWayToAFileWrittenMeanwhile) {
    const std::string target = PathOf("frame.jpg");
    const auto theirsAppears = [&](int fd) {
        WriteFileAtomically(target, "theirs");
        return WriteFully(fd, "mine");
    };
    {
        const TNoReplacingWrites noReplacing;
        EXPECT_THROW(WriteFileAtomicallyFrom(target, theirsAppears), EFileExists);
        EXPECT_THROW(WriteFileAtomically(target, "mine"), EFileExists);
        // Another thread's writes still replace.
        std::thread([&] {
            WriteFileAtomically(PathOf("other"), "1");
            WriteFileAtomically(PathOf("other"), "2");
        }).join();
    }
    EXPECT_EQ(ReadRaw(target), "theirs");
    EXPECT_EQ(ReadRaw(PathOf("other")), "2");
    EXPECT_EQ(EntryCount(), 2u);
    WriteFileAtomicallyFrom(target, theirsAppears);
    EXPECT_EQ(ReadRaw(target), "mine");
}

}  // namespace
