#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <filesystem>

#include "imageio/ImageFile.h"
#include "library/ReferenceLibrary.h"
#include "tests/cli/CliHarness.h"
#include "tests/support/SmallFileSystem.h"

namespace {

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST_F(CliTest, LibraryAddListRenameDeleteAsTheWindowDoes) {
    const std::string lib = Path("refs");
    SaveImageFile(Path("holiday.png"), MakeTestPicture(300, 100, 1));
    SaveImageFile(Path("sunset.bmp"), MakeTestPicture(90, 60, 2));
    SaveImageFile(Path("holiday.bmp"), MakeTestPicture(50, 40, 3));

    // add creates the folder, reduces to fit 150 x 150 and stores NAME.jpeg.
    const TCliRun add = Cli({"library", "--library", lib, "add", Path("holiday.png"), Path("sunset.bmp")});
    ASSERT_EQ(add.Status, 0) << add.Err;
    EXPECT_EQ(Lines(add.Out), (std::vector<std::string>{"holiday.jpeg", "sunset.jpeg"}));
    TImage stored;
    LoadImageFile(lib + "/holiday.jpeg", stored);
    EXPECT_EQ(stored.Width(), 150);
    EXPECT_EQ(stored.Height(), 50);
    // The same bytes the window's add writes.
    std::filesystem::create_directories(Path("window"));
    TReferenceLibrary window(Path("window"));
    window.Add(Path("holiday.png"));
    EXPECT_TRUE(ReadBytes(lib + "/holiday.jpeg") == ReadBytes(Path("window/holiday.jpeg")));

    const TCliRun list = Cli({"library", "--library", lib, "list"});
    ASSERT_EQ(list.Status, 0) << list.Err;
    EXPECT_EQ(Sorted(Lines(list.Out)), (std::vector<std::string>{"holiday.jpeg", "sunset.jpeg"}));

    // A name already in the library is not replaced without --force, and
    // nothing of the call is added.
    const std::string before = ReadBytes(lib + "/holiday.jpeg");
    SaveImageFile(Path("new.bmp"), MakeTestPicture(40, 40, 4));
    const TCliRun clash = Cli({"library", "--library", lib, "add", Path("new.bmp"), Path("holiday.bmp")});
    EXPECT_EQ(clash.Status, 1);
    EXPECT_TRUE(IsOneErrorLine(clash.Err)) << clash.Err;
    EXPECT_NE(clash.Err.find("--force"), std::string::npos);
    EXPECT_EQ(ReadBytes(lib + "/holiday.jpeg"), before);
    EXPECT_FALSE(std::filesystem::exists(lib + "/new.jpeg"));
    const TCliRun force = Cli({"library", "--library", lib, "add", "--force", Path("holiday.bmp")});
    ASSERT_EQ(force.Status, 0) << force.Err;
    LoadImageFile(lib + "/holiday.jpeg", stored);
    EXPECT_EQ(stored.Width(), 50);  // the later picture won

    // rename by caption or file name keeps the extension; taken, empty and
    // path-like names are refused and change nothing.
    const TCliRun rename = Cli({"library", "--library", lib, "rename", "sunset", "dusk"});
    ASSERT_EQ(rename.Status, 0) << rename.Err;
    EXPECT_EQ(rename.Out, "dusk.jpeg\n");
    EXPECT_TRUE(std::filesystem::exists(lib + "/dusk.jpeg"));
    EXPECT_FALSE(std::filesystem::exists(lib + "/sunset.jpeg"));
    for (const std::string bad : {"holiday", "", "a/b"}) {
        const TCliRun refused = Cli({"library", "--library", lib, "rename", "dusk.jpeg", bad});
        EXPECT_EQ(refused.Status, 1) << bad;
        EXPECT_TRUE(IsOneErrorLine(refused.Err)) << refused.Err;
    }
    EXPECT_TRUE(std::filesystem::exists(lib + "/dusk.jpeg"));
    // A file put in by hand keeps its own extension.
    std::filesystem::copy_file(Path("sunset.bmp"), lib + "/hand.bmp");
    ASSERT_EQ(Cli({"library", "--library", lib, "rename", "hand", "byhand"}).Status, 0);
    EXPECT_TRUE(std::filesystem::exists(lib + "/byhand.bmp"));

    // delete by caption moves the file to the user's trash, as the window
    // does; a missing name is an error.
    const std::string dusk = ReadBytes(lib + "/dusk.jpeg");
    ASSERT_EQ(Cli({"library", "--library", lib, "delete", "dusk"}).Status, 0);
    EXPECT_FALSE(std::filesystem::exists(lib + "/dusk.jpeg"));
    EXPECT_EQ(ReadBytes(Path("home/data/Trash/files/dusk.jpeg")), dusk);
    EXPECT_NE(ReadBytes(Path("home/data/Trash/info/dusk.jpeg.trashinfo")).find("\nPath=" + lib + "/dusk.jpeg\n"),
              std::string::npos);
    const TCliRun gone = Cli({"library", "--library", lib, "delete", "dusk"});
    EXPECT_EQ(gone.Status, 1);
    EXPECT_TRUE(IsOneErrorLine(gone.Err)) << gone.Err;
    const TCliRun list2 = Cli({"library", "--library", lib, "list"});
    EXPECT_EQ(Sorted(Lines(list2.Out)), (std::vector<std::string>{"byhand.bmp", "holiday.jpeg"}));

    // A caption shared by two files must be given as a file name.
    std::filesystem::copy_file(Path("sunset.bmp"), lib + "/holiday.bmp");
    const TCliRun ambiguous = Cli({"library", "--library", lib, "delete", "holiday"});
    EXPECT_EQ(ambiguous.Status, 1);
    EXPECT_TRUE(std::filesystem::exists(lib + "/holiday.bmp") && std::filesystem::exists(lib + "/holiday.jpeg"));

    // Unreadable pictures and missing folders.
    WriteBytes(Path("broken.jpg"), "no jpeg here");
    const TCliRun broken = Cli({"library", "--library", lib, "add", Path("broken.jpg")});
    EXPECT_EQ(broken.Status, 1);
    EXPECT_TRUE(IsOneErrorLine(broken.Err)) << broken.Err;
    EXPECT_FALSE(std::filesystem::exists(lib + "/broken.jpeg"));
    const TCliRun noFolder = Cli({"library", "--library", Path("nowhere"), "list"});
    EXPECT_EQ(noFolder.Status, 1);
    EXPECT_FALSE(std::filesystem::exists(Path("nowhere")));
}

TEST_F(CliTest, LibraryWithoutFolderUsesTheSettingsAsTheWindow) {
    const std::string lib = Path("configured");
    std::filesystem::create_directories(lib);
    std::filesystem::create_directories(Path("home/config/tarnwerk"));
    WriteBytes(Path("home/config/tarnwerk/Ombrane.conf"), "[General]\nlib=" + lib + "\n");
    SaveImageFile(lib + "/mood.jpeg", MakeTestPicture(60, 60));
    const TCliRun list = Cli({"library", "list"});
    ASSERT_EQ(list.Status, 0) << list.Err;
    EXPECT_EQ(list.Out, "mood.jpeg\n");
}

namespace {

// Starts ombrane-cli with the arguments, its output discarded and its errors
// written to errFile; as another user when uid is not -1.
pid_t Spawn(const std::vector<std::string>& arguments, const std::string& errFile, uid_t uid = uid_t(-1)) {
    std::vector<std::string> words{OMBRANE_CLI};
    words.insert(words.end(), arguments.begin(), arguments.end());
    const pid_t child = fork();
    if (child != 0) return child;
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const int out = open("/dev/null", O_WRONLY);
    const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(99);
    if (uid != uid_t(-1) && (setgroups(0, nullptr) != 0 || setgid(uid) != 0 || setuid(uid) != 0)) _exit(98);
    execv(argv[0], argv.data());
    _exit(97);
}

int Wait(pid_t child) {
    int status = 0;
    if (waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + status;
}

}  // namespace

// Library commands take names of library pictures, never paths: nothing
// outside the library folder is deleted or moved in.
TEST_F(CliTest, LibraryNamesArePicturesNotPaths) {
    const std::string lib = Path("refs");
    SaveImageFile(Path("photo.jpg"), MakeTestPicture(60, 40, 1));
    WriteBytes(Path("notes.txt"), "my notes");
    ASSERT_EQ(Cli({"library", "--library", lib, "add", Path("photo.jpg")}).Status, 0);
    const std::string photo = ReadBytes(Path("photo.jpg"));
    for (const std::vector<std::string>& command : {std::vector<std::string>{"delete", Path("photo.jpg")},
                                                    {"delete", "../photo.jpg"},
                                                    {"rename", "../notes.txt", "moved"},
                                                    {"rename", Path("notes.txt"), "moved"}}) {
        std::vector<std::string> words{"library", "--library", lib};
        words.insert(words.end(), command.begin(), command.end());
        const TCliRun run = Cli(words);
        EXPECT_EQ(run.Status, 1) << command[1];
        EXPECT_TRUE(IsOneErrorLine(run.Err)) << run.Err;
        EXPECT_NE(run.Err.find("not by a path"), std::string::npos) << run.Err;
    }
    EXPECT_EQ(ReadBytes(Path("photo.jpg")), photo);
    EXPECT_EQ(ReadBytes(Path("notes.txt")), "my notes");

    // A source name with a line break gives a one-line caption; a leftover
    // temporary file of an interrupted write is no picture.
    SaveImageFile(Path("two\nlines.png"), MakeTestPicture(30, 30, 2));
    const TCliRun add = Cli({"library", "--library", lib, "add", Path("two\nlines.png")});
    ASSERT_EQ(add.Status, 0) << add.Err;
    EXPECT_EQ(add.Out, "two_lines.jpeg\n");
    WriteBytes(lib + "/.photo.jpeg.~ombrane-77-0.tmp", "partial");
    const TCliRun list = Cli({"library", "--library", lib, "list"});
    EXPECT_EQ(Sorted(Lines(list.Out)), (std::vector<std::string>{"photo.jpeg", "two_lines.jpeg"}));
}

// Two commands at once onto one name: two renames to one caption, two adds
// of one name without --force. Exactly one wins, no picture is lost.
TEST_F(CliTest, RacingLibraryCommandsNeverReplace) {
    const std::string lib = Path("refs");
    std::filesystem::create_directories(Path("one"));
    std::filesystem::create_directories(Path("two"));
    SaveImageFile(Path("one/same.png"), MakeTestPicture(40, 40, 1));
    SaveImageFile(Path("two/same.png"), MakeTestPicture(50, 50, 2));
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::filesystem::remove_all(lib);
        std::filesystem::create_directories(lib);
        SaveJpegFile(lib + "/a.jpeg", MakeTestPicture(20, 20, 3));
        SaveJpegFile(lib + "/b.jpeg", MakeTestPicture(21, 21, 4));
        const pid_t renames[] = {Spawn({"library", "--library", lib, "rename", "a", "goal"}, Path("e1")),
                                 Spawn({"library", "--library", lib, "rename", "b", "goal"}, Path("e2"))};
        const pid_t adds[] = {Spawn({"library", "--library", lib, "add", Path("one/same.png")}, Path("e3")),
                              Spawn({"library", "--library", lib, "add", Path("two/same.png")}, Path("e4"))};
        const int renamed = (Wait(renames[0]) == 0) + (Wait(renames[1]) == 0);
        const int added = (Wait(adds[0]) == 0) + (Wait(adds[1]) == 0);
        EXPECT_EQ(renamed, 1) << attempt;
        EXPECT_EQ(added, 1) << attempt;
        const TCliRun list = Cli({"library", "--library", lib, "list"});
        EXPECT_EQ(Lines(list.Out).size(), 3u) << list.Out;
    }
}

// A library folder that cannot be read says why (exit 1); a settings value
// naming a regular file is refused as --library is.
TEST_F(CliTest, LibraryFolderProblemsAreReported) {
    const std::string lib = Path("closed");
    std::filesystem::create_directories(lib);
    SaveJpegFile(lib + "/hidden.jpeg", MakeTestPicture(20, 20));
    ASSERT_EQ(chmod(lib.c_str(), 0700), 0);
    // Root reads every folder: the command runs as "nobody" then, who may
    // enter the scratch folder but not the closed one.
    const uid_t nobody = 65534;
    if (geteuid() == 0)
        ASSERT_EQ(chmod(Dir().c_str(), 0755), 0);
    else
        ASSERT_EQ(chmod(lib.c_str(), 0), 0);
    const pid_t child =
        Spawn({"library", "--library", lib, "list"}, Path("err.txt"), geteuid() == 0 ? nobody : uid_t(-1));
    EXPECT_EQ(Wait(child), 1);
    EXPECT_EQ(ReadBytes(Path("err.txt")).find("Permission denied") != std::string::npos, true)
        << ReadBytes(Path("err.txt"));
    chmod(lib.c_str(), 0700);

    WriteBytes(Path("plain.txt"), "not a folder");
    std::filesystem::create_directories(Path("home/config/tarnwerk"));
    WriteBytes(Path("home/config/tarnwerk/Ombrane.conf"), "[General]\nlib=" + Path("plain.txt") + "\n");
    const TCliRun fromSettings = Cli({"library", "list"});
    const TCliRun fromOption = Cli({"library", "--library", Path("plain.txt"), "list"});
    EXPECT_EQ(fromSettings.Status, 1);
    EXPECT_EQ(fromOption.Status, 1);
    EXPECT_EQ(fromSettings.Err, fromOption.Err);
    EXPECT_NE(fromSettings.Err.find("is not a folder"), std::string::npos) << fromSettings.Err;
}

// On a full disk, a picture written by "library add --force" and by "apply"
// fails with the system's reason and leaves the old file as it was.
TEST_F(CliTest, PictureWritesOnAFullDiskKeepTheOldFiles) {
    TSmallFileSystem disk("size=256k");
    if (!disk.Mounted()) GTEST_SKIP() << "mounting a small file system is not allowed here";
    const std::string lib = disk.PathOf("lib");
    std::filesystem::create_directories(lib);
    SaveImageFile(Path("small.png"), MakeTestPicture(8, 8, 1));
    std::filesystem::create_directories(Path("large"));
    SaveImageFile(Path("large/small.png"), MakeTestPicture(300, 300, 2));
    WriteBytes(Path("identity.cube"), "LUT_3D_SIZE 2\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n");
    ASSERT_EQ(Cli({"library", "--library", lib, "add", Path("small.png")}).Status, 0);
    ASSERT_EQ(Cli({"apply", Path("identity.cube"), Path("small.png"), "-o", disk.PathOf("out.bmp")}).Status, 0);
    const std::string libraryBefore = ReadBytes(lib + "/small.jpeg");
    const std::string outBefore = ReadBytes(disk.PathOf("out.bmp"));
    // Fill the disk up to the last few kilobytes.
    WriteBytes(disk.PathOf("filler"),
               std::string(256 * 1024 - 16 * 1024 - libraryBefore.size() - outBefore.size(), 'f'));

    const TCliRun add = Cli({"library", "--library", lib, "add", "--force", Path("large/small.png")});
    EXPECT_EQ(add.Status, 1);
    EXPECT_NE(add.Err.find("No space left on device"), std::string::npos) << add.Err;
    EXPECT_EQ(ReadBytes(lib + "/small.jpeg"), libraryBefore);
    const TCliRun apply = Cli({"apply", Path("identity.cube"), Path("large/small.png"), "-o", disk.PathOf("out.bmp")});
    EXPECT_EQ(apply.Status, 1);
    EXPECT_NE(apply.Err.find("No space left on device"), std::string::npos) << apply.Err;
    EXPECT_EQ(ReadBytes(disk.PathOf("out.bmp")), outBefore);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(lib), std::filesystem::directory_iterator()), 1);
}
