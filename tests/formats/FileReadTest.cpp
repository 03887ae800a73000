#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>

#include "Error.h"
#include "FileRead.h"

namespace {

namespace fs = std::filesystem;

std::string Message(const std::string& fileName, std::uint64_t limit = kMaxLutFileBytes)
{
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
TEST(FileReadTest, OnlyRegularFilesWithinTheLimit)
{
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

} // namespace
