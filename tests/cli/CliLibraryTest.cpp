#include <algorithm>
#include <filesystem>

#include "CliHarness.h"
#include "ImageFile.h"
#include "ReferenceLibrary.h"

namespace {

std::vector<std::string> Sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST_F(CliTest, LibraryAddListRenameDeleteAsTheWindowDoes)
{
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

    // delete by caption; a missing name is an error.
    ASSERT_EQ(Cli({"library", "--library", lib, "delete", "dusk"}).Status, 0);
    EXPECT_FALSE(std::filesystem::exists(lib + "/dusk.jpeg"));
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

TEST_F(CliTest, LibraryWithoutFolderUsesTheSettingsAsTheWindow)
{
    const std::string lib = Path("configured");
    std::filesystem::create_directories(lib);
    std::filesystem::create_directories(Path("home/config/tarnwerk"));
    WriteBytes(Path("home/config/tarnwerk/Ombrane.conf"), "[General]\nlib=" + lib + "\n");
    SaveImageFile(lib + "/mood.jpeg", MakeTestPicture(60, 60));
    const TCliRun list = Cli({"library", "list"});
    ASSERT_EQ(list.Status, 0) << list.Err;
    EXPECT_EQ(list.Out, "mood.jpeg\n");
}
