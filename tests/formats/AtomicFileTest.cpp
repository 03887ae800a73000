#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AtomicFile.h"
#include "Error.h"

namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/ombrane-atomic-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
    std::string ReadRaw(const std::string& path) const
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::size_t EntryCount() const
    {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }

    fs::path dir_;
};

// Limits the size of files this process may write, so that a write fails
// part way like on a full disk; restores the limit when it goes.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~TFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }
private:
    rlimit saved_{};
    void (*oldHandler_)(int) = nullptr;
};

TEST_F(AtomicFileTest, WritesAndReplacesWithoutLeavingTemporaries)
{
    const std::string target = PathOf("lut.cube");
    WriteFileAtomically(target, "first version\n");
    EXPECT_EQ(ReadRaw(target), "first version\n");
    WriteFileAtomically(target, "2\n");
    EXPECT_EQ(ReadRaw(target), "2\n");
    WriteFileAtomically(target, std::string_view());
    EXPECT_EQ(fs::file_size(target), 0u);
    EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(AtomicFileTest, KeepsThePermissionsOfAnExistingFile)
{
    const std::string target = PathOf("lut.3dl");
    WriteFileAtomically(target, "x");
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    WriteFileAtomically(target, "y");
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(AtomicFileTest, AFailedWriteKeepsTheOldFileAndNamesTheReason)
{
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

TEST_F(AtomicFileTest, AMissingFolderRaisesTheSystemReason)
{
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

TEST_F(AtomicFileTest, WritesThroughASymbolicLink)
{
    const std::string real = PathOf("real.cube");
    const std::string link = PathOf("link.cube");
    WriteFileAtomically(real, "old");
    fs::create_symlink(real, link);
    WriteFileAtomically(link, "new");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadRaw(real), "new");
}

} // namespace
