#include "engine/picture/DeepGrade.h"

#include <cmath>

#include "engine/base/Clamp01.h"
#include "engine/base/Parallel.h"
#include "engine/lut/LUT.h"

namespace {

// Rows a worker takes at the least: a few rows of a large picture are
// already worth a thread.
constexpr int kMinRowsPerSlice = 16;

// Nearest of 256 levels.
inline std::uint8_t Level8(double v) { return static_cast<std::uint8_t>(std::lround(Clamp01(v) * 255.0)); }

}  // namespace

void GradeDeepPixel(const TLUT& lut, float* rgb) {
    const TRGBDouble in{Clamp01(rgb[0]), Clamp01(rgb[1]), Clamp01(rgb[2])};
    TRGBDouble out;
    lut.LookupNormalized(in, out);
    rgb[0] = static_cast<float>(out.Red);
    rgb[1] = static_cast<float>(out.Green);
    rgb[2] = static_cast<float>(out.Blue);
}

void GradeDeepImage(const TLUT& lut, TDeepImage& image) {
    const int width = image.Width();
    ParallelFor(image.Height(), kMinRowsPerSlice, [&](int begin, int end) {
        for (int y = begin; y < end; ++y) {
            float* p = image.Row(y);
            for (int x = 0; x < width; ++x, p += 3) GradeDeepPixel(lut, p);
        }
    });
}

TImage DeepToImage(const TDeepImage& image) {
    TImage result(image.Width(), image.Height());
    for (int y = 0; y < image.Height(); ++y) {
        const float* p = image.Row(y);
        const float* alpha = image.HasAlpha() ? image.AlphaRow(y) : nullptr;
        std::uint8_t* q = result.Row(y);
        for (int x = 0; x < image.Width(); ++x, p += 3, q += 3) {
            const double a = alpha ? Clamp01(alpha[x]) : 1.0;
            // Stored blue, green, red.
            for (int c = 0; c < 3; ++c) q[2 - c] = Level8(Clamp01(p[c]) * a + (1.0 - a));
        }
    }
    return result;
}

TDeepImage DeepFromImage(const TImage& image, const std::string& format) {
    TDeepImage result(image.Width(), image.Height(), false);
    result.Depth = {format, TSampleKind::Integer, 8, std::string()};
    for (int y = 0; y < image.Height(); ++y) {
        const std::uint8_t* p = image.Row(y);
        float* q = result.Row(y);
        for (int x = 0; x < image.Width(); ++x, p += 3, q += 3)
            for (int c = 0; c < 3; ++c) q[c] = static_cast<float>(p[2 - c] / 255.0);
    }
    return result;
}
