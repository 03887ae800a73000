#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "imageio/DeepImageFile.h"
#include "imageio/ImageFile.h"
#include "tests/cli/CliHarness.h"

namespace {

// A picture with a different gradient for each seed, at the given storage.
TDeepImage Frame(int seed, const TPictureDepth& depth, int width = 48, int height = 32) {
    TDeepImage image(width, height, false);
    image.Depth = depth;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            float* p = image.Row(y) + 3 * x;
            p[0] = static_cast<float>(x) / (width - 1);
            p[1] = static_cast<float>(y) / (height - 1);
            p[2] = static_cast<float>((seed * 7 + x + y) % 11) / 10.0f;
        }
    return image;
}

// The files of the folder whose names begin with `prefix`.
std::set<std::string> FilesStartingWith(const std::filesystem::path& folder, const std::string& prefix) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().rfind(prefix, 0) == 0) names.insert(entry.path().filename().string());
    return names;
}

class CliSequenceTest : public CliTest {
protected:
    // Frames first..last of "NAME<number>.EXT" at the storage, the number
    // padded to `width` digits.
    void MakeSequence(const std::string& prefix, const std::string& extension, int first, int last,
                      const TPictureDepth& depth, int width = 4) {
        for (int number = first; number <= last; ++number) {
            std::string digits = std::to_string(number);
            digits.insert(0, width - std::min<int>(width, digits.size()), '0');
            SaveDeepImageFile(Path(prefix + digits + "." + extension), Frame(number, depth), depth);
        }
    }
    std::string Look() {
        if (look_.empty()) {
            SaveImageFile(Path("ref.jpg"), MakeTestPicture(160, 120, 5));
            const TCliRun run = Cli({"look", Path("ref.jpg"), "--saturation", "140", "-o", Path("look.cube")});
            EXPECT_EQ(run.Status, 0) << run.Err;
            look_ = Path("look.cube");
        }
        return look_;
    }

private:
    std::string look_;
};

// 10-bit DPX frames numbered from 86400: each output frame carries its source
// file's number, keeps the depth and is the same file as that frame graded alone.
TEST_F(CliSequenceTest, ASequenceIsGradedFrameByFrameAsEachStillWouldBe) {
    MakeSequence("scan.", "dpx", 86400, 86402, {"dpx", TSampleKind::Integer, 10, ""}, 5);
    TCliRun run = Cli({"apply", Look(), Path("scan.%05d.dpx"), "-o", Path("out.%05d.dpx")});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(FilesStartingWith(Dir(), "out."),
              (std::set<std::string>{"out.86400.dpx", "out.86401.dpx", "out.86402.dpx"}));
    EXPECT_EQ(LoadDeepImageFile(Path("out.86402.dpx")).Depth.Bits, 10);
    for (const char* number : {"86400", "86402"}) {
        run = Cli({"apply", Look(), Path(std::string("scan.") + number + ".dpx"), "-o", Path("still.dpx")});
        ASSERT_EQ(run.Status, 0) << run.Err;
        EXPECT_TRUE(ReadBytes(Path("still.dpx")) == ReadBytes(Path(std::string("out.") + number + ".dpx"))) << number;
    }
    EXPECT_FALSE(ReadBytes(Path("out.86400.dpx")) == ReadBytes(Path("out.86402.dpx")));
}

// 16-bit DPX through 'grade', with and without a footage space converted in
// float (which a deep clip frame cannot take): the still's bytes each time.
TEST_F(CliSequenceTest, DeepFramesTakeTheStillsRoadWithFootage) {
    MakeSequence("plate_", "dpx", 1, 2, {"dpx", TSampleKind::Integer, 16, ""});
    for (const std::vector<std::string>& extra :
         {std::vector<std::string>{}, std::vector<std::string>{"--footage", "slog3-sgamut3cine"}}) {
        std::vector<std::string> words = {"grade", Path("ref.jpg"), Path("plate_####.dpx"), "-o", Path("g_%02d.tif")};
        Look();
        words.insert(words.end(), extra.begin(), extra.end());
        TCliRun run = Cli(words);
        ASSERT_EQ(run.Status, 0) << run.Err;
        words[2] = Path("plate_0002.dpx");
        words[4] = Path("still.tif");
        run = Cli(words);
        ASSERT_EQ(run.Status, 0) << run.Err;
        EXPECT_TRUE(ReadBytes(Path("still.tif")) == ReadBytes(Path("g_02.tif"))) << extra.size();
        EXPECT_EQ(LoadDeepImageFile(Path("g_02.tif")).Depth.Bits, 16);
    }
}

// The first file of a run with --sequence; --in and --out count frames from
// it as 0; half EXR stays half.
TEST_F(CliSequenceTest, ARangeOfARunNamedByItsFirstFile) {
    MakeSequence("sh", "exr", 1, 4, {"openexr", TSampleKind::Half, 16, ""});
    TCliRun run = Cli(
        {"apply", Look(), Path("sh0001.exr"), "--sequence", "--in", "1", "--out", "3", "-o", Path("part.%04d.exr")});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(FilesStartingWith(Dir(), "part."), (std::set<std::string>{"part.0002.exr", "part.0003.exr"}));
    EXPECT_EQ(LoadDeepImageFile(Path("part.0003.exr")).Depth.Kind, TSampleKind::Half);
    run = Cli({"apply", Look(), Path("sh0003.exr"), "-o", Path("still.exr")});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_TRUE(ReadBytes(Path("still.exr")) == ReadBytes(Path("part.0003.exr")));
}

TEST_F(CliSequenceTest, AGapIsRefusedNamingTheMissingFileBeforeAnythingIsWritten) {
    MakeSequence("g", "exr", 1, 2, {"openexr", TSampleKind::Half, 16, ""});
    MakeSequence("g", "exr", 4, 4, {"openexr", TSampleKind::Half, 16, ""});
    const TCliRun run = Cli({"apply", Look(), Path("g%04d.exr"), "-o", Path("o.%04d.exr")});
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(IsOneErrorLine(run.Err)) << run.Err;
    EXPECT_NE(run.Err.find("\"" + Path("g0003.exr") + "\""), std::string::npos) << run.Err;
    EXPECT_TRUE(FilesStartingWith(Dir(), "o.").empty());
}

// --fps sets the rate that times and timecodes count frames at.
TEST_F(CliSequenceTest, TheRateComesFromFps) {
    MakeSequence("r.", "png", 10, 13, {"png", TSampleKind::Integer, 16, ""});
    const TCliRun still = Cli({"stats", Path("r.0012.png")});
    ASSERT_EQ(still.Status, 0) << still.Err;
    TCliRun run = Cli({"stats", Path("r.%04d.png"), "--fps", "2", "--frame", "1s"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, still.Out);
    run = Cli({"stats", Path("r.%04d.png"), "--fps", "2", "--frame", "00:00:01:00"});
    EXPECT_EQ(run.Out, still.Out);
    run = Cli({"stats", Path("r.%04d.png"), "--frame", "1s"});  // frame 24 at the default rate
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("has no frame 24"), std::string::npos) << run.Err;
    EXPECT_EQ(Cli({"stats", Path("r.%04d.png"), "--fps", "fast"}).Status, 2);
}

TEST_F(CliSequenceTest, OutputsThatCannotBeAreRefused) {
    MakeSequence("k_", "png", 1, 2, {"png", TSampleKind::Integer, 16, ""});
    const std::string before = ReadBytes(Path("k_0001.png"));
    TCliRun run = Cli({"apply", Look(), Path("k_%04d.png"), "-o", Path("k_####.png")});
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Err.find("would overwrite the input"), std::string::npos) << run.Err;
    EXPECT_TRUE(ReadBytes(Path("k_0001.png")) == before);
    run = Cli({"apply", Look(), Path("k_%04d.png"), "-o", Path("k.mov")});
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Err.find("is an image sequence"), std::string::npos) << run.Err;
    EXPECT_FALSE(std::filesystem::exists(Path("k.mov")));
    run = Cli({"stats", Path("ref.jpg"), "--sequence"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Err.find("--sequence needs a numbered picture file"), std::string::npos) << run.Err;
}

}  // namespace
