#include <cstdlib>
#include <filesystem>

#include "clip/ClipFile.h"
#include "clip/ClipRender.h"
#include "fileio/AtomicFile.h"
#include "tests/cli/CliHarness.h"
#include "tests/cli/ClipGrading.h"
#include "tests/cli/ClipLookTest.h"
#include "tests/support/CarriedClips.h"

namespace {

constexpr int kWidth = 64, kHeight = 48, kFrames = 3;

// The decoded frames of one video stream, as ffmpeg's MD5 of them.
std::string StreamMd5(const std::string& file, int stream) {
    return RunCommand("ffmpeg -nostdin -v error -i '" + file + "' -map 0:v:" + std::to_string(stream) +
                      " -f md5 - 2>&1");
}

class CliClipCarryTest : public ClipLookTest {
protected:
    TCliRun Render(const std::string& clip, const std::string& output, const std::vector<std::string>& options = {}) {
        std::vector<std::string> arguments{"apply", Path("look.cube"), clip, "-o", output};
        arguments.insert(arguments.end(), options.begin(), options.end());
        return Cli(arguments);
    }
    // A failed render: one line naming the output with `message`, nothing left.
    void ExpectRefused(const TCliRun& run, const std::string& output, const std::string& message) {
        EXPECT_EQ(run.Status, 1);
        EXPECT_TRUE(IsOneErrorLine(run.Err)) << run.Err;
        EXPECT_NE(run.Err.find("\"" + output + "\": " + message), std::string::npos) << run.Err;
        EXPECT_FALSE(std::filesystem::exists(output));
        for (const auto& entry : std::filesystem::directory_iterator(Dir()))
            EXPECT_FALSE(IsTemporaryFileName(entry.path().filename().string())) << entry.path();
    }
};

// Renders of clips with alpha keep the pixel format and the alpha plane as
// ffmpeg reads it (exactly for the lossless codecs); the colours are
// graded, exactly as the frame graded and stored for FFV1.
TEST_F(CliClipCarryTest, AlphaIsCarriedThroughRenders) {
    const struct {
        const char* Name;
        const char* Format;
        const char* Encoding;
    } cases[] = {{"ffv1.mkv", "yuva444p", "-c:v ffv1"},
                 {"ffv1-10.mkv", "yuva444p10le", "-c:v ffv1"},
                 {"rle.mov", "argb", "-c:v qtrle"},
                 {"png.mov", "rgba", "-c:v png"}};
    for (const auto& c : cases) {
        const std::string clip = Path(c.Name), graded = Path(std::string("graded-") + c.Name);
        ASSERT_TRUE(MakeAlphaClip(clip, kWidth, kHeight, kFrames, c.Format, c.Encoding)) << c.Name;
        const TCliRun run = Render(clip, graded);
        ASSERT_EQ(run.Status, 0) << run.Err;
        EXPECT_EQ(ProbeEntries(graded, "stream=pix_fmt"), std::string("pix_fmt=") + c.Format + "\n") << c.Name;
        const std::vector<std::uint16_t> alpha = FfmpegAlphaPlanes(clip, "gray16le");
        EXPECT_EQ(alpha.size(), std::size_t(kWidth * kHeight * kFrames)) << c.Name;
        EXPECT_TRUE(FfmpegAlphaPlanes(graded, "gray16le") == alpha) << c.Name;
        TClip source(clip), output(graded);
        for (int n = 0; n < kFrames; ++n) {
            const TDeepImage frame = source.Frame(n);
            EXPECT_GT(DifferingSamples16(output.Frame(n), frame), kWidth * kHeight) << c.Name;
            EXPECT_EQ(DifferingSamples16(output.Frame(n), GradedAndStored(*lut_, frame, clip)), 0) << c.Name << n;
        }
    }
}

// Frames of packed 8-bit RGB (QuickTime RLE rgb24) are written whole after
// the first, not over what the last frame left: the render matches
// ffmpeg's lut3d.
TEST_F(CliClipCarryTest, PackedRgbFramesMatchFfmpegsLut3d) {
    const std::string clip = Path("rle.mov"), graded = Path("graded.mov"), theirs = Path("theirs.mov");
    ASSERT_TRUE(MakeClip(clip, kWidth, kHeight, 4, "-pix_fmt rgb24 -c:v qtrle"));
    const TCliRun run = Render(clip, graded);
    ASSERT_EQ(run.Status, 0) << run.Err;
    RunCommand("ffmpeg -nostdin -v error -i '" + clip + "' -vf \"lut3d=file='" + Path("look.cube") +
               "'\" -c:v qtrle '" + theirs + "'");
    EXPECT_GT(Psnr(graded, theirs), 45);
}

// ProRes 4444 keeps its profile and its alpha (within a step of its
// 10-bit samples), and its colours are ffmpeg's lut3d's within the codec's
// loss.
TEST_F(CliClipCarryTest, ProResAlphaIsCarried) {
    const std::string clip = Path("4444.mov"), graded = Path("graded.mov"), theirs = Path("theirs.mov");
    ASSERT_TRUE(MakeAlphaClip(clip, kWidth, kHeight, kFrames, "yuva444p10le", "-c:v prores_ks -profile:v 4444"));
    const TCliRun run = Render(clip, graded);
    ASSERT_EQ(run.Status, 0) << run.Err;
    const std::string entries = "stream=codec_name,profile,pix_fmt";
    EXPECT_EQ(ProbeEntries(graded, entries), ProbeEntries(clip, entries));
    const std::vector<std::uint16_t> before = FfmpegAlphaPlanes(clip, "gray12le"),
                                     after = FfmpegAlphaPlanes(graded, "gray12le");
    ASSERT_EQ(before.size(), std::size_t(kWidth * kHeight * kFrames));
    ASSERT_EQ(after.size(), before.size());
    int worst = 0;
    for (std::size_t i = 0; i < before.size(); ++i) worst = std::max(worst, std::abs(before[i] - after[i]));
    EXPECT_LE(worst, 4);
    RunCommand("ffmpeg -nostdin -v error -i '" + clip + "' -vf \"lut3d=file='" + Path("look.cube") +
               "'\" -c:v prores_ks -profile:v 4444 -pix_fmt yuva444p10le '" + theirs + "'");
    EXPECT_GT(Psnr(graded, theirs), 40);
    EXPECT_LT(Psnr(graded, clip), 40);
}

// An encoder without alpha chosen for a clip with alpha is refused before
// anything is written, naming the output and the source.
TEST_F(CliClipCarryTest, EncoderWithoutAlphaIsRefused) {
    const std::string clip = Path("matte.mkv"), output = Path("out.mp4");
    ASSERT_TRUE(MakeAlphaClip(clip, kWidth, kHeight, 2, "yuva444p", "-c:v ffv1"));
    ExpectRefused(Render(clip, output, {"--codec", "libx264"}), output,
                  "the encoder libx264 cannot write the alpha channel of \"" + clip + "\"");
}

// Interlaced clips stay interlaced in their field order: the stream's
// field order and every frame's interlacing flags are the source's.
TEST_F(CliClipCarryTest, FieldOrderIsCarried) {
    const struct {
        const char* Name;
        int Width, Height;
        const char* Encoding;
    } cases[] = {{"top.mov", 64, 48, "-c:v prores_ks -flags +ildct+ilme -top 1"},
                 {"bottom.mov", 64, 48, "-c:v prores_ks -flags +ildct+ilme -top 0"},
                 {"mpeg2.mxf", 176, 144, "-c:v mpeg2video -flags +ildct+ilme -top 0"},
                 {"h264.mp4", 64, 48, "-c:v libx264 -preset ultrafast -flags +ildct+ilme -top 1"}};
    const std::string entries = "stream=field_order:frame=interlaced_frame,top_field_first";
    for (const auto& c : cases) {
        const std::string clip = Path(c.Name), graded = Path(std::string("graded-") + c.Name);
        ASSERT_TRUE(MakeClip(clip, c.Width, c.Height, kFrames, c.Encoding)) << c.Name;
        const std::string probed = ProbeEntries(clip, entries, "-select_streams v");
        ASSERT_NE(probed.find("interlaced_frame=1"), std::string::npos) << c.Name;
        const TCliRun run = Render(clip, graded);
        ASSERT_EQ(run.Status, 0) << run.Err;
        EXPECT_EQ(ProbeEntries(graded, entries, "-select_streams v"), probed) << c.Name;
    }
}

// A phone clip's rotation (its display matrix) is carried to the render.
TEST_F(CliClipCarryTest, RotationIsCarried) {
    const std::string plain = Path("plain.mp4"), clip = Path("rotated.mp4"), graded = Path("graded.mp4");
    ASSERT_TRUE(MakeClip(plain, kWidth, kHeight, kFrames, "-c:v libx264 -preset ultrafast"));
    RunCommand("ffmpeg -nostdin -v error -i '" + plain + "' -c copy -metadata:s:v rotate=90 '" + clip + "'");
    const std::string entries = "stream_side_data=side_data_type,rotation,displaymatrix";
    const std::string probed = ProbeEntries(clip, entries, "-select_streams v");
    ASSERT_NE(probed.find("rotation=90"), std::string::npos) << probed;
    const TCliRun run = Render(clip, graded);
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(ProbeEntries(graded, entries, "-select_streams v"), probed);
}

// A second video stream is copied as it is, whole or over an intra-frame
// range; one that cannot be cut to a range is refused naming it.
TEST_F(CliClipCarryTest, SecondVideoStreamIsCarriedOrRefused) {
    const std::string clip = Path("two.mov");
    RunCommand(
        "ffmpeg -nostdin -v error -f lavfi -i testsrc2=s=64x48:r=25 -f lavfi -i smptebars=s=32x24:r=25 -t 0.2 "
        "-map 0 -map 1 -c:v prores_ks '" +
        clip + "'");
    const std::string entries = "stream=index,codec_type,codec_name,width,height";
    ASSERT_EQ(Lines(ProbeEntries(clip, "stream=index")).size(), 2u);
    TCliRun run = Render(clip, Path("graded.mov"));
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(ProbeEntries(Path("graded.mov"), entries), ProbeEntries(clip, entries));
    EXPECT_EQ(StreamMd5(Path("graded.mov"), 1), StreamMd5(clip, 1));
    EXPECT_NE(StreamMd5(Path("graded.mov"), 0), StreamMd5(clip, 0));
    run = Render(clip, Path("cut.mov"), {"--in", "2"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(ProbeEntries(Path("cut.mov"), "stream=nb_frames"), "nb_frames=3\nnb_frames=3\n");

    const std::string longGop = Path("gop.mkv");
    RunCommand(
        "ffmpeg -nostdin -v error -f lavfi -i testsrc2=s=64x48:r=25 -f lavfi -i smptebars=s=32x24:r=25 -t 0.2 "
        "-map 0 -map 1 -c:v:0 ffv1 -c:v:1 libx264 -preset ultrafast '" +
        longGop + "'");
    ExpectRefused(Render(longGop, Path("gop-cut.mkv"), {"--in", "1"}), Path("gop-cut.mkv"),
                  "the video stream 1 (h264) of \"" + longGop + "\" cannot be cut to the range asked for");
    run = Render(longGop, Path("gop-whole.mkv"));
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(StreamMd5(Path("gop-whole.mkv"), 1), StreamMd5(longGop, 1));
}

// A cover picture is copied as it is; an attachment is copied into a
// container that holds attachments and refused, naming its file, by one
// that does not.
TEST_F(CliClipCarryTest, CoverPicturesAndAttachmentsAreCarried) {
    const std::string covered = Path("covered.mp4");
    RunCommand("ffmpeg -nostdin -v error -f lavfi -i testsrc2=s=64x48:r=25 -i " + std::string(kClipPhoto) +
               " -t 0.12 -map 0 -map 1 -c:v:0 libx264 -preset ultrafast -c:v:1 mjpeg -disposition:v:1 attached_pic '" +
               covered + "'");
    const std::string entries = "stream=index,codec_name:stream_disposition=attached_pic";
    ASSERT_NE(ProbeEntries(covered, entries).find("attached_pic=1"), std::string::npos);
    TCliRun run = Render(covered, Path("graded.mp4"), {"--in", "1"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(ProbeEntries(Path("graded.mp4"), entries), ProbeEntries(covered, entries));
    EXPECT_EQ(StreamMd5(Path("graded.mp4"), 1), StreamMd5(covered, 1));

    WriteBytes(Path("notes.txt"), "shot notes\n");
    const std::string attached = Path("attached.mkv");
    RunCommand("ffmpeg -nostdin -v error -f lavfi -i testsrc2=s=64x48:r=25 -t 0.12 -c:v ffv1 -attach '" +
               Path("notes.txt") + "' -metadata:s:t mimetype=text/plain '" + attached + "'");
    run = Render(attached, Path("graded.mkv"));
    ASSERT_EQ(run.Status, 0) << run.Err;
    const std::string tags = "stream=index,codec_type:stream_tags=filename,mimetype";
    EXPECT_NE(ProbeEntries(attached, tags).find("notes.txt"), std::string::npos);
    EXPECT_EQ(ProbeEntries(Path("graded.mkv"), tags), ProbeEntries(attached, tags));
    ExpectRefused(Render(attached, Path("graded.mov")), Path("graded.mov"),
                  "the attachment stream 1 (notes.txt) of \"" + attached + "\" cannot be carried in this container");
}

// Subtitles are copied where the container holds them and refused, naming
// the stream, where it does not.
TEST_F(CliClipCarryTest, SubtitlesAreCarriedOrRefused) {
    WriteBytes(Path("words.srt"), "1\n00:00:00,000 --> 00:00:00,100\nHello\n\n2\n00:00:00,120 --> 00:00:00,160\nBye\n");
    const std::string clip = Path("subtitled.mkv");
    ASSERT_TRUE(MakeClip(clip, kWidth, kHeight, 5, "-c:v ffv1 -c:s srt", "-i '" + Path("words.srt") + "'"));
    const TCliRun run = Render(clip, Path("graded.mkv"));
    ASSERT_EQ(run.Status, 0) << run.Err;
    const auto text = [](const std::string& file) {
        return RunCommand("ffmpeg -nostdin -v error -i '" + file + "' -map 0:s -f srt -");
    };
    EXPECT_NE(text(clip).find("Bye"), std::string::npos);
    EXPECT_EQ(text(Path("graded.mkv")), text(clip));
    ExpectRefused(Render(clip, Path("graded.mov")), Path("graded.mov"),
                  "the subtitle stream 1 (subrip) of \"" + clip + "\" cannot be carried in this container");
}

// A frame with alpha saved as a picture keeps its alpha: an 8-bit PNG for
// an 8-bit frame (colours graded as the frame is), 16-bit for TIFF.
TEST_F(CliClipCarryTest, StillsKeepAlpha) {
    const std::string clip = Path("png.mov");
    ASSERT_TRUE(MakeAlphaClip(clip, kWidth, kHeight, kFrames, "rgba", "-c:v png"));
    const std::vector<std::uint16_t> planes = FfmpegAlphaPlanes(clip);
    ASSERT_EQ(planes.size(), std::size_t(kWidth * kHeight * kFrames));
    const std::vector<std::uint16_t> second(planes.begin() + kWidth * kHeight, planes.begin() + 2 * kWidth * kHeight);
    TCliRun run = Render(clip, Path("still.png"), {"--frame", "1"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(FfmpegAlphaPlanes(Path("still.png")), second);
    const std::string rgba =
        RunCommand("ffmpeg -nostdin -v error -i '" + Path("still.png") + "' -f rawvideo -pix_fmt rgba -");
    ASSERT_EQ(rgba.size(), std::size_t(kWidth * kHeight * 4));
    EXPECT_EQ(ProbeEntries(Path("still.png"), "stream=pix_fmt"), "pix_fmt=rgba\n");
    TDeepImage frame = TClip(clip).Frame(1);
    GradeClipFrame(*lut_, frame);
    int differing = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            for (int c = 0; c < 3; ++c)
                differing += static_cast<unsigned char>(rgba[(y * kWidth + x) * 4 + c]) !=
                             std::lround(frame.Row(y)[3 * x + c] * 255);
    EXPECT_EQ(differing, 0);

    run = Render(clip, Path("still.tif"), {"--frame", "1"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    std::vector<std::uint16_t> wide = second;
    for (std::uint16_t& value : wide) value = static_cast<std::uint16_t>(value * 257);
    EXPECT_EQ(FfmpegAlphaPlanes(Path("still.tif"), "gray16le"), wide);
}

}  // namespace
