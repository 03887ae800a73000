#include <fcntl.h>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <thread>

#include "fileio/AtomicFile.h"
#include "imageio/ImageFile.h"
#include "tests/cli/CliHarness.h"

namespace fs = std::filesystem;

namespace {

class CliGuardTest : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        SaveImageFile(Path("ref.jpg"), MakeTestPicture(150, 100, 4));
        SaveImageFile(Path("x.jpg"), MakeTestPicture(120, 80, 1));
        ASSERT_EQ(Cli({"look", Path("ref.jpg"), "-o", Path("look.cube")}).Status, 0);
    }

    // Starts ombrane-cli in the background with its standard output and error
    // on the given descriptors and the signals at their default actions.
    // withoutOverride: even as root, file permissions hold for it.
    pid_t Spawn(const std::vector<std::string>& arguments, int out, int err, bool withoutOverride = false) {
        std::vector<std::string> words = {OMBRANE_CLI};
        words.insert(words.end(), arguments.begin(), arguments.end());
        const std::string home = Path("home");
        const pid_t child = fork();
        if (child != 0) return child;
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        for (const int signalNumber : {SIGPIPE, SIGINT, SIGTERM, SIGHUP}) std::signal(signalNumber, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        if (withoutOverride) {
            prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0);
            prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0);
        }
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }

    // The raw wait status; the run is killed (and -1 returned) after seconds.
    static int WaitFor(pid_t child, int seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        int status = 0;
        while (waitpid(child, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return status;
    }

    // Runs with standard output and error in files, within seconds.
    TCliRun RunWithin(const std::vector<std::string>& arguments, int seconds, bool withoutOverride = false) {
        const int out = Create("spawn.out");
        const int err = Create("spawn.err");
        const int status = WaitFor(Spawn(arguments, out, err, withoutOverride), seconds);
        close(out);
        close(err);
        TCliRun run;
        run.Status = status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + status;
        run.Out = ReadBytes(Path("spawn.out"));
        run.Err = ReadBytes(Path("spawn.err"));
        return run;
    }

    int Create(const std::string& name) const {
        return open(Path(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    }

    // The temporary files in a folder.
    static int TemporaryCount(const std::string& folder) {
        int count = 0;
        std::error_code error;
        for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
            count += IsTemporaryFileName(it->path().filename().string()) ? 1 : 0;
        return count;
    }

    // Fills folder with count links to target, named p000.jpg, p001.jpg, ...
    void LinkPictures(const std::string& folder, const std::string& target, int count) {
        fs::create_directories(Path(folder));
        for (int i = 0; i < count; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "p%03d.jpg", i);
            fs::create_symlink(target, Path(folder + "/" + name));
        }
    }
};

// Every command refuses, before anything runs and also with --force, an
// output that is one of its inputs: the picture, the reference, the LUT, a
// --match frame, a --config file, a picture to add; compared after links
// and with the output's folder resolved.
TEST_F(CliGuardTest, OutputsThatAreInputsAreRefusedByEveryCommand) {
    fs::create_directories(Path("in"));
    fs::create_directories(Path("out"));
    fs::copy_file(Path("ref.jpg"), Path("out/ref.jpg"));
    fs::copy_file(Path("x.jpg"), Path("in/ref.jpg"));
    ASSERT_EQ(
        Cli({"convert", Path("look.cube"), "-o", Path("look.png"), "--profile", "Hald CLUT", "--size", "16"}).Status,
        0);
    fs::copy_file(Path("look.png"), Path("out/look.png"));
    fs::copy_file(Path("x.jpg"), Path("in/look.png.jpg"));
    SaveImageFile(Path("in/look.png"), MakeTestPicture(64, 48, 5));
    fs::create_directory_symlink(Dir(), Path("dirlink"));
    fs::create_symlink(Path("x.jpg"), Path("xlink.jpg"));
    ASSERT_EQ(Cli({"library", "--library", Path("lib"), "add", Path("x.jpg")}).Status, 0);
    fs::copy_file(Path("look.cube"), Path("config.cube"));

    struct TCase {
        std::vector<std::string> Arguments;
        std::string Kept;
    };
    const TCase cases[] = {
        {{"grade", Path("ref.jpg"), Path("x.jpg"), "-o", Path("x.jpg")}, "x.jpg"},
        {{"grade", Path("ref.jpg"), Path("x.jpg"), "-o", Path("ref.jpg")}, "ref.jpg"},
        {{"grade", Path("ref.jpg"), Path("x.jpg"), "-o", Path("x.jpg"), "--force"}, "x.jpg"},
        {{"grade", Path("ref.jpg"), Path("x.jpg"), "-o", Path("dirlink/ref.jpg")}, "ref.jpg"},
        {{"grade", Path("ref.jpg"), Path("xlink.jpg"), "-o", Path("x.jpg")}, "x.jpg"},
        {{"grade", Path("ref.jpg"), Path("x.jpg"), "-o", Path("xlink.jpg")}, "x.jpg"},
        {{"grade", Path("out/ref.jpg"), Path("in/ref.jpg"), "-o", Path("out"), "--force"}, "out/ref.jpg"},
        {{"apply", Path("out/look.png"), Path("in/look.png"), "-o", Path("out"), "--force"}, "out/look.png"},
        {{"apply", Path("look.png"), Path("x.jpg"), "-o", Path("look.png")}, "look.png"},
        {{"look", Path("x.jpg"), "-o", Path("x.jpg"), "--profile", "1"}, "x.jpg"},
        {{"look", Path("ref.jpg"), "--match", Path("x.jpg"), "-o", Path("x.jpg"), "--profile", "1"}, "x.jpg"},
        {{"look", Path("ref.jpg"), "-o", Path("config.cube"), "--config", Path("config.cube")}, "config.cube"},
        {{"convert", Path("look.cube"), "-o", Path("look.cube")}, "look.cube"},
        {{"convert", Path("look.cube"), "-o", Path("dirlink/look.cube")}, "look.cube"},
        {{"scopes", Path("x.jpg"), "-o", Path("x.jpg")}, "x.jpg"},
        {{"scopes", Path("x.jpg"), "--lut", Path("look.png"), "-o", Path("look.png")}, "look.png"},
        {{"library", "--library", Path("lib"), "add", "--force", Path("lib/x.jpeg")}, "lib/x.jpeg"},
    };
    for (const TCase& test : cases) {
        std::string line;
        for (const std::string& word : test.Arguments) line += word + " ";
        const std::string before = ReadBytes(Path(test.Kept));
        ASSERT_FALSE(before.empty()) << line;
        const TCliRun run = Cli(test.Arguments);
        EXPECT_EQ(run.Status, 2) << line << run.Err;
        EXPECT_TRUE(IsOneErrorLine(run.Err)) << line << run.Err;
        EXPECT_NE(run.Err.find("would overwrite the input"), std::string::npos) << line << run.Err;
        EXPECT_EQ(ReadBytes(Path(test.Kept)), before) << line;
        EXPECT_TRUE(fs::is_symlink(Path("xlink.jpg"))) << line;
        EXPECT_EQ(TemporaryCount(Dir().string()), 0) << line;
    }
    // A name of its own is written as before.
    EXPECT_EQ(Cli({"grade", Path("ref.jpg"), Path("x.jpg"), "-o", Path("in/x.jpg")}).Status, 0);
    EXPECT_EQ(Cli({"apply", Path("out/look.png"), Path("in/look.png.jpg"), "-o", Path("out")}).Status, 0);
}

// Two batches into one folder at once: every output is published by exactly
// one of them; the other reports it as existing, naming the input.
TEST_F(CliGuardTest, BatchesIntoOneFolderNeverReplaceEachOther) {
    SaveImageFile(Path("src.jpg"), MakeTestPicture(600, 400, 2));
    constexpr int kCount = 200;
    LinkPictures("in", Path("src.jpg"), kCount);
    const int errA = Create("a.err");
    const int errB = Create("b.err");
    const std::vector<std::string> arguments = {"apply", Path("look.cube"), Path("in"), "-o", Path("rout"), "-j", "2"};
    const pid_t a = Spawn(arguments, errA, errA);
    const pid_t b = Spawn(arguments, errB, errB);
    const int statusA = WaitFor(a, 300);
    const int statusB = WaitFor(b, 300);
    close(errA);
    close(errB);
    int lost = 0;
    for (const char* name : {"a.err", "b.err"}) {
        for (const std::string& line : Lines(ReadBytes(Path(name)))) {
            if (line.find(" pictures failed") != std::string::npos) continue;
            EXPECT_EQ(line.rfind("ombrane-cli: " + Path("in/p"), 0), 0u) << line;
            EXPECT_NE(line.find("exists (--force replaces it)"), std::string::npos) << line;
            ++lost;
        }
    }
    EXPECT_EQ(lost, kCount);
    EXPECT_TRUE(WIFEXITED(statusA) && WIFEXITED(statusB));
    ASSERT_EQ(Cli({"apply", Path("look.cube"), Path("src.jpg"), "-o", Path("single.jpg")}).Status, 0);
    const std::string single = ReadBytes(Path("single.jpg"));
    for (const fs::directory_entry& entry : fs::directory_iterator(Path("in")))
        EXPECT_EQ(ReadBytes(Path("rout/" + entry.path().filename().string())), single) << entry.path();
    EXPECT_EQ(TemporaryCount(Path("rout")), 0);
}

// -r takes each folder once: links back into the walk are left out with a
// line naming them; an unreadable folder is one failure and the rest goes on.
TEST_F(CliGuardTest, RecursiveWalkTakesEachFolderOnceAndGoesOnPastAnUnreadableOne) {
    fs::create_directories(Path("in/sub"));
    fs::copy_file(Path("x.jpg"), Path("in/a.jpg"));
    fs::copy_file(Path("x.jpg"), Path("in/sub/b.jpg"));
    fs::create_directory_symlink(".", Path("in/here1"));
    fs::create_directory_symlink(".", Path("in/here2"));
    fs::create_directory_symlink("..", Path("in/sub/up"));
    const TCliRun run = RunWithin({"apply", Path("look.cube"), Path("in"), "-r", "-o", Path("out")}, 60);
    EXPECT_EQ(run.Status, 0) << run.Err;
    std::vector<std::string> written;
    for (const fs::directory_entry& entry : fs::directory_iterator(Path("out")))
        written.push_back(entry.path().filename().string());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"a.jpg", "b.jpg"}));
    const auto lines = Lines(run.Err);
    ASSERT_EQ(lines.size(), 3u) << run.Err;
    for (const std::string link : {"in/here1", "in/here2", "in/sub/up"}) {
        const auto named = std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.rfind("ombrane-cli: ", 0) == 0 && line.find("\"" + Path(link) + "\"") != std::string::npos;
        });
        EXPECT_EQ(named, 1) << link << "\n" << run.Err;
    }

    fs::create_directories(Path("in2/locked"));
    fs::create_directories(Path("in2/open"));
    fs::copy_file(Path("x.jpg"), Path("in2/c.jpg"));
    fs::copy_file(Path("x.jpg"), Path("in2/locked/d.jpg"));
    fs::copy_file(Path("x.jpg"), Path("in2/open/e.jpg"));
    fs::permissions(Path("in2/locked"), fs::perms::none);
    const TCliRun locked = RunWithin({"apply", Path("look.cube"), Path("in2"), "-r", "-o", Path("out2")}, 60, true);
    fs::permissions(Path("in2/locked"), fs::perms::owner_all);
    EXPECT_EQ(locked.Status, 1) << locked.Err;
    EXPECT_TRUE(fs::exists(Path("out2/c.jpg")));
    EXPECT_TRUE(fs::exists(Path("out2/e.jpg")));
    EXPECT_FALSE(fs::exists(Path("out2/d.jpg")));
    const auto reasons = Lines(locked.Err);
    ASSERT_EQ(reasons.size(), 2u) << locked.Err;
    EXPECT_NE(reasons[0].find("\"" + Path("in2/locked") + "\""), std::string::npos) << locked.Err;
    EXPECT_NE(reasons[0].find(std::strerror(EACCES)), std::string::npos) << locked.Err;
}

// A terminating signal removes every temporary file however many writes
// are in flight; a closed error or output pipe never kills the program.
TEST_F(CliGuardTest, SignalsAndClosedPipesLeaveNoTemporaryFile) {
    SaveImageFile(Path("big.jpg"), MakeTestPicture(2400, 1600, 3));
    LinkPictures("many", Path("big.jpg"), 64);
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        const std::string out = Path("sig" + std::to_string(signalNumber));
        const int err = Create("sig.err");
        const pid_t child = Spawn({"apply", Path("look.cube"), Path("many"), "-o", out, "-j", "64", "-q"}, err, err);
        close(err);
        int most = 0;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (most < 48 && std::chrono::steady_clock::now() < end && waitpid(child, nullptr, WNOHANG) == 0)
            most = std::max(most, TemporaryCount(out));
        kill(child, signalNumber);
        const int status = WaitFor(child, 60);
        ASSERT_GE(most, 48) << "the writes did not overlap";
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << status;
        EXPECT_EQ(TemporaryCount(out), 0) << signalNumber;
    }

    fs::create_directories(Path("in"));
    fs::copy_file(Path("x.jpg"), Path("in/a.jpg"));
    fs::copy_file(Path("ref.jpg"), Path("in/c.jpg"));
    WriteBytes(Path("in/b.jpg"), ReadBytes(Path("x.jpg")).substr(0, 300));
    int pipeEnds[2];
    ASSERT_EQ(pipe2(pipeEnds, O_CLOEXEC), 0);
    close(pipeEnds[0]);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const int batch =
        WaitFor(Spawn({"apply", Path("look.cube"), Path("in"), "-o", Path("out"), "-j", "2"}, null, pipeEnds[1]), 60);
    EXPECT_TRUE(WIFEXITED(batch) && WEXITSTATUS(batch) == 1) << batch;
    EXPECT_TRUE(fs::exists(Path("out/a.jpg")));
    EXPECT_TRUE(fs::exists(Path("out/c.jpg")));
    EXPECT_EQ(TemporaryCount(Path("out")), 0);

    const int err = Create("stats.err");
    const int stats = WaitFor(Spawn({"stats", Path("x.jpg")}, pipeEnds[1], err), 60);
    close(err);
    close(pipeEnds[1]);
    close(null);
    EXPECT_TRUE(WIFEXITED(stats) && WEXITSTATUS(stats) == 1) << stats;
    EXPECT_EQ(ReadBytes(Path("stats.err")), "ombrane-cli: cannot write to standard output\n");
}

// Messages that name the file and say what would work.
TEST_F(CliGuardTest, MessagesNameTheFileAndWhatWouldWork) {
    fs::create_directories(Path("in"));
    for (const std::string& file : {Path("in"), std::string("/dev/null")}) {
        const TCliRun run = Cli({"stats", file});
        EXPECT_EQ(run.Status, 1);
        EXPECT_TRUE(IsOneErrorLine(run.Err)) << run.Err;
        EXPECT_NE(run.Err.find("\"" + file + "\""), std::string::npos) << run.Err;
        EXPECT_EQ(run.Err.find("extension (.)"), std::string::npos) << run.Err;
    }

    // Every extension that grade and apply write is offered, and each works.
    const TCliRun gif = Cli({"apply", Path("look.cube"), Path("x.jpg"), "-o", Path("x.gif")});
    EXPECT_EQ(gif.Status, 2);
    EXPECT_TRUE(IsOneErrorLine(gif.Err)) << gif.Err;
    for (const std::string extension : {"jpg", "jpeg", "bmp", "png", "tif", "tiff", "exr", "dpx"}) {
        bool offered = false;
        for (auto at = gif.Err.find("." + extension); at != std::string::npos;
             at = gif.Err.find("." + extension, at + 1))
            offered = offered || !std::isalnum(static_cast<unsigned char>(gif.Err[at + 1 + extension.size()]));
        EXPECT_TRUE(offered) << extension << gif.Err;
        EXPECT_EQ(Cli({"apply", Path("look.cube"), Path("x.jpg"), "-o", Path("x-out." + extension)}).Status, 0)
            << extension;
    }

    // An output folder that is missing, named by a trailing slash.
    const TCliRun slash = Cli({"apply", Path("look.cube"), Path("x.jpg"), "-o", Path("newdir") + "/"});
    EXPECT_EQ(slash.Status, 2);
    EXPECT_TRUE(IsOneErrorLine(slash.Err)) << slash.Err;
    EXPECT_NE(slash.Err.find("\"" + Path("newdir") + "/\""), std::string::npos) << slash.Err;
    EXPECT_EQ(slash.Err.find("cannot write pictures like"), std::string::npos) << slash.Err;
    EXPECT_FALSE(fs::exists(Path("newdir")));

    // A picture file name as the output of several pictures.
    fs::copy_file(Path("x.jpg"), Path("y.jpg"));
    const TCliRun two = Cli({"apply", Path("look.cube"), Path("x.jpg"), Path("y.jpg"), "-o", Path("out.jpg")});
    EXPECT_EQ(two.Status, 2);
    EXPECT_TRUE(IsOneErrorLine(two.Err)) << two.Err;
    EXPECT_NE(two.Err.find("\"" + Path("out.jpg") + "\""), std::string::npos) << two.Err;
    EXPECT_FALSE(fs::exists(fs::symlink_status(Path("out.jpg"))));

    // A dangling link as the output folder.
    fs::create_symlink(Path("missing/place"), Path("dangling"));
    const TCliRun dangling = Cli({"apply", Path("look.cube"), Path("x.jpg"), Path("y.jpg"), "-o", Path("dangling")});
    EXPECT_NE(dangling.Status, 0);
    EXPECT_TRUE(IsOneErrorLine(dangling.Err)) << dangling.Err;
    EXPECT_NE(dangling.Err.find("\"" + Path("dangling") + "\""), std::string::npos) << dangling.Err;
    EXPECT_EQ(dangling.Err.find(std::strerror(EEXIST)), std::string::npos) << dangling.Err;
    EXPECT_FALSE(fs::exists(Path("missing")));

    // A failure names its input, also when the output's path contains it.
    fs::create_directories(Path("x.jpg.out"));
    WriteBytes(Path("x.jpg.out/x.jpg"), "keep");
    const TCliRun named = Cli({"apply", Path("look.cube"), Path("x.jpg"), Path("y.jpg"), "-o", Path("x.jpg.out")});
    EXPECT_EQ(named.Status, 1);
    const auto lines = Lines(named.Err);
    ASSERT_EQ(lines.size(), 2u) << named.Err;
    EXPECT_EQ(lines[0].rfind("ombrane-cli: " + Path("x.jpg") + ": ", 0), 0u) << named.Err;
    EXPECT_EQ(ReadBytes(Path("x.jpg.out/x.jpg")), "keep");

    // grade's help says which pictures --footage takes.
    const std::string help = Cli({"grade", "--help"}).Out;
    const std::string footage = help.substr(help.rfind("With --footage"));
    EXPECT_NE(footage.find("8-bit"), std::string::npos) << footage;
    EXPECT_NE(footage.find(".exr"), std::string::npos) << footage;
}

}  // namespace
