#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "clip/ClipFile.h"
#include "clip/ClipModule.h"
#include "clip/ClipRender.h"
#include "engine/LUT.h"
#include "formats/LutConvert.h"
#include "tests/support/CarriedClips.h"

namespace {

class ClipCarryTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            std::filesystem::temp_directory_path() / ("ombrane-carry-" + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    std::filesystem::path dir_;
};

constexpr int kWidth = 32, kHeight = 24, kFrames = 3;

// How many alpha samples of the clip's frames differ from ffmpeg's alpha
// planes (`top` their full scale) by more than `tolerance`.
int AlphaDifferences(const std::string& file, const std::vector<std::uint16_t>& planes, double top,
                     double tolerance = 0) {
    EXPECT_EQ(planes.size(), std::size_t(kWidth * kHeight * kFrames)) << file;
    if (planes.size() != std::size_t(kWidth * kHeight * kFrames)) return -1;
    TClip clip(file);
    int differing = 0;
    for (int n = 0; n < kFrames; ++n) {
        const TDeepImage frame = clip.Frame(n);
        EXPECT_TRUE(frame.HasAlpha()) << file;
        if (!frame.HasAlpha()) return -1;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const double expected = planes[(n * kHeight + y) * kWidth + x] / top;
                differing += std::fabs(frame.AlphaRow(y)[x] - expected) > tolerance + 1e-7;
            }
    }
    return differing;
}

// A look that turns the colours round and squeezes them: a 2-point cube
// file read as any LUT file is.
std::unique_ptr<TLUT> Look(const std::string& fileName) {
    std::ofstream cube(fileName);
    cube << "LUT_3D_SIZE 2\n";
    for (int b = 0; b < 2; ++b)
        for (int g = 0; g < 2; ++g)
            for (int r = 0; r < 2; ++r) cube << 0.1 + 0.8 * g << ' ' << 0.05 + 0.9 * b << ' ' << 0.2 + 0.7 * r << '\n';
    cube.close();
    return ReadLutFile(fileName);
}

// Frames of the 8-bit formats with alpha that clips come in carry the
// decoder's alpha plane exactly; the clip says it has alpha.
TEST_F(ClipCarryTest, FramesCarryTheDecodersAlphaPlane) {
    const struct {
        const char* Name;
        const char* Format;
        const char* Encoding;
    } cases[] = {{"yuva444p.mkv", "yuva444p", "-c:v ffv1"},
                 {"yuva420p.mkv", "yuva420p", "-c:v ffv1"},
                 {"rle.mov", "argb", "-c:v qtrle"},
                 {"png.mov", "rgba", "-c:v png"}};
    for (const auto& c : cases) {
        const std::string file = Path(c.Name);
        ASSERT_TRUE(MakeAlphaClip(file, kWidth, kHeight, kFrames, c.Format, c.Encoding)) << c.Name;
        EXPECT_TRUE(TClip(file).Info().HasAlpha) << c.Name;
        EXPECT_EQ(AlphaDifferences(file, FfmpegAlphaPlanes(file), 255), 0) << c.Name;
    }
    const std::string plain = Path("plain.mkv");
    ASSERT_TRUE(MakeClip(plain, kWidth, kHeight, 2, "-pix_fmt yuv444p -c:v ffv1"));
    TClip clip(plain);
    EXPECT_FALSE(clip.Info().HasAlpha);
    EXPECT_FALSE(clip.Frame(1).HasAlpha());
}

// ProRes 4444's alpha is read at the depth the decoder gives it.
TEST_F(ClipCarryTest, ProResAlphaIsReadAtItsDepth) {
    const std::string file = Path("4444.mov");
    ASSERT_TRUE(MakeAlphaClip(file, kWidth, kHeight, kFrames, "yuva444p10le", "-c:v prores_ks -profile:v 4444"));
    TClip clip(file);
    EXPECT_TRUE(clip.Info().HasAlpha);
    ASSERT_EQ(clip.Info().PixelFormat, "yuva444p12le");
    EXPECT_EQ(AlphaDifferences(file, FfmpegAlphaPlanes(file, "gray12le"), 4095), 0);
}

// The field order is named as ffprobe reads the stream's.
TEST_F(ClipCarryTest, FieldOrderIsNamed) {
    const struct {
        const char* Flags;
        const char* Probed;
        const char* Named;
    } cases[] = {{"-flags +ildct+ilme -top 1", "tt", "top first"},
                 {"-flags +ildct+ilme -top 0", "bb", "bottom first"},
                 {"", "progressive", ""}};
    for (const auto& c : cases) {
        const std::string file = Path(std::string("fields-") + c.Probed + ".mov");
        ASSERT_TRUE(MakeClip(file, kWidth, kHeight, 2, std::string("-c:v prores_ks ") + c.Flags));
        ASSERT_EQ(ProbeEntries(file, "stream=field_order"), std::string("field_order=") + c.Probed + "\n");
        EXPECT_EQ(TClip(file).Info().FieldOrder, c.Named) << c.Probed;
        EXPECT_FALSE(TClip(file).Info().HasAlpha);
    }
}

// Grading changes the colours of a frame with alpha as those of the same
// frame without it, on the 8-bit road and the deep one, and never its alpha.
TEST_F(ClipCarryTest, GradingLeavesAlphaAlone) {
    const std::unique_ptr<TLUT> lut = Look(Path("look.cube"));
    for (const char* format : {"yuva444p", "yuva444p16le"}) {
        const std::string file = Path(std::string(format) + ".mkv");
        ASSERT_TRUE(MakeAlphaClip(file, kWidth, kHeight, 1, format, "-c:v ffv1"));
        const TDeepImage source = TClip(file).Frame(0);
        ASSERT_TRUE(source.HasAlpha());
        TDeepImage graded = source;
        TDeepImage opaque(kWidth, kHeight, false);
        opaque.Depth = source.Depth;
        for (int y = 0; y < kHeight; ++y) std::memcpy(opaque.Row(y), source.Row(y), sizeof(float) * 3 * kWidth);
        GradeClipFrame(*lut, graded);
        GradeClipFrame(*lut, opaque);
        ASSERT_TRUE(graded.HasAlpha()) << format;
        int colours = 0, alphas = 0, changed = 0;
        for (int y = 0; y < kHeight; ++y) {
            colours += std::memcmp(graded.Row(y), opaque.Row(y), sizeof(float) * 3 * kWidth) != 0;
            alphas += std::memcmp(graded.AlphaRow(y), source.AlphaRow(y), sizeof(float) * kWidth) != 0;
            changed += std::memcmp(graded.Row(y), source.Row(y), sizeof(float) * 3 * kWidth) != 0;
        }
        EXPECT_EQ(colours, 0) << format;
        EXPECT_EQ(alphas, 0) << format;
        EXPECT_EQ(changed, kHeight) << format;
    }
}

// What a frame with alpha becomes once stored in its clip's format keeps
// the alpha it had, to the format's precision.
TEST_F(ClipCarryTest, StoredFramesKeepTheirAlpha) {
    const std::string file = Path("stored.mkv");
    ASSERT_TRUE(MakeAlphaClip(file, kWidth, kHeight, 1, "yuva444p", "-c:v ffv1"));
    TDeepImage frame = TClip(file).Frame(0);
    ASSERT_TRUE(frame.HasAlpha());
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) frame.AlphaRow(y)[x] = static_cast<float>((x * 7 + y) % 256 / 255.0 + 0.001);
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    const TDeepImage stored = ClipModule().StoredAndRead(frame, fd, file);
    close(fd);
    ASSERT_TRUE(stored.HasAlpha());
    int differing = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            differing += stored.AlphaRow(y)[x] != static_cast<float>((x * 7 + y) % 256 / 255.0);
    EXPECT_EQ(differing, 0);
}

}  // namespace
