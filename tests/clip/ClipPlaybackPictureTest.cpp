#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>

#include "clip/ClipFile.h"
#include "clip/ClipPicture.h"
#include "clip/FrameAhead.h"
#include "engine/base/Clamp01.h"
#include "engine/picture/ImageResize.h"
#include "tests/support/ClipMaking.h"

// The pictures a clip plays as: made from the decoder's planes in one pass,
// checked against the exact road (the frame at full precision, rounded to
// 8 bits, then fitted).

namespace {

class ClipPlaybackPictureTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            std::filesystem::temp_directory_path() / ("ombrane-playpicture-" + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    std::filesystem::path dir_;
};

TImage PlayedPicture(const std::string& file, std::int64_t number, int width, int height) {
    TClip clip(file);
    clip.Seek(number);
    TImage picture;
    std::int64_t got = -1;
    EXPECT_TRUE(clip.NextPicture(picture, width, height, got));
    EXPECT_EQ(got, number);
    return picture;
}

TDeepImage ExactFrame(const std::string& file, std::int64_t number) { return TClip(file).Frame(number); }

std::uint8_t Level(double value) { return static_cast<std::uint8_t>(Clamp01(value) * 255.0 + 0.5); }

// A plain bilinear scaling of the frame at full precision: each target
// pixel's centre placed on the source, the four source pixels around it
// mixed by distance, the edges repeated.
TImage BilinearReference(const TDeepImage& frame, int width, int height) {
    TImage out(width, height);
    auto place = [](int i, int source, int target, int& first, double& weight) {
        const double at = std::clamp((i + 0.5) * source / target - 0.5, 0.0, source - 1.0);
        first = static_cast<int>(at);
        weight = at - first;
    };
    for (int y = 0; y < height; ++y) {
        int y0;
        double wy;
        place(y, frame.Height(), height, y0, wy);
        const int y1 = std::min(y0 + 1, frame.Height() - 1);
        for (int x = 0; x < width; ++x) {
            int x0;
            double wx;
            place(x, frame.Width(), width, x0, wx);
            const int x1 = std::min(x0 + 1, frame.Width() - 1);
            for (int c = 0; c < 3; ++c) {
                auto at = [&](int xx, int yy) { return double(frame.Row(yy)[3 * xx + c]); };
                const double top = at(x0, y0) + wx * (at(x1, y0) - at(x0, y0));
                const double bottom = at(x0, y1) + wx * (at(x1, y1) - at(x0, y1));
                out.Row(y)[3 * x + 2 - c] = Level(top + wy * (bottom - top));
            }
        }
    }
    return out;
}

struct TDifference {
    int Largest = 0;
    double Mean = 0;
};

TDifference Compare(const TImage& a, const TImage& b) {
    TDifference d;
    double sum = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int i = 0; i < 3 * a.Width(); ++i) {
            const int diff = std::abs(a.Row(y)[i] - b.Row(y)[i]);
            d.Largest = std::max(d.Largest, diff);
            sum += diff;
        }
    d.Mean = sum / (3.0 * a.Width() * a.Height());
    return d;
}

// At the clip's own size the played picture is the exact road's frame
// rounded to 8 bits, byte for byte, whatever the pixel format: Y'CbCr
// 4:2:2, 4:2:0 and 4:4:4 at 8 and 10 bits, planar RGB, and grey (read
// through libswscale).
TEST_F(ClipPlaybackPictureTest, AtItsOwnSizeThePictureIsTheExactFrame) {
    const struct {
        const char* Name;
        const char* Encoding;
    } clips[] = {
        {"prores.mov", "-pix_fmt yuv422p10le -c:v prores_ks -profile:v 3"},
        {"h264.mp4", "-pix_fmt yuv420p -c:v libx264 -crf 18"},
        {"ffv1.mkv", "-pix_fmt yuv444p10le -c:v ffv1"},
        {"rgb.mkv", "-pix_fmt gbrp -c:v ffv1"},
        {"grey.mkv", "-pix_fmt gray -c:v ffv1"},
    };
    for (const auto& made : clips) {
        SCOPED_TRACE(made.Name);
        const std::string file = Path(made.Name);
        ASSERT_TRUE(MakeClip(file, 158, 90, 3, made.Encoding));
        const TImage exact = ClipFrameToImage(ExactFrame(file, 2));
        EXPECT_TRUE(PlayedPicture(file, 2, 158, 90).SamePixels(exact));
        // A size beyond the frame's is the frame's own.
        EXPECT_TRUE(PlayedPicture(file, 2, 400, 300).SamePixels(exact));
    }
}

// Scaled, the picture is bilinear: within a level of a bilinear scaling of
// the frame at full precision (the arithmetic differs only in float
// rounding), and close to the paused frame's Lanczos3 fit on average (the
// two filters differ at sharp edges, so their largest difference is wide).
TEST_F(ClipPlaybackPictureTest, ScaledThePictureIsABilinearFitOfTheFrame) {
    const std::string file = Path("prores.mov");
    ASSERT_TRUE(MakeClip(file, 320, 180, 2, "-pix_fmt yuv422p10le -c:v prores_ks -profile:v 3"));
    const TDeepImage frame = ExactFrame(file, 1);
    for (const auto& [width, height] : {std::pair{267, 150}, std::pair{160, 90}, std::pair{99, 40}}) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        const TImage played = PlayedPicture(file, 1, width, height);
        ASSERT_EQ(played.Width(), width);
        ASSERT_EQ(played.Height(), height);
        EXPECT_LE(Compare(played, BilinearReference(frame, width, height)).Largest, 1);
        TImage fitted;
        ResizeImage(width, height, kLanczos3Filter, fitted, ClipFrameToImage(frame), 0.0f);
        EXPECT_LE(Compare(played, fitted).Mean, 4.0);
    }
}

// Played ahead, every frame comes with its number and the picture of that
// frame, forward and back.
TEST_F(ClipPlaybackPictureTest, FramesAheadCarryTheirOwnPictures) {
    const std::string file = Path("intra.mkv");
    ASSERT_TRUE(MakeClip(file, 64, 36, 5, "-pix_fmt yuv420p -c:v ffv1"));
    for (const int step : {1, -2}) {
        SCOPED_TRACE(step);
        const std::int64_t first = step > 0 ? 0 : 4;
        TFrameAhead ahead(file, first, step, 5, 2, TFrameAhead::Displayed(32, 18));
        int count = 0;
        TAheadFrame frame;
        while (ahead.Wait(frame)) {
            EXPECT_EQ(frame.Number, first + count * step);
            EXPECT_TRUE(frame.Picture.SamePixels(PlayedPicture(file, frame.Number, 32, 18)));
            ++count;
        }
        EXPECT_EQ(count, step > 0 ? 5 : 3);
        EXPECT_EQ(ahead.Problem(), "");
    }
}

// A frame a little ahead in a clip whose frames depend on others is reached
// by decoding on (no seek back to the key frame), skipped forward as
// playing skips late frames: it is the frame a clip opened afresh gives.
TEST_F(ClipPlaybackPictureTest, FramesReachedByDecodingOnAreTheFramesSought) {
    const std::string file = Path("inter.mp4");
    ASSERT_TRUE(MakeClip(file, 64, 36, 12, "-pix_fmt yuv420p -c:v libx264 -g 100 -bf 2"));
    TClip clip(file);
    for (const std::int64_t number : {0, 3, 4, 9, 11}) {
        SCOPED_TRACE(number);
        EXPECT_TRUE(ClipFrameToImage(clip.Frame(number)).SamePixels(ClipFrameToImage(ExactFrame(file, number))));
    }
    clip.Seek(2);
    TImage picture;
    std::int64_t got = -1;
    ASSERT_TRUE(clip.NextPicture(picture, 64, 36, got));
    EXPECT_EQ(got, 2);
    EXPECT_TRUE(picture.SamePixels(ClipFrameToImage(ExactFrame(file, 2))));
}

}  // namespace
