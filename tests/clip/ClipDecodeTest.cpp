#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "clip/ClipFile.h"
#include "engine/base/Error.h"
#include "tests/support/ClipMaking.h"
#include "tests/support/ThrownMessage.h"

namespace {

class ClipDecodeTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            std::filesystem::temp_directory_path() / ("ombrane-clip-" + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    std::filesystem::path dir_;
};

// Frame `number` as ffmpeg's decoder gives it, in the stream's own planes.
std::vector<std::uint8_t> FfmpegFrame(const std::string& file, int number, const std::string& pixelFormat) {
    const std::string raw =
        RunCommand("ffmpeg -nostdin -v error -i '" + file + "' -vf \"select=eq(n\\," + std::to_string(number) +
                   ")\" -vsync 0 -frames:v 1 -f rawvideo -pix_fmt " + pixelFormat + " -");
    return std::vector<std::uint8_t>(raw.begin(), raw.end());
}

// R'G'B' from BT.709 limited codes, by the standard's rounded coefficients.
void Bt709Limited(double y, double cb, double cr, double scale, double rgb[3]) {
    const double luma = (y / scale - 16) / 219, blue = (cb / scale - 128) / 224, red = (cr / scale - 128) / 224;
    rgb[0] = luma + 1.5748 * red;
    rgb[1] = luma - 0.187324 * blue - 0.468124 * red;
    rgb[2] = luma + 1.8556 * blue;
}

// A 10-bit 4:4:4 clip: each frame chosen by number, timecode or seconds is
// the frame ffmpeg decodes as that number, converted by the BT.709 formula.
TEST_F(ClipDecodeTest, FramesAreTheDecodersFramesConvertedByTheirTags) {
    const std::string file = Path("shot.mkv");
    ASSERT_TRUE(MakeClip(file, 64, 48, 6, "-pix_fmt yuv444p10le -color_range tv -colorspace bt709 -c:v ffv1"));
    TClip clip(file);
    EXPECT_EQ(clip.Info().Bits, 10);
    EXPECT_EQ(clip.Info().Colour, "BT.709 limited");
    EXPECT_EQ(clip.Info().Codec, "ffv1");
    double worst = 0;
    for (int number : {4, 0, 3, 5}) {  // out of order: seeking back and forth
        const TDeepImage ours = clip.Frame(number);
        ASSERT_EQ(ours.Width(), 64);
        ASSERT_EQ(ours.Depth.Bits, 10);
        const std::vector<std::uint8_t> raw = FfmpegFrame(file, number, "yuv444p10le");
        ASSERT_EQ(raw.size(), 64u * 48 * 3 * 2);
        const auto sample = [&](int plane, int i) {
            std::uint16_t value;
            std::memcpy(&value, raw.data() + (plane * 64 * 48 + i) * 2, 2);
            return double(value);
        };
        for (int i = 0; i < 64 * 48; ++i) {
            double rgb[3];
            Bt709Limited(sample(0, i), sample(1, i), sample(2, i), 4, rgb);
            for (int c = 0; c < 3; ++c) worst = std::max(worst, std::fabs(rgb[c] - ours.Row(i / 64)[3 * (i % 64) + c]));
        }
    }
    EXPECT_LT(worst, 1e-5);
    const auto same = [](const TDeepImage& a, const TDeepImage& b) {
        return std::memcmp(a.Row(0), b.Row(0), sizeof(float) * 3 * a.Width() * a.Height()) == 0;
    };
    const TDeepImage third = LoadClipFrame(file, ParseFrameChoice("3"));
    EXPECT_TRUE(same(third, LoadClipFrame(file, ParseFrameChoice("00:00:00:03"))));
    EXPECT_TRUE(same(third, LoadClipFrame(file, ParseFrameChoice("0.12s"))));
    EXPECT_FALSE(same(third, LoadClipFrame(file, ParseFrameChoice("4"))));
    try {
        clip.Frame(6);
        ADD_FAILURE() << "a frame after the last was given";
    } catch (const EError& error) {
        EXPECT_NE(std::string(error.what()).find("has no frame 6"), std::string::npos) << error.what();
    }
}

// An untagged 8-bit HD clip of H.264 is read as BT.709 limited, its 4:2:0
// chroma repeated over the four pixels it covers.
TEST_F(ClipDecodeTest, UntaggedHdIsBt709Limited) {
    const std::string file = Path("untagged.mp4");
    ASSERT_TRUE(MakeClip(file, 1280, 720, 2, "-pix_fmt yuv420p -c:v libx264 -preset ultrafast", "",
                         ",setparams=range=unknown:colorspace=unknown:color_primaries=unknown:color_trc=unknown"));
    TClip clip(file);
    EXPECT_EQ(clip.Info().Colour, "BT.709 limited");
    EXPECT_EQ(clip.Info().Bits, 8);
    const TDeepImage ours = clip.Frame(1);
    const std::vector<std::uint8_t> raw = FfmpegFrame(file, 1, "yuv420p");
    ASSERT_EQ(raw.size(), 1280u * 720 * 3 / 2);
    double worst = 0;
    for (int y = 0; y < 720; ++y)
        for (int x = 0; x < 1280; ++x) {
            const std::size_t chroma = 1280 * 720 + (y / 2) * 640 + x / 2;
            double rgb[3];
            Bt709Limited(raw[y * 1280 + x], raw[chroma], raw[chroma + 640 * 360], 1, rgb);
            for (int c = 0; c < 3; ++c) worst = std::max(worst, std::fabs(rgb[c] - ours.Row(y)[3 * x + c]));
        }
    EXPECT_LT(worst, 1e-5);
}

void DecodeAll(const std::string& file) {
    TClip clip(file);
    TDeepImage frame;
    std::int64_t number;
    while (clip.Next(frame, number)) {}
}

// A file that is no clip, one cut short, one with a damaged frame and a
// named pipe are refused with a message naming the file.
TEST_F(ClipDecodeTest, DamagedClipsAreRefusedNamingTheFile) {
    const std::string text = Path("notes.mov");
    std::ofstream(text) << "not a clip at all\n";
    EXPECT_NE(MessageOf([&] { TClip clip(text); }).find("\"" + text + "\""), std::string::npos);

    const std::string whole = Path("whole.avi");
    ASSERT_TRUE(MakeClip(whole, 160, 120, 8, "-pix_fmt yuv444p10le -c:v ffv1 -slicecrc 1"));
    DecodeAll(whole);
    const std::uintmax_t size = std::filesystem::file_size(whole);

    const std::string cut = Path("cut.avi");
    std::filesystem::copy_file(whole, cut);
    std::filesystem::resize_file(cut, size * 6 / 10);
    const std::string cutMessage = MessageOf([&] { DecodeAll(cut); });
    EXPECT_NE(cutMessage.find("\"" + cut + "\""), std::string::npos) << cutMessage;
    EXPECT_NE(cutMessage.find("frame"), std::string::npos) << cutMessage;

    const std::string damaged = Path("damaged.avi");
    std::filesystem::copy_file(whole, damaged);
    {
        std::fstream bytes(damaged, std::ios::in | std::ios::out | std::ios::binary);
        for (std::uintmax_t at = size * 7 / 10; at < size * 7 / 10 + 64; ++at) {
            bytes.seekp(static_cast<std::streamoff>(at));
            bytes.put('\x5a');
        }
    }
    const std::string damageMessage = MessageOf([&] { DecodeAll(damaged); });
    EXPECT_NE(damageMessage.find("\"" + damaged + "\""), std::string::npos) << damageMessage;
    EXPECT_NE(damageMessage.find("frame"), std::string::npos) << damageMessage;

    const std::string pipe = Path("pipe.mkv");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_NE(MessageOf([&] { TClip clip(pipe); }).find("not a regular file"), std::string::npos);
}

}  // namespace
