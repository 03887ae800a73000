#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "engine/base/Error.h"
#include "fileio/FileRead.h"
#include "tests/support/PipeUnblocker.h"

namespace {

namespace fs = std::filesystem;

std::string Message(const std::string& fileName, std::uint64_t limit = kMaxLutFileBytes) {
    try {
        ReadFileBytes(fileName, limit);
    } catch (const EError& e) {
        return e.what();
    }
    return "(no error)";
}

// Only regular files are read: a named pipe (which would wait for a writer)
// and a device (which would deliver without end) are refused at once, also
// behind a link; the limit counts what a file holds.
TEST(FileReadTest, OnlyRegularFilesWithinTheLimit) {
    char pattern[] = "/tmp/ombrane-read-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path dir = pattern;
    const std::string pipe = (dir / "pipe.cube").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir / "zero.jpg");

    EXPECT_EQ(Message(pipe), "Cannot read file \"" + pipe + "\": it is not a regular file.");
    EXPECT_NE(Message((dir / "zero.jpg").string()).find("not a regular file"), std::string::npos);
    EXPECT_NE(Message(dir.string()).find("Is a directory"), std::string::npos);
    EXPECT_NE(Message((dir / "missing").string()).find("No such file or directory"), std::string::npos);

    const std::string file = (dir / "five.bin").string();
    std::ofstream(file, std::ios::binary) << std::string(5000, 'b');
    EXPECT_EQ(ReadFileBytes(file, 5000), std::string(5000, 'b'));
    EXPECT_NE(Message(file, 4999).find("too large"), std::string::npos);
    fs::remove_all(dir);
}

// The head read, the full read and the check for files another library
// reads, on a named pipe: refused, never waiting for a writer (a writer
// opened whenever a reader waits would end a hang).
TEST(FileReadTest, NamedPipesAreNeverWaitedOn) {
    char pattern[] = "/tmp/ombrane-pipe-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path dir = pattern;
    const std::string pipe = (dir / "look.cube").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    TPipeUnblocker unblocker(pipe);
    try {
        ReadFileHead(pipe, 4096);
        ADD_FAILURE() << "the head of a named pipe was read";
    } catch (const EError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot read file \"" + pipe + "\": it is not a regular file.");
    }
    EXPECT_EQ(Message(pipe), "Cannot read file \"" + pipe + "\": it is not a regular file.");
    EXPECT_EQ(RegularFileProblem(pipe, kMaxLutFileBytes), "it is not a regular file");
    EXPECT_EQ(unblocker.Unblocked(), 0) << "a reader waited for a writer";

    const std::string file = (dir / "five.bin").string();
    std::ofstream(file, std::ios::binary) << std::string(5000, 'b');
    EXPECT_EQ(RegularFileProblem(file, 5000), "");
    EXPECT_EQ(RegularFileProblem(file, 4999), "it is too large (more than 0 MiB)");
    EXPECT_EQ(RegularFileProblem(dir.string(), 5000), "Is a directory");
    EXPECT_EQ(RegularFileProblem((dir / "missing").string(), 5000), "No such file or directory");
    fs::remove_all(dir);
}

}  // namespace
