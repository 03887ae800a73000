#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "tests/cli/CliHarness.h"
#include "tests/support/ClipMaking.h"

namespace {

// Files that ask the reading library to open something else, and settings
// and outputs that are no regular files. Every run is ended after a bound,
// so that a read waiting on the network or on a pipe fails the test instead
// of stopping the run.
class CliHostileSourcesTest : public CliTest {
protected:
    // A run that is killed (status 137) when it has not ended in time.
    TCliRun Bounded(const std::vector<std::string>& arguments) { return Cli(arguments, "timeout -s KILL 60"); }

    // Expects the clip refused by "stats" at once, in one line naming it.
    void ExpectNotAClip(const std::string& file) {
        const TCliRun run = Bounded({"stats", file});
        EXPECT_EQ(run.Status, 1) << file << "\n" << run.Err;
        EXPECT_TRUE(IsOneErrorLine(run.Err)) << run.Err;
        EXPECT_NE(run.Err.find("\"" + file + "\" is not a clip"), std::string::npos) << run.Err;
        EXPECT_TRUE(run.Out.empty()) << run.Out;
    }
};

// A TCP listener on a free loopback port, which must never be called.
class TLoopbackListener {
public:
    TLoopbackListener() {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&address), size) == 0 && listen(fd_, 8) == 0 &&
            getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~TLoopbackListener() { close(fd_); }
    int Port() const { return port_; }
    // Whether anything has connected since it began listening.
    bool Called() const {
        const int peer = accept(fd_, nullptr, nullptr);
        if (peer < 0) return errno != EAGAIN && errno != EWOULDBLOCK;
        close(peer);
        return true;
    }

private:
    int fd_ = -1;
    int port_ = 0;
};

}  // namespace

// A session description, a streaming manifest and a concatenation list named
// like clips are refused without opening a socket, an address or another
// file, and without waiting on a named pipe they name.
TEST_F(CliHostileSourcesTest, TextsNamedLikeClipsOpenNothingElse) {
    WriteBytes(Path("net.mov"),
               "v=0\no=- 0 0 IN IP4 127.0.0.1\ns=net\nc=IN IP4 0.0.0.0\nt=0 0\nm=video 5004 RTP/AVP 96\n"
               "a=rtpmap:96 H264/90000\n");
    ExpectNotAClip(Path("net.mov"));

    const TLoopbackListener server;
    ASSERT_NE(server.Port(), 0);
    const std::string manifest =
        "<?xml version=\"1.0\"?>\n<MPD xmlns=\"urn:mpeg:dash:schema:mpd:2011\" type=\"static\" "
        "mediaPresentationDuration=\"PT1S\" minBufferTime=\"PT1S\" profiles=\"urn:mpeg:dash:profile:full:2011\">\n"
        "<BaseURL>BASE</BaseURL>\n<Period><AdaptationSet mimeType=\"video/mp4\"><Representation id=\"1\" "
        "bandwidth=\"1000\" width=\"64\" height=\"48\" codecs=\"avc1.42c00a\"><SegmentList duration=\"1\">"
        "<Initialization sourceURL=\"init.mp4\"/><SegmentURL media=\"s1.m4s\"/></SegmentList></Representation>"
        "</AdaptationSet></Period>\n</MPD>\n";
    const auto withBase = [&](const std::string& base) {
        std::string text = manifest;
        return text.replace(text.find("BASE"), 4, base);
    };
    WriteBytes(Path("remote.mp4"), withBase("http://127.0.0.1:" + std::to_string(server.Port()) + "/"));
    ExpectNotAClip(Path("remote.mp4"));
    EXPECT_FALSE(server.Called());
    WriteBytes(Path("local.mp4"), withBase("file:///etc/"));
    ExpectNotAClip(Path("local.mp4"));

    ASSERT_TRUE(MakeClip(Path("real.mkv"), 64, 48, 3, "-pix_fmt yuv420p -c:v ffv1"));
    ASSERT_EQ(Bounded({"stats", Path("real.mkv")}).Status, 0);
    WriteBytes(Path("list.mkv"), "ffconcat version 1.0\nfile real.mkv\n");
    ExpectNotAClip(Path("list.mkv"));
    ASSERT_EQ(mkfifo(Path("pipe.mkv").c_str(), 0600), 0);
    WriteBytes(Path("waits.mkv"), "ffconcat version 1.0\nfile pipe.mkv\n");
    ExpectNotAClip(Path("waits.mkv"));
}

// An output that is a named pipe, a link to one, a link to a device or a
// link into /proc is refused naming it, and stays what it was.
TEST_F(CliHostileSourcesTest, OutputsThatAreNoRegularFilesStay) {
    ASSERT_TRUE(MakeClip(Path("shot.mov"), 64, 48, 3, "-pix_fmt yuv420p -c:v mjpeg"));
    WriteBytes(Path("id.cube"), "LUT_3D_SIZE 2\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n");
    ASSERT_EQ(mkfifo(Path("pipe.cube").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(Path("pipe.mov").c_str(), 0600), 0);
    std::filesystem::create_symlink(Path("pipe.cube"), Path("to-pipe.cube"));
    std::filesystem::create_symlink("/dev/null", Path("null.cube"));
    std::filesystem::create_symlink("/proc/self/fd/1", Path("stdout.cube"));
    const std::vector<std::vector<std::string>> runs = {
        {"convert", Path("id.cube"), "-o", Path("pipe.cube")},
        {"convert", Path("id.cube"), "-o", Path("to-pipe.cube")},
        {"convert", Path("id.cube"), "-o", Path("null.cube")},
        {"convert", Path("id.cube"), "-o", Path("stdout.cube")},
        {"apply", Path("id.cube"), Path("shot.mov"), "-o", Path("pipe.mov")},
    };
    for (const std::vector<std::string>& arguments : runs) {
        const std::string& output = arguments.back();
        const TCliRun run = Bounded(arguments);
        EXPECT_EQ(run.Status, 1) << output << "\n" << run.Err;
        EXPECT_EQ(run.Err, "ombrane-cli: Cannot write file \"" + output + "\": it is not a regular file.\n");
    }
    EXPECT_TRUE(std::filesystem::is_fifo(Path("pipe.cube")));
    EXPECT_TRUE(std::filesystem::is_fifo(Path("pipe.mov")));
    for (const char* link : {"to-pipe.cube", "null.cube", "stdout.cube"})
        EXPECT_TRUE(std::filesystem::is_symlink(Path(link))) << link;
    // A link to a regular file is replaced itself, as before.
    WriteBytes(Path("real.cube"), "old");
    std::filesystem::create_symlink(Path("real.cube"), Path("to-real.cube"));
    EXPECT_EQ(Bounded({"convert", Path("id.cube"), "-o", Path("to-real.cube")}).Status, 0);
    EXPECT_FALSE(std::filesystem::is_symlink(Path("to-real.cube")));
    EXPECT_EQ(ReadBytes(Path("real.cube")), "old");
}

// Settings files that are named pipes: "library" refuses at once, naming
// the file, rather than wait for ever; the pipe stays.
TEST_F(CliHostileSourcesTest, SettingsThatAreAPipeAreRefusedNotWaitedOn) {
    std::filesystem::create_directories(Path("home/config/tarnwerk"));
    for (const std::string name : {"home/config/tarnwerk/Ombrane.conf", "home/config/tarnwerk.conf"}) {
        ASSERT_EQ(mkfifo(Path(name).c_str(), 0600), 0);
        const TCliRun run = Bounded({"library", "list"});
        EXPECT_EQ(run.Status, 1) << run.Err;
        EXPECT_EQ(run.Err, "ombrane-cli: Cannot read file \"" + Path(name) + "\": it is not a regular file.\n");
        EXPECT_TRUE(std::filesystem::is_fifo(Path(name)));
        // A library named on the command line needs no settings.
        std::filesystem::create_directories(Path("lib"));
        EXPECT_EQ(Bounded({"library", "--library", Path("lib"), "list"}).Status, 0);
        std::filesystem::remove(Path(name));
    }
}
