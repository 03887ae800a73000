#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>

#include "clip/ClipFile.h"
#include "clip/ClipModule.h"
#include "clip/ClipRender.h"
#include "engine/lut/CubeInterpolation.h"
#include "engine/lut/LUT.h"
#include "engine/picture/DeepGrade.h"
#include "fileio/AtomicFile.h"
#include "formats/LutConvert.h"
#include "imageio/DeepImageFile.h"
#include "imageio/ImageFile.h"
#include "tests/cli/CliHarness.h"
#include "tests/cli/ClipGrading.h"
#include "tests/cli/ClipLookTest.h"
#include "tests/support/ClipMaking.h"

namespace {

// The photograph's colours converted to BT.709 limited range and tagged so.
const std::string kBt709 =
    ",scale=out_color_matrix=bt709:out_range=tv,setparams=colorspace=bt709:range=tv:color_primaries=bt709:color_trc="
    "bt709";

std::string Probe(const std::string& file, const std::string& entries) {
    return RunCommand("ffprobe -v error -show_entries " + entries + " -of default=noprint_wrappers=1 '" + file + "'");
}

class CliClipTest : public ClipLookTest {};

// FFV1 10-bit 4:4:4 with PCM audio and chapters: every frame of the render
// is the graded frame exactly, the audio packets are the source's, and the
// stream keeps its size, rate, time base, pixel format and colour tags.
TEST_F(CliClipTest, LosslessRenderIsExactAndCopiesAudioAndChapters) {
    std::ofstream(Path("chapters.txt")) << ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=80\ntitle=first\n"
                                           "[CHAPTER]\nTIMEBASE=1/1000\nSTART=80\nEND=200\ntitle=second\n";
    const std::string clip = Path("shot.mkv");
    ASSERT_TRUE(MakeClip(clip, 64, 48, 5,
                         "-map 0:v -map 1:a -map_chapters 2 -pix_fmt yuv444p10le -c:v ffv1 -c:a pcm_s24le",
                         "-f lavfi -i sine=frequency=440:sample_rate=48000 -i '" + Path("chapters.txt") + "'", kBt709));
    WriteBytes(Path("graded.mkv"), "the old file");
    TCliRun run = Cli({"apply", Path("look.cube"), clip, "-o", Path("graded.mkv")});
    ASSERT_EQ(run.Status, 0) << run.Err;

    TClip source(clip), graded(Path("graded.mkv"));
    for (int n = 0; n < 5; ++n)
        EXPECT_EQ(DifferingSamples16(graded.Frame(n), GradedAndStored(*lut_, source.Frame(n), clip)), 0) << n;
    EXPECT_THROW(graded.Frame(5), EError);

    const auto audio = [](const std::string& file) {
        return RunCommand("ffmpeg -nostdin -v error -i '" + file + "' -map 0:a -c copy -f md5 -");
    };
    EXPECT_NE(audio(clip).find("MD5="), std::string::npos);
    EXPECT_EQ(audio(Path("graded.mkv")), audio(clip));
    const std::string entries = "stream=codec_name,width,height,pix_fmt,r_frame_rate,time_base,color_range,color_space";
    EXPECT_EQ(Probe(Path("graded.mkv"), entries), Probe(clip, entries));
    const std::string chapters = Probe(Path("graded.mkv"), "chapter=start_time,end_time:chapter_tags=title");
    EXPECT_NE(chapters.find("title=second"), std::string::npos) << chapters;
    EXPECT_EQ(chapters, Probe(clip, "chapter=start_time,end_time:chapter_tags=title"));
}

// ProRes 422 HQ and H.264 renders against ffmpeg's own grading with the
// same LUT (trilinear) and the same encoder settings.
TEST_F(CliClipTest, LossyRendersMatchFfmpegsLut3d) {
    struct TCase {
        const char* Name;
        std::string Encoding;
        double Least;
    };
    const TCase cases[] = {
        {"prores.mov", "-pix_fmt yuv422p10le -c:v prores_ks -profile:v 3", 45},
        {"h264.mp4", "-pix_fmt yuv420p -c:v libx264 -crf 16", 42},
    };
    for (const TCase& c : cases) {
        const std::string clip = Path(c.Name);
        ASSERT_TRUE(MakeClip(clip, 256, 144, 4, c.Encoding, "", kBt709));
        const std::string ours = Path(std::string("ours-") + c.Name);
        TCliRun run = Cli({"apply", Path("look.cube"), clip, "-o", ours});
        ASSERT_EQ(run.Status, 0) << run.Err;
        const std::string theirs = Path(std::string("theirs-") + c.Name);
        int status = -1;
        RunCommand("ffmpeg -nostdin -v error -i '" + clip + "' -vf \"lut3d=file='" + Path("look.cube") +
                       "':interp=trilinear,scale=out_color_matrix=bt709\" " + c.Encoding + " '" + theirs + "' 2>&1",
                   &status);
        ASSERT_EQ(status, 0);
        const std::string entries = "stream=codec_name,profile,pix_fmt,width,height,r_frame_rate";
        EXPECT_EQ(Probe(ours, entries), Probe(clip, entries)) << c.Name;
        EXPECT_GE(Psnr(ours, theirs), c.Least) << c.Name;
        // Not the source itself: the look changed the frames.
        EXPECT_LT(Psnr(ours, clip), 40) << c.Name;
    }
}

// --in and --out cut the range; the timecode moves with it. A frame that
// cannot be decoded fails the render naming it, and the old file stays.
TEST_F(CliClipTest, RangesTimecodesAndFailedRenders) {
    const std::string clip = Path("tc.mov");
    ASSERT_TRUE(
        MakeClip(clip, 64, 48, 6, "-pix_fmt yuv444p10le -c:v ffv1 -slicecrc 1 -timecode 01:00:00:00", "", kBt709));
    TCliRun run = Cli({"apply", Path("look.cube"), clip, "--in", "2", "--out", "00:00:00:04", "-o", Path("cut.mov")});
    ASSERT_EQ(run.Status, 0) << run.Err;
    TClip source(clip), cut(Path("cut.mov"));
    EXPECT_EQ(cut.Info().StartTimecode, "01:00:00:02");
    EXPECT_EQ(DifferingSamples16(cut.Frame(0), GradedAndStored(*lut_, source.Frame(2), clip)), 0);
    EXPECT_EQ(DifferingSamples16(cut.Frame(1), GradedAndStored(*lut_, source.Frame(3), clip)), 0);
    EXPECT_THROW(cut.Frame(2), EError);

    const std::string damaged = Path("damaged.avi");
    ASSERT_TRUE(MakeClip(damaged, 160, 120, 8, "-pix_fmt yuv444p10le -c:v ffv1 -slicecrc 1"));
    const auto size = std::filesystem::file_size(damaged);
    {
        std::fstream bytes(damaged, std::ios::in | std::ios::out | std::ios::binary);
        bytes.seekp(static_cast<std::streamoff>(size * 7 / 10));
        bytes.write(std::string(64, '\x5a').data(), 64);
    }
    WriteBytes(Path("out.avi"), "the old file");
    run = Cli({"apply", Path("look.cube"), damaged, "-o", Path("out.avi")});
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(IsOneErrorLine(run.Err)) << run.Err;
    EXPECT_TRUE(std::regex_search(run.Err, std::regex("damaged.avi\": frame [1-7] "))) << run.Err;
    EXPECT_EQ(ReadBytes(Path("out.avi")), "the old file");
    for (const auto& entry : std::filesystem::directory_iterator(Dir()))
        EXPECT_FALSE(IsTemporaryFileName(entry.path().filename().string())) << entry.path();

    run = Cli({"apply", Path("look.cube"), Path("ref.jpg"), "-o", Path("x.mov")});
    EXPECT_EQ(run.Status, 2) << run.Err;
    run = Cli({"apply", Path("look.cube"), clip, "--frame", "1.5", "-o", Path("x.tif")});
    EXPECT_EQ(run.Status, 2) << run.Err;
}

// --frame N is the frame ffmpeg decodes as N, graded within one 10-bit
// step; the commands that measure a picture measure that frame, and a
// command on pictures never loads the clip libraries.
TEST_F(CliClipTest, FrameOptionTakesTheDecodersFrame) {
    const std::string clip = Path("shot.mkv");
    ASSERT_TRUE(MakeClip(clip, 64, 48, 6, "-pix_fmt yuv444p10le -c:v ffv1", "", kBt709));
    TCliRun run = Cli({"apply", Path("look.cube"), clip, "--frame", "0.16s", "-o", Path("f4.tif")});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const TDeepImage ours = LoadDeepImageFile(Path("f4.tif"));
    const std::string raw =
        RunCommand("ffmpeg -nostdin -v error -i '" + clip +
                   "' -vf \"select=eq(n\\,4)\" -vsync 0 -frames:v 1 -f rawvideo -pix_fmt yuv444p10le -");
    ASSERT_EQ(raw.size(), 64u * 48 * 3 * 2);
    double worst = 0;
    for (int i = 0; i < 64 * 48; ++i) {
        std::uint16_t code[3];
        for (int p = 0; p < 3; ++p) std::memcpy(&code[p], raw.data() + (p * 64 * 48 + i) * 2, 2);
        const double y = (code[0] / 4.0 - 16) / 219, cb = (code[1] / 4.0 - 128) / 224, cr = (code[2] / 4.0 - 128) / 224;
        const double r = y + 1.5748 * cr, g = y - 0.187324 * cb - 0.468124 * cr, b = y + 1.8556 * cb;
        TRGBDouble graded;
        lut_->LookupNormalized({std::clamp(r, 0.0, 1.0), std::clamp(g, 0.0, 1.0), std::clamp(b, 0.0, 1.0)}, graded);
        const float* pixel = ours.Row(i / 64) + 3 * (i % 64);
        worst = std::max({worst, std::fabs(pixel[0] - graded.Red), std::fabs(pixel[1] - graded.Green),
                          std::fabs(pixel[2] - graded.Blue)});
    }
    EXPECT_LE(worst, 1.0 / 1023);

    // The measuring commands take the same frame as a picture of it.
    SaveImageFile(Path("f4.png"), DeepToImage(LoadClipFrame(clip, ParseFrameChoice("4"))));
    run = Cli({"stats", clip, "--frame", "00:00:00:04", "--json"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, Cli({"stats", Path("f4.png"), "--json"}).Out);
    EXPECT_NE(run.Out, Cli({"stats", clip, "--json"}).Out);
    ASSERT_EQ(Cli({"look", Path("ref.jpg"), "--match", clip, "--frame", "4", "-o", Path("a.cube")}).Status, 0);
    ASSERT_EQ(Cli({"look", Path("ref.jpg"), "--match", Path("f4.png"), "-o", Path("b.cube")}).Status, 0);
    // The same table; only the comment naming the matched file differs.
    const std::string matchedClip = ReadBytes(Path("a.cube")), matchedPicture = ReadBytes(Path("b.cube"));
    EXPECT_TRUE(matchedClip.substr(matchedClip.find('\n')) == matchedPicture.substr(matchedPicture.find('\n')));
    run = Cli({"scopes", clip, "--frame", "4", "-o", Path("a.png")});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(ReadBytes(Path("a.png")),
              (Cli({"scopes", Path("f4.png"), "-o", Path("b.png")}), ReadBytes(Path("b.png"))));

    run = Cli({"stats", Path("f4.png")}, "LD_DEBUG=files LD_DEBUG_OUTPUT=" + Path("loads"));
    ASSERT_EQ(run.Status, 0);
    std::string loads;
    for (const auto& entry : std::filesystem::directory_iterator(Dir()))
        if (entry.path().filename().string().starts_with("loads")) loads += ReadBytes(entry.path().string());
    EXPECT_NE(loads.find("libQt6Core"), std::string::npos);
    EXPECT_EQ(loads.find("libavcodec"), std::string::npos);
    EXPECT_EQ(loads.find("ombrane-ffmpeg"), std::string::npos);
}

// 'grade' renders a clip with the look matched to a chosen frame: the same
// frames as applying the look that 'look --match' exports for that frame
// at the largest grid (within the rounding of the exported file).
TEST_F(CliClipTest, GradeRendersWithTheLookMatchedToAFrame) {
    const std::string clip = Path("shot.mkv");
    ASSERT_TRUE(MakeClip(clip, 64, 48, 4, "-pix_fmt yuv444p10le -c:v ffv1", "", kBt709));
    TCliRun run =
        Cli({"grade", Path("ref.jpg"), clip, "--match-frame", "2", "--saturation", "150", "-o", Path("g.mkv")});
    ASSERT_EQ(run.Status, 0) << run.Err;
    run = Cli({"look", Path("ref.jpg"), "--match", clip, "--frame", "2", "--saturation", "150", "--profile", "8", "-o",
               Path("m.cube")});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const auto matched = ReadLutFile(Path("m.cube"));
    TClip source(clip), graded(Path("g.mkv"));
    double worst = 0;
    for (int n = 0; n < 4; ++n) {
        const TDeepImage ours = graded.Frame(n);
        const TDeepImage expected = GradedAndStored(*matched, source.Frame(n), clip);
        for (int y = 0; y < ours.Height(); ++y)
            for (int i = 0; i < 3 * ours.Width(); ++i)
                worst = std::max(worst, double(std::fabs(ours.Row(y)[i] - expected.Row(y)[i])));
    }
    EXPECT_LE(worst, 2.0 / 876);

    // --interpolation reaches the render: its frames are the tetrahedral
    // lookup's, which differ from the trilinear ones.
    run = Cli({"grade", Path("ref.jpg"), clip, "--match-frame", "2", "--saturation", "150", "--interpolation",
               "tetrahedral", "-o", Path("t.mkv")});
    ASSERT_EQ(run.Status, 0) << run.Err;
    UseCubeInterpolation(*matched, TCubeInterpolation::Tetrahedral);
    TClip tetrahedral(Path("t.mkv"));
    double worstTetrahedral = 0, apart = 0;
    for (int n = 0; n < 4; ++n) {
        const TDeepImage ours = tetrahedral.Frame(n), trilinear = graded.Frame(n);
        const TDeepImage expected = GradedAndStored(*matched, source.Frame(n), clip);
        for (int y = 0; y < ours.Height(); ++y)
            for (int i = 0; i < 3 * ours.Width(); ++i) {
                worstTetrahedral = std::max(worstTetrahedral, double(std::fabs(ours.Row(y)[i] - expected.Row(y)[i])));
                apart = std::max(apart, double(std::fabs(ours.Row(y)[i] - trilinear.Row(y)[i])));
            }
    }
    EXPECT_LE(worstTetrahedral, 2.0 / 876);
    EXPECT_GT(apart, 0.0);
    run = Cli({"grade", Path("ref.jpg"), clip, "--match", "--match-first", "-o", Path("h.mkv")});
    EXPECT_EQ(run.Status, 2);
}

}  // namespace

// Failures while a clip is graded and written name the file, as every other
// message does: frames of a pixel format no converter writes, an encoder
// without a constant-rate factor, and footage on frames of more than 8
// bits. Nothing is left behind.
TEST_F(CliClipTest, FailuresWhileRenderingNameTheClip) {
    const std::string palette = Path("palette.mkv");
    ASSERT_TRUE(MakeClip(palette, 64, 48, 3, "-pix_fmt pal8 -c:v png"));
    TCliRun run = Cli({"apply", Path("look.cube"), palette, "-o", Path("out.mkv")});
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(IsOneErrorLine(run.Err)) << run.Err;
    EXPECT_NE(run.Err.find("\"" + Path("out.mkv") + "\": frames in the pixel format pal8 cannot be written"),
              std::string::npos)
        << run.Err;
    EXPECT_FALSE(std::filesystem::exists(Path("out.mkv")));

    const std::string deep = Path("deep.mkv");
    ASSERT_TRUE(MakeClip(deep, 64, 48, 3, "-pix_fmt yuv444p10le -c:v ffv1"));
    run = Cli({"apply", Path("look.cube"), deep, "-o", Path("crf.mkv"), "--crf", "20"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("\"" + Path("crf.mkv") + "\": the encoder ffv1 takes no constant-rate factor"),
              std::string::npos)
        << run.Err;
    EXPECT_FALSE(std::filesystem::exists(Path("crf.mkv")));
    for (const char* output : {"graded.mkv", "graded.tif"}) {
        run = Cli({"grade", Path("ref.jpg"), deep, "-o", Path(output), "--footage", "slog3-sgamut3cine"});
        EXPECT_EQ(run.Status, 1);
        EXPECT_TRUE(IsOneErrorLine(run.Err)) << run.Err;
        EXPECT_NE(run.Err.find("\"" + deep + "\": --footage converts 8-bit frames only"), std::string::npos) << run.Err;
        EXPECT_FALSE(std::filesystem::exists(Path(output)));
    }
    for (const auto& entry : std::filesystem::directory_iterator(Dir()))
        EXPECT_FALSE(IsTemporaryFileName(entry.path().filename().string())) << entry.path();
}
