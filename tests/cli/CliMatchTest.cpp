#include <cstdio>
#include <filesystem>
#include <string>

#include "clip/ClipFile.h"
#include "clip/ClipModule.h"
#include "clip/ClipPicture.h"
#include "clip/ClipRender.h"
#include "engine/base/Error.h"
#include "engine/look/GradingRoad.h"
#include "engine/look/LookStrength.h"
#include "engine/picture/DeepGrade.h"
#include "formats/FormatRegistry.h"
#include "formats/LutConvert.h"
#include "grading/ShotMatching.h"
#include "tests/cli/CliHarness.h"
#include "tests/cli/ClipGrading.h"
#include "tests/cli/KnownLooks.h"
#include "tests/support/ClipMaking.h"
#include "tests/support/ShotPairs.h"

namespace {

// Same-scene stills made from one photograph (Debian's mate-backgrounds):
// GRADED a crop graded by a known look, FRAME another crop overlapping it
// (shifted, at another scale), TRUTH that crop through the same look.
class CliMatchTest : public CliTest {
protected:
    void SetUp() override {
        for (const char* name : {"Garden.jpg", "Dune.jpg"})
            if (!std::filesystem::exists(kPhotoFolder + name)) GTEST_SKIP() << kPhotoFolder + name << " is missing";
        CliTest::SetUp();
        photo_ = LoadPhoto("Garden.jpg", 1280);
        look_ = SCurveHueTwist();
        SaveImageFile(Path("graded.png"), Graded(CropFitted(photo_, 0, 0, 800, 500, 480, 300), *look_));
        frame_ = CropFitted(photo_, 160, 100, 720, 450, 480, 300);
        truth_ = Graded(frame_, *look_);
        SaveImageFile(Path("frame.png"), frame_);
        SaveImageFile(Path("other.png"), LoadPhoto("Dune.jpg", 480));
    }

    // The look the road fits to the files as written.
    TMatchedShot RoadShot(const std::string& graded, const std::string& frame, int size = kMaxFitSize) const {
        TShotMatching settings;
        settings.Size = size;
        return MatchShot(Loaded(graded), Loaded(frame), settings, graded, frame);
    }

    // The picture graded with the look on grade's road.
    static TImage GradedWith(const TLUT& lut, const TImage& picture) {
        TImage graded = picture.Clone();
        GradePicture(lut, graded);
        return graded;
    }

    TImage photo_;
    std::unique_ptr<TLUT> look_;
    TImage frame_;
    TImage truth_;
};

const TLutOutputProfile& Profile(const std::string& name) {
    for (const auto& profile : LutOutputProfiles())
        if (profile->Name == name) return *profile;
    throw EError("no profile " + name);
}

}  // namespace

// The file is the road's look written through the profile, byte for byte,
// at the fit's size and at a smaller one; the report leads with the share
// matched, then the fit as 'learn' reports it; the look grades FRAME close
// to the truth, far closer than FRAME as it is.
TEST_F(CliMatchTest, WritesTheRoadsLookThroughTheProfilesAndReports) {
    const TCliRun run =
        Cli({"match", Path("graded.png"), Path("frame.png"), "-o", Path("m.cube"), "--profile", "Cube 3D Davinci"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    const auto lines = Lines(run.Out);
    ASSERT_EQ(lines.size(), 3u) << run.Out;
    double matched = 0, mean = 0, p99 = 0, covered = 0;
    char name[4096] = {};
    ASSERT_EQ(std::sscanf(lines[0].c_str(), "matched: %lf %% of %4095s", &matched, name), 2) << lines[0];
    EXPECT_EQ(std::string(name), Path("frame.png"));
    EXPECT_GT(matched, 40.0);
    EXPECT_LE(matched, 100.0);
    ASSERT_EQ(std::sscanf(lines[1].c_str(), "fit: mean ΔE2000 %lf, 99th percentile %lf", &mean, &p99), 2) << lines[1];
    EXPECT_LE(mean, p99);
    ASSERT_EQ(std::sscanf(lines[2].c_str(), "covered: %lf %% of the grid's colour volume", &covered), 1) << lines[2];
    EXPECT_GT(covered, 0.0);

    const TMatchedShot shot = RoadShot(Path("graded.png"), Path("frame.png"));
    EXPECT_NEAR(matched, 100.0 * shot.MatchedShare, 0.05);
    const TLutOutputProfile& davinci = Profile("Cube 3D Davinci");
    WriteConverted(*shot.Lut, Path("road.cube"), davinci, 33, davinci.DefaultBits);
    EXPECT_EQ(ReadBytes(Path("m.cube")), ReadBytes(Path("road.cube")));

    const double untouched = MeanDifference(frame_, truth_);
    const double graded = MeanDifference(GradedWith(*ReadLutFile(Path("m.cube")), frame_), truth_);
    EXPECT_LT(graded, 3.0);
    EXPECT_LT(graded, untouched / 3) << "doing nothing: " << untouched;

    ASSERT_EQ(Cli({"match", Path("graded.png"), Path("frame.png"), "-o", Path("m17.spi3d"), "--size", "17"}).Status, 0);
    const TMatchedShot small = RoadShot(Path("graded.png"), Path("frame.png"), 17);
    const TLutOutputProfile& spi3d = Profile("Sony Imageworks spi3d");
    WriteConverted(*small.Lut, Path("road17.spi3d"), spi3d, 17, spi3d.DefaultBits);
    EXPECT_EQ(ReadBytes(Path("m17.spi3d")), ReadBytes(Path("road17.spi3d")));
}

// Another scene is refused in one line naming both files and the share,
// pointing at --match; nothing is written. A minimum the pair cannot reach
// refuses the same scene too.
TEST_F(CliMatchTest, AnotherSceneIsRefused) {
    TCliRun run = Cli({"match", Path("graded.png"), Path("other.png"), "-o", Path("m.cube")});
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(IsOneErrorLine(run.Err)) << run.Err;
    EXPECT_NE(run.Err.find("of \"" + Path("other.png") + "\" shows the scene of \"" + Path("graded.png") + "\""),
              std::string::npos)
        << run.Err;
    EXPECT_NE(run.Err.find("--match matches colour statistics instead"), std::string::npos) << run.Err;
    EXPECT_FALSE(std::filesystem::exists(Path("m.cube")));

    run = Cli({"grade", Path("graded.png"), Path("other.png"), "-o", Path("g.png"), "--match-shot"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(IsOneErrorLine(run.Err)) << run.Err;
    EXPECT_FALSE(std::filesystem::exists(Path("g.png")));

    run = Cli({"match", Path("graded.png"), Path("frame.png"), "-o", Path("m.cube"), "--min-matched", "100"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("(at least 100 % is needed)"), std::string::npos) << run.Err;

    // The frames are read side by side; of two that fail, GRADED_FRAME is
    // named, as when they are read one after the other.
    run = Cli({"match", Path("none-graded.png"), Path("none-frame.png"), "-o", Path("m.cube")});
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(IsOneErrorLine(run.Err)) << run.Err;
    EXPECT_NE(run.Err.find(Path("none-graded.png")), std::string::npos) << run.Err;
    run = Cli({"match", Path("graded.png"), Path("none-frame.png"), "-o", Path("m.cube")});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find(Path("none-frame.png")), std::string::npos) << run.Err;
    EXPECT_FALSE(std::filesystem::exists(Path("m.cube")));
}

TEST_F(CliMatchTest, UsageErrors) {
    const std::string graded = Path("graded.png"), frame = Path("frame.png");
    const struct {
        std::vector<std::string> Words;
        const char* Says;
    } cases[] = {
        {{"match", graded, "-o", Path("m.cube")}, "GRADED_FRAME FRAME"},
        {{"match", graded, frame, "-o", frame}, "is one of the inputs"},
        {{"match", graded, frame, "-o", Path("m.cube"), "--min-matched", "101"}, "--min-matched"},
        {{"match", graded, frame, "-o", Path("m.cube"), "--min-matched", "x"}, "--min-matched"},
        {{"match", graded, frame, "-o", Path("m.cube"), "--smoothness", "0"}, "--smoothness"},
        {{"match", graded, frame, "-o", Path("m.cube"), "--profile", "Cube 1D"}, "1D curve"},
        {{"grade", graded, frame, "-o", Path("g.png"), "--match-shot", "--match"}, "--match-shot excludes"},
        {{"grade", graded, frame, frame, "-o", Path("dir"), "--match-shot", "--match-first"}, "--match-shot excludes"},
        {{"grade", graded, frame, "-o", Path("g.png"), "--match-shot", "--gain", "80"}, "--strength only"},
        {{"grade", graded, frame, "-o", Path("g.png"), "--smoothness", "2"}, "is for --match-shot"},
        {{"grade", graded, frame, "-o", Path("g.png"), "--min-matched", "30"}, "is for --match-shot"},
        {{"grade", "--look", Path("a.olook"), frame, "-o", Path("g.png"), "--match-shot"}, "excludes --look"},
    };
    for (const auto& c : cases) {
        const TCliRun run = Cli(c.Words);
        EXPECT_EQ(run.Status, 2) << c.Says << ": " << run.Err;
        EXPECT_TRUE(IsOneErrorLine(run.Err)) << run.Err;
        EXPECT_NE(run.Err.find(c.Says), std::string::npos) << run.Err;
    }
    EXPECT_FALSE(std::filesystem::exists(Path("m.cube")));
    EXPECT_FALSE(std::filesystem::exists(Path("g.png")));
}

// grade --match-shot grades FRAME with the road's look, exactly as grade
// applies a look; --strength doses it.
TEST_F(CliMatchTest, GradeWithTheMatchedLook) {
    const TCliRun run = Cli({"grade", Path("graded.png"), Path("frame.png"), "-o", Path("g.png"), "--match-shot"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const TMatchedShot shot = RoadShot(Path("graded.png"), Path("frame.png"));
    const TImage out = Loaded(Path("g.png"));
    EXPECT_TRUE(out.SamePixels(GradedWith(*shot.Lut, frame_)));
    EXPECT_LT(MeanDifference(out, truth_), 3.0);

    ASSERT_EQ(Cli({"grade", Path("graded.png"), Path("frame.png"), "-o", Path("half.png"), "--match-shot", "--strength",
                   "50"})
                  .Status,
              0);
    TLUT half;
    BakeCube(*shot.Lut, shot.Lut->CubeSize, half);
    ApplyLookStrength(0.5, half);
    const TImage halfOut = Loaded(Path("half.png"));
    EXPECT_TRUE(halfOut.SamePixels(GradedWith(half, frame_)));
    EXPECT_FALSE(halfOut.SamePixels(out));
}

// In a batch each picture is matched on its own, as a single grade matches
// it; a picture of another scene fails alone.
TEST_F(CliMatchTest, BatchMatchesEachPictureOnItsOwn) {
    std::filesystem::create_directory(Path("in"));
    SaveImageFile(Path("in/a.png"), frame_);
    SaveImageFile(Path("in/b.png"), CropFitted(photo_, 40, 60, 880, 550, 480, 300));
    SaveImageFile(Path("in/c.png"), LoadPhoto("Dune.jpg", 480));
    const TCliRun run = Cli({"grade", Path("graded.png"), Path("in"), "-o", Path("out"), "--match-shot", "-q"});
    EXPECT_EQ(run.Status, 1) << run.Err;
    EXPECT_NE(run.Err.find("c.png"), std::string::npos) << run.Err;
    EXPECT_FALSE(std::filesystem::exists(Path("out/c.png")));
    for (const char* name : {"a.png", "b.png"}) {
        const std::string input = Path(std::string("in/") + name);
        const TMatchedShot shot = RoadShot(Path("graded.png"), input);
        EXPECT_TRUE(Loaded(Path(std::string("out/") + name)).SamePixels(GradedWith(*shot.Lut, Loaded(input)))) << name;
    }
    EXPECT_FALSE(Loaded(Path("out/a.png")).SamePixels(Loaded(Path("out/b.png"))));
}

namespace {

bool SameSamples(const TDeepImage& a, const TDeepImage& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int y = 0; y < a.Height(); ++y)
        if (!std::equal(a.Row(y), a.Row(y) + 3 * a.Width(), b.Row(y))) return false;
    return true;
}

}  // namespace

// A clip with camera motion (made by ffmpeg from the photograph): the look
// is fitted once, on the first frame or on --match-frame's, and every frame
// rendered with it.
TEST_F(CliMatchTest, ClipFittedOnceFromTheChosenFrame) {
    // The crop pans from the picture's middle, where the flower gives the
    // registration its features.
    const std::string clip = Path("pan.mkv");
    int status = -1;
    RunCommand("ffmpeg -nostdin -v error -y -loop 1 -framerate 25 -i " + std::string(kClipPhoto) +
                   " -vf \"crop=iw/2:ih/2:iw/4+n*40:ih/4+n*25,scale=320:200\" -t 0.2 -pix_fmt yuv444p10le -c:v ffv1 '" +
                   clip + "' 2>&1",
               &status);
    ASSERT_EQ(status, 0);
    TImage full;
    LoadImageFile(kClipPhoto, full);
    SaveImageFile(Path("graded-clip.png"), Graded(CropFitted(full, 700, 440, 1280, 800, 320, 200), *look_));

    TClip source(clip);
    std::vector<TImage> firstFrames;  // frame 0 as each look grades it
    for (const char* chosen : {"", "4"}) {
        SCOPED_TRACE(std::string("--match-frame ") + chosen);
        std::vector<std::string> words = {"grade", Path("graded-clip.png"), clip,
                                          "-o",    Path("out.mkv"),         "--match-shot"};
        if (*chosen) words.insert(words.end(), {"--match-frame", chosen});
        const TCliRun run = Cli(words);
        ASSERT_EQ(run.Status, 0) << run.Err;
        const TImage matchFrame = ClipFrameToImage(source.Frame(*chosen ? 4 : 0));
        const TMatchedShot shot =
            MatchShot(Loaded(Path("graded-clip.png")), matchFrame, {}, Path("graded-clip.png"), clip);
        TClip rendered(Path("out.mkv"));
        for (int n = 0; n < 5; ++n)
            EXPECT_TRUE(SameSamples(rendered.Frame(n), GradedAndStored(*shot.Lut, source.Frame(n), clip))) << n;
        EXPECT_THROW(rendered.Frame(5), EError);
        firstFrames.push_back(ClipFrameToImage(rendered.Frame(0)));
    }
    // The two frames give two looks: the chosen frame was the one matched.
    EXPECT_FALSE(firstFrames[0].SamePixels(firstFrames[1]));
}

// With --footage FRAME is footage: the LUT takes it and says so, as learn's
// does; scene-linear footage is refused as learn refuses it.
TEST_F(CliMatchTest, FootageAsLearnTakesIt) {
    TCliRun run = Cli({"match", Path("graded.png"), Path("frame.png"), "-o", Path("f.cube"), "--footage",
                       "slog3-sgamut3cine", "--profile", "Cube 3D Davinci"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(ReadBytes(Path("f.cube")).rfind("# input: Sony S-Log3 / S-Gamut3.Cine\n", 0), 0u);
    ASSERT_EQ(Cli({"match", Path("graded.png"), Path("frame.png"), "-o", Path("d.cube")}).Status, 0);
    EXPECT_EQ(ReadBytes(Path("d.cube")).find("# input:"), std::string::npos);

    run = Cli({"match", Path("graded.png"), Path("frame.png"), "-o", Path("l.cube"), "--footage", "acescg"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(IsOneErrorLine(run.Err)) << run.Err;
    EXPECT_NE(run.Err.find("is scene-linear: 'match' makes LUTs on 0..1 values"), std::string::npos) << run.Err;
    EXPECT_FALSE(std::filesystem::exists(Path("l.cube")));
}
