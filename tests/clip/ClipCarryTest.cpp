#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "clip/ClipFile.h"
#include "clip/ClipRender.h"
#include "engine/lut/LUT.h"
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

constexpr int kClipWidth = 32, kClipHeight = 24;

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

// The field order is named as ffprobe reads the stream's; a clip with
// alpha says so.
TEST_F(ClipCarryTest, FieldOrderAndAlphaAreNamed) {
    const struct {
        const char* Flags;
        const char* Probed;
        const char* Named;
    } cases[] = {{"-flags +ildct+ilme -top 1", "tt", "top first"},
                 {"-flags +ildct+ilme -top 0", "bb", "bottom first"},
                 {"", "progressive", ""}};
    for (const auto& c : cases) {
        const std::string file = Path(std::string("fields-") + c.Probed + ".mov");
        ASSERT_TRUE(MakeClip(file, kClipWidth, kClipHeight, 2, std::string("-c:v prores_ks ") + c.Flags));
        ASSERT_EQ(ProbeEntries(file, "stream=field_order"), std::string("field_order=") + c.Probed + "\n");
        EXPECT_EQ(TClip(file).Info().FieldOrder, c.Named) << c.Probed;
        EXPECT_FALSE(TClip(file).Info().HasAlpha);
    }
    const std::string matte = Path("matte.mov");
    ASSERT_TRUE(MakeAlphaClip(matte, kClipWidth, kClipHeight, 2, "argb", "-c:v qtrle"));
    EXPECT_TRUE(TClip(matte).Info().HasAlpha);
}

// Grading changes the colours of a frame with alpha as those of the same
// frame without it, on the 8-bit road and the deep one, and never its alpha.
TEST_F(ClipCarryTest, GradingLeavesAlphaAlone) {
    const std::unique_ptr<TLUT> lut = Look(Path("look.cube"));
    for (const char* format : {"yuva444p", "yuva444p16le"}) {
        const std::string file = Path(std::string(format) + ".mkv");
        ASSERT_TRUE(MakeAlphaClip(file, kClipWidth, kClipHeight, 1, format, "-c:v ffv1"));
        const TDeepImage source = TClip(file).Frame(0);
        ASSERT_TRUE(source.HasAlpha());
        TDeepImage graded = source;
        TDeepImage opaque(kClipWidth, kClipHeight, false);
        opaque.Depth = source.Depth;
        for (int y = 0; y < kClipHeight; ++y) std::memcpy(opaque.Row(y), source.Row(y), sizeof(float) * 3 * kClipWidth);
        GradeClipFrame(*lut, graded);
        GradeClipFrame(*lut, opaque);
        ASSERT_TRUE(graded.HasAlpha()) << format;
        int colours = 0, alphas = 0, changed = 0;
        for (int y = 0; y < kClipHeight; ++y) {
            colours += std::memcmp(graded.Row(y), opaque.Row(y), sizeof(float) * 3 * kClipWidth) != 0;
            alphas += std::memcmp(graded.AlphaRow(y), source.AlphaRow(y), sizeof(float) * kClipWidth) != 0;
            changed += std::memcmp(graded.Row(y), source.Row(y), sizeof(float) * 3 * kClipWidth) != 0;
        }
        EXPECT_EQ(colours, 0) << format;
        EXPECT_EQ(alphas, 0) << format;
        EXPECT_EQ(changed, kClipHeight) << format;
    }
}

}  // namespace
