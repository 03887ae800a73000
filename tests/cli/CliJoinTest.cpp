#include <filesystem>

#include "imageio/ImageFile.h"
#include "tests/cli/CliHarness.h"
#include "tests/support/ClipMaking.h"

namespace {

std::string DecodedFrames(const std::string& file) {
    return RunCommand("ffmpeg -nostdin -v error -i '" + file + "' -map 0:v -f framemd5 - | grep -v '^#'");
}

class CliJoinTest : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        SaveImageFile(Path("ref.jpg"), MakeTestPicture(120, 90, 3));
        const TCliRun look = Cli({"look", Path("ref.jpg"), "--saturation", "150", "-o", Path("look.cube")});
        ASSERT_EQ(look.Status, 0) << look.Err;
        ASSERT_TRUE(MakeClip(Path("shot.mov"), 96, 54, 12,
                             "-map 0:v -map 1:a -pix_fmt yuv422p10le -c:v prores_ks -c:a pcm_s16le",
                             "-f lavfi -i sine=frequency=330:sample_rate=48000"));
    }
    // 'apply' over a range (out "" for the clip's end); the part's name.
    std::string Part(const std::string& in, const std::string& out, const std::string& name) {
        std::vector<std::string> words = {"apply", Path("look.cube"), Path("shot.mov"), "--in", in, "-o", Path(name)};
        if (!out.empty()) words.insert(words.end(), {"--out", out});
        const TCliRun run = Cli(words);
        EXPECT_EQ(run.Status, 0) << run.Err;
        return Path(name);
    }
};

// Three parts rendered by separate runs (the middle one chosen by
// timecode) join, found by the source they record, into the frames of one
// render; the source moved away is named with --source.
TEST_F(CliJoinTest, PartsOfSeparateRunsJoinIntoOneRender) {
    const TCliRun whole = Cli({"apply", Path("look.cube"), Path("shot.mov"), "-o", Path("whole.mov")});
    ASSERT_EQ(whole.Status, 0) << whole.Err;
    const std::string a = Part("0", "4", "a.mov"), b = Part("00:00:00:04", "9", "b.mov"), c = Part("9", "", "c.mov");
    TCliRun run = Cli({"join", c, a, b, "-o", Path("joined.mov")});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_TRUE(run.Out.empty() && run.Err.empty()) << run.Out << run.Err;
    const std::string frames = DecodedFrames(Path("joined.mov"));
    EXPECT_EQ(std::count(frames.begin(), frames.end(), '\n'), 12);
    EXPECT_EQ(frames, DecodedFrames(Path("whole.mov")));

    std::filesystem::rename(Path("shot.mov"), Path("moved.mov"));
    run = Cli({"join", a, b, c, "-o", Path("again.mov")});
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(IsOneErrorLine(run.Err)) << run.Err;
    EXPECT_NE(run.Err.find(Path("shot.mov")), std::string::npos) << run.Err;
    EXPECT_FALSE(std::filesystem::exists(Path("again.mov")));
    run = Cli({"join", a, b, c, "--source", Path("moved.mov"), "-o", Path("again.mov")});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(DecodedFrames(Path("again.mov")), frames);
}

// Bad command lines exit 2 and refused parts exit 1, each with one line;
// nothing is written over an input.
TEST_F(CliJoinTest, RefusalsAreOneLine) {
    const std::string a = Part("0", "6", "a.mov"), b = Part("6", "", "b.mov");
    const TCliRun help = Cli({"join", "--help"});
    EXPECT_EQ(help.Status, 0);
    EXPECT_EQ(help.Out.rfind("Usage: ombrane-cli join PART... -o OUTPUT", 0), 0u) << help.Out;
    EXPECT_NE(Cli({"--help"}).Out.find("\n  join "), std::string::npos);

    const std::string before = ReadBytes(a);
    for (const std::vector<std::string>& words :
         std::vector<std::vector<std::string>>{{"join", a, b},
                                               {"join", "-o", Path("j.mov")},
                                               {"join", a, b, "-o", a},
                                               {"join", a, b, "-o", Path("j.png")},
                                               {"join", a, b, "--source", Path("j.mov"), "-o", Path("j.mov")}}) {
        const TCliRun run = Cli(words);
        EXPECT_EQ(run.Status, 2) << words.back() << run.Err;
        EXPECT_TRUE(IsOneErrorLine(run.Err)) << run.Err;
    }
    EXPECT_EQ(ReadBytes(a), before);
    const TCliRun single = Cli({"join", b, "-o", Path("j.mov"), "--source", Path("shot.mov")});
    EXPECT_EQ(single.Status, 0) << "one part on its own is the render of its range: " << single.Err;
    const TCliRun whole = Cli({"join", Path("shot.mov"), "-o", Path("k.mov")});
    EXPECT_EQ(whole.Status, 1);
    EXPECT_EQ(whole.Err, "ombrane-cli: \"" + Path("shot.mov") +
                             "\" records no range of a source (parts are rendered with --in/--out to .mov, .mp4 "
                             "or .mkv)\n");
    EXPECT_FALSE(std::filesystem::exists(Path("k.mov")));
}

}  // namespace
