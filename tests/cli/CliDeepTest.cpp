#include <cmath>
#include <filesystem>
#include <memory>
#include <set>

#include "engine/lut/LUT.h"
#include "engine/picture/DeepGrade.h"
#include "formats/LutConvert.h"
#include "imageio/DeepImageFile.h"
#include "imageio/ImageFile.h"
#include "tests/cli/CliHarness.h"

namespace {

// A smooth picture across most of the colour cube.
TDeepImage Gradient(int width, int height, TPictureDepth depth) {
    TDeepImage image(width, height, false);
    image.Depth = std::move(depth);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            float* p = image.Row(y) + 3 * x;
            p[0] = static_cast<float>(x) / static_cast<float>(width - 1);
            p[1] = static_cast<float>(y) / static_cast<float>(height - 1);
            p[2] = 0.5f * (p[0] + p[1]);
        }
    return image;
}

// The LUT evaluated directly on the picture's values.
TDeepImage Expected(const TLUT& lut, const TDeepImage& source) {
    TDeepImage out = Gradient(source.Width(), source.Height(), source.Depth);
    for (int y = 0; y < source.Height(); ++y)
        for (int x = 0; x < 3 * source.Width(); x += 3) {
            const float* in = source.Row(y) + x;
            TRGBDouble result;
            lut.LookupNormalized({in[0], in[1], in[2]}, result);
            float* p = out.Row(y) + x;
            p[0] = static_cast<float>(result.Red);
            p[1] = static_cast<float>(result.Green);
            p[2] = static_cast<float>(result.Blue);
        }
    return out;
}

double MaxDifference(const TDeepImage& a, const TDeepImage& b) {
    EXPECT_EQ(a.Width(), b.Width());
    EXPECT_EQ(a.Height(), b.Height());
    double worst = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int i = 0; i < 3 * a.Width(); ++i) worst = std::max(worst, std::fabs(double(a.Row(y)[i]) - b.Row(y)[i]));
    return worst;
}

}  // namespace

TEST_F(CliTest, DeepPicturesAreGradedAtTheirOwnPrecision) {
    const std::string reference = Path("ref.jpg");
    SaveImageFile(reference, MakeTestPicture(200, 150, 3));
    ASSERT_EQ(Cli({"look", reference, "--profile", "8", "--saturation", "150", "-o", Path("look.cube")}).Status, 0);
    const auto lut = ReadLutFile(Path("look.cube"));

    // 16-bit TIFF in, the same format and depth out: within one code value.
    const TDeepImage tiff16 = Gradient(4096, 8, {"tiff", TSampleKind::Integer, 16, ""});
    SaveDeepImageFile(Path("in16.tif"), tiff16, tiff16.Depth);
    TCliRun run = Cli({"apply", Path("look.cube"), Path("in16.tif"), "-o", Path("out16.tif")});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const TDeepImage out16 = LoadDeepImageFile(Path("out16.tif"));
    EXPECT_EQ(out16.Depth.Bits, 16);
    const TDeepImage expected16 = Expected(*lut, LoadDeepImageFile(Path("in16.tif")));
    EXPECT_LE(MaxDifference(out16, expected16), 1.0 / 65535);
    // Thousands of levels survive, where 8 bits would keep 256 at most.
    std::set<int> levels;
    for (int x = 0; x < out16.Width(); ++x) levels.insert(static_cast<int>(std::lround(out16.Row(0)[3 * x] * 65535)));
    EXPECT_GT(levels.size(), 2000u);

    // Float TIFF in, float out: within 1e-6.
    TDeepImage tiffFloat = Gradient(300, 40, {"tiff", TSampleKind::Float, 32, ""});
    tiffFloat.Row(0)[0] = -0.25f;  // clamped into the domain
    tiffFloat.Row(0)[4] = 3.5f;
    SaveDeepImageFile(Path("inf.tif"), tiffFloat, tiffFloat.Depth);
    run = Cli({"apply", Path("look.cube"), Path("inf.tif"), "-o", Path("outf.tif")});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const TDeepImage outFloat = LoadDeepImageFile(Path("outf.tif"));
    EXPECT_EQ(outFloat.Depth.Kind, TSampleKind::Float);
    TDeepImage clamped = tiffFloat;
    clamped.Row(0)[0] = 0.0f;
    clamped.Row(0)[4] = 1.0f;
    EXPECT_LE(MaxDifference(outFloat, Expected(*lut, clamped)), 1e-6);

    // Other extensions ask for their own storage.
    // Half keeps 11 significant bits: half a step near 1 is 2^-12.
    for (const auto& [name, kind, bits, step] : {std::tuple{"o.exr", TSampleKind::Half, 16, 1.0 / 2048},
                                                 std::tuple{"o.dpx", TSampleKind::Integer, 10, 1.0 / 1023},
                                                 std::tuple{"o.png", TSampleKind::Integer, 16, 1.0 / 65535}}) {
        run = Cli({"apply", Path("look.cube"), Path("in16.tif"), "-o", Path(name)});
        ASSERT_EQ(run.Status, 0) << name << run.Err;
        const TDeepImage out = LoadDeepImageFile(Path(name));
        EXPECT_EQ(out.Depth.Kind, kind) << name;
        EXPECT_EQ(out.Depth.Bits, bits) << name;
        // Within half a level (the reader widens 10 bits by repeating bits).
        EXPECT_LE(MaxDifference(out, expected16), step * 0.625) << name;
    }
    // JPEG at quality 100 from the graded picture, rounded to 8 bits.
    run = Cli({"apply", Path("look.cube"), Path("in16.tif"), "-o", Path("o.jpg")});
    ASSERT_EQ(run.Status, 0) << run.Err;
    TDeepImage graded = LoadDeepImageFile(Path("in16.tif"));
    GradeDeepImage(*lut, graded);
    EXPECT_TRUE(ReadBytes(Path("o.jpg")) == EncodeJpeg(DeepToImage(graded), 100));

    // 'grade' takes a 16-bit PNG through the same road and keeps its depth.
    SaveDeepImageFile(Path("in.png"), tiff16, {"png", TSampleKind::Integer, 16, ""});
    run = Cli({"grade", reference, Path("in.png"), "--saturation", "150", "-o", Path("graded.png")});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const TDeepImage png = LoadDeepImageFile(Path("graded.png"));
    EXPECT_EQ(png.Depth.Bits, 16);
    EXPECT_LE(MaxDifference(png, Expected(*lut, LoadDeepImageFile(Path("in.png")))), 1.0 / 65535);

    // A damaged picture is refused in one line naming it, nothing written.
    WriteBytes(Path("bad.exr"), "not a picture");
    run = Cli({"apply", Path("look.cube"), Path("bad.exr"), "-o", Path("bad-out.exr")});
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(IsOneErrorLine(run.Err)) << run.Err;
    EXPECT_NE(run.Err.find("bad.exr"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(Path("bad-out.exr")));
    EXPECT_EQ(Cli({"apply", Path("look.cube"), Path("in16.tif"), "-o", Path("x.webp")}).Status, 2);
}
