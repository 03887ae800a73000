#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <random>

#include "clip/ClipModule.h"
#include "clip/YCbCrCoding.h"
#include "tests/support/ClipMaking.h"

namespace {

constexpr int kEdgeWidth = 40, kEdgeHeight = 8;

// Greys on exact eighths and on every 1024th, then colours over and beyond
// the nominal range (and a few not-a-number samples): codes on halves, at
// both ends and clipped.
TDeepImage EdgePicture() {
    TDeepImage picture(kEdgeWidth, kEdgeHeight, false);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> wide(-0.25f, 1.25f);
    for (int y = 0; y < kEdgeHeight; ++y) {
        float* row = picture.Row(y);
        for (int x = 0; x < kEdgeWidth; ++x) {
            for (int c = 0; c < 3; ++c) {
                if (y == 0) row[3 * x + c] = static_cast<float>(x % 9) / 8;
                if (y == 1) row[3 * x + c] = static_cast<float>(x * 26 + c) / 1024;
                if (y > 1) row[3 * x + c] = wide(random);
            }
            if (y == kEdgeHeight - 1 && x % 7 == 0) row[3 * x + 1] = std::numeric_limits<float>::quiet_NaN();
        }
    }
    return picture;
}

// The picture as the plain formulas store it: each pixel's codes rounded by
// Quantise, chroma as the rounded mean of the codes of the pixels sharing it.
TDeepImage PlainlyStored(const TDeepImage& picture, const TYCbCrCoding& coding, int chromaStep) {
    TDeepImage stored(kEdgeWidth, kEdgeHeight, false);
    for (int y = 0; y < kEdgeHeight; ++y) {
        for (int x = 0; x < kEdgeWidth; x += chromaStep) {
            double cbSum = 0, crSum = 0, codes[2][3];
            for (int i = 0; i < chromaStep; ++i) {
                coding.ToCodes(picture.Row(y) + 3 * (x + i), codes[i][0], codes[i][1], codes[i][2]);
                cbSum += codes[i][1];
                crSum += codes[i][2];
            }
            const int cb = coding.Quantise(cbSum / chromaStep), cr = coding.Quantise(crSum / chromaStep);
            for (int i = 0; i < chromaStep; ++i)
                coding.ToRgb(coding.Quantise(codes[i][0]), cb, cr, stored.Row(y) + 3 * (x + i));
        }
    }
    return stored;
}

class ClipConversionTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("ombrane-conversion-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::filesystem::path dir_;
};

// Frames written to Y'CbCr planes (4:4:4 and 4:2:2, limited and full
// range, 8 and 10 bits) hold the codes the plain formulas round, to the bit.
TEST_F(ClipConversionTest, WrittenCodesAreThePlainFormulasRoundedCodes) {
    struct TCase {
        const char* PixelFormat;
        const char* Range;
        TYCbCrCoding Coding;
        int ChromaStep;
    };
    const TCase cases[] = {{"yuv444p10le", "tv", Bt709Coding(10, false), 1},
                           {"yuv422p10le", "tv", Bt709Coding(10, false), 2},
                           {"yuv444p10le", "pc", Bt709Coding(10, true), 1},
                           {"yuv422p", "pc", Bt709Coding(8, true), 2}};
    const TDeepImage picture = EdgePicture();
    for (const TCase& test : cases) {
        const std::string source = (dir_ / (std::string(test.PixelFormat) + test.Range + ".mkv")).string();
        ASSERT_TRUE(MakeClip(source, kEdgeWidth, kEdgeHeight, 1,
                             std::string("-pix_fmt ") + test.PixelFormat + " -color_range " + test.Range +
                                 " -colorspace bt709 -c:v ffv1"));
        const int fd = open(source.c_str(), O_RDONLY | O_CLOEXEC);
        const TDeepImage stored = ClipModule().StoredAndRead(picture, fd, source);
        close(fd);
        const TDeepImage expected = PlainlyStored(picture, test.Coding, test.ChromaStep);
        int differing = 0;
        for (int y = 0; y < kEdgeHeight; ++y)
            for (int i = 0; i < 3 * kEdgeWidth; ++i) differing += stored.Row(y)[i] != expected.Row(y)[i];
        EXPECT_EQ(differing, 0) << test.PixelFormat << " " << test.Range;
    }
}

}  // namespace
