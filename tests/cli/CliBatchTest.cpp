#include <filesystem>

#include "imageio/ImageFile.h"
#include "tests/cli/CliHarness.h"

namespace fs = std::filesystem;

namespace {

class CliBatchTest : public CliTest {
protected:
    // Three good pictures of different types in a folder, and a reference.
    void SetUp() override {
        CliTest::SetUp();
        fs::create_directories(Path("in/sub"));
        SaveImageFile(Path("in/a.jpg"), MakeTestPicture(120, 80, 1));
        SaveImageFile(Path("in/b.png"), MakeTestPicture(90, 70, 2));
        SaveImageFile(Path("in/sub/c.bmp"), MakeTestPicture(60, 40, 3));
        SaveImageFile(Path("ref.jpg"), MakeTestPicture(150, 100, 4));
    }
};

TEST_F(CliBatchTest, OutputsEqualSingleCallsWhateverTheJobCount) {
    ASSERT_EQ(Cli({"grade", Path("ref.jpg"), Path("in"), "-r", "-o", Path("out1"), "-j", "1"}).Status, 0);
    ASSERT_EQ(Cli({"grade", Path("ref.jpg"), Path("in"), "-r", "-o", Path("out4"), "-j", "4"}).Status, 0);
    for (const std::string name : {"a.jpg", "b.png", "c.bmp"}) {
        const std::string input = name == "c.bmp" ? "in/sub/" + name : "in/" + name;
        ASSERT_EQ(Cli({"grade", Path("ref.jpg"), Path(input), "-o", Path("single_" + name)}).Status, 0);
        const std::string single = ReadBytes(Path("single_" + name));
        EXPECT_EQ(ReadBytes(Path("out1/" + name)), single) << name;
        EXPECT_EQ(ReadBytes(Path("out4/" + name)), single) << name;
    }
    // Without -r the sub-folder stays out; --format changes the type.
    ASSERT_EQ(Cli({"look", Path("ref.jpg"), "-o", Path("look.cube")}).Status, 0);
    ASSERT_EQ(Cli({"apply", Path("look.cube"), Path("in"), "-o", Path("png"), "--format", "PNG"}).Status, 0);
    EXPECT_TRUE(fs::exists(Path("png/a.png")));
    EXPECT_TRUE(fs::exists(Path("png/b.png")));
    EXPECT_FALSE(fs::exists(Path("png/c.png")));
    ASSERT_EQ(Cli({"apply", Path("look.cube"), Path("in/a.jpg"), "-o", Path("single.png")}).Status, 0);
    EXPECT_EQ(ReadBytes(Path("png/a.png")), ReadBytes(Path("single.png")));
}

TEST_F(CliBatchTest, ADamagedPictureIsReportedAndTheOthersGoOn) {
    WriteBytes(Path("in/broken.jpg"), ReadBytes(Path("in/a.jpg")).substr(0, 300));
    const TCliRun run = Cli({"apply", Path("ref.jpg"), Path("in"), "-o", Path("out")});
    // The reference is not a LUT: that fails the whole command before any work.
    EXPECT_EQ(run.Status, 1);
    EXPECT_FALSE(fs::exists(Path("out")));

    ASSERT_EQ(Cli({"look", Path("ref.jpg"), "-o", Path("look.3dl")}).Status, 0);
    const TCliRun batch = Cli({"apply", Path("look.3dl"), Path("in"), "-o", Path("out")});
    EXPECT_EQ(batch.Status, 1);
    const auto lines = Lines(batch.Err);
    ASSERT_EQ(lines.size(), 2u) << batch.Err;
    EXPECT_NE(lines[0].find("broken.jpg"), std::string::npos);
    EXPECT_EQ(lines[1], "ombrane-cli: 1 of 3 pictures failed");
    EXPECT_TRUE(fs::exists(Path("out/a.jpg")));
    EXPECT_TRUE(fs::exists(Path("out/b.png")));
    EXPECT_FALSE(fs::exists(Path("out/broken.jpg")));
}

TEST_F(CliBatchTest, InputsAreNeverOverwrittenAndOutputsOnlyWithForce) {
    const std::string before = ReadBytes(Path("in/a.jpg"));
    // An output equal to an input is refused before anything runs.
    const TCliRun same =
        Cli({"grade", Path("ref.jpg"), Path("in/a.jpg"), Path("in/b.png"), "-o", Path("in"), "--force"});
    EXPECT_EQ(same.Status, 2);
    EXPECT_TRUE(IsOneErrorLine(same.Err)) << same.Err;
    EXPECT_EQ(ReadBytes(Path("in/a.jpg")), before);
    // Two inputs with one output name are refused too.
    fs::create_directories(Path("other"));
    fs::copy_file(Path("in/a.jpg"), Path("other/a.jpg"));
    EXPECT_EQ(Cli({"grade", Path("ref.jpg"), Path("in/a.jpg"), Path("other/a.jpg"), "-o", Path("out")}).Status, 2);
    EXPECT_FALSE(fs::exists(Path("out")));

    ASSERT_EQ(Cli({"grade", Path("ref.jpg"), Path("in"), "-o", Path("out")}).Status, 0);
    WriteBytes(Path("out/a.jpg"), "keep me");
    const TCliRun again = Cli({"grade", Path("ref.jpg"), Path("in"), "-o", Path("out"), "-q"});
    EXPECT_EQ(again.Status, 1);
    EXPECT_EQ(ReadBytes(Path("out/a.jpg")), "keep me");
    ASSERT_EQ(Cli({"grade", Path("ref.jpg"), Path("in"), "-o", Path("out"), "--force"}).Status, 0);
    EXPECT_NE(ReadBytes(Path("out/a.jpg")), "keep me");
    EXPECT_EQ(Cli({"grade", Path("ref.jpg"), Path("in"), "-o", Path("out"), "-j", "0"}).Status, 2);
    EXPECT_EQ(Cli({"grade", Path("ref.jpg"), Path("in"), "-o", Path("out"), "--format", "gif"}).Status, 2);
}

}  // namespace

namespace {

TEST_F(CliBatchTest, MatchGradesEachFrameAsAloneAndMatchFirstKeepsOneLook) {
    ASSERT_EQ(Cli({"grade", Path("ref.jpg"), Path("in"), "-o", Path("each"), "--match"}).Status, 0);
    ASSERT_EQ(Cli({"grade", Path("ref.jpg"), Path("in"), "-o", Path("first"), "--match-first"}).Status, 0);
    ASSERT_EQ(Cli({"grade", Path("ref.jpg"), Path("in/a.jpg"), "-o", Path("a.jpg"), "--match"}).Status, 0);
    ASSERT_EQ(Cli({"grade", Path("ref.jpg"), Path("in/b.png"), "-o", Path("b.png"), "--match"}).Status, 0);
    EXPECT_EQ(ReadBytes(Path("each/a.jpg")), ReadBytes(Path("a.jpg")));
    EXPECT_EQ(ReadBytes(Path("each/b.png")), ReadBytes(Path("b.png")));
    // The first frame (in name order) sets the look for all.
    EXPECT_EQ(ReadBytes(Path("first/a.jpg")), ReadBytes(Path("a.jpg")));
    EXPECT_NE(ReadBytes(Path("first/b.png")), ReadBytes(Path("b.png")));
    EXPECT_EQ(Cli({"grade", Path("ref.jpg"), Path("in"), "-o", Path("x"), "--match", "--match-first"}).Status, 2);
}

}  // namespace
