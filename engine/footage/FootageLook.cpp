#include "engine/footage/FootageLook.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/base/Error.h"
#include "engine/base/Parallel.h"
#include "engine/footage/DeepColourMemo.h"
#include "engine/footage/DistinctColours.h"
#include "engine/look/LookStrength.h"
#include "engine/lut/LUT.h"
#include "engine/picture/DeepGrade.h"
#include "engine/picture/DeepImage.h"
#include "engine/picture/Image.h"

namespace {

constexpr int kFootageMinPointsPerThread = 4096;
constexpr int kFootageMinPixelsPerThread = 65536;
// Pictures (or strips of one) from this size on are converted colour by
// colour, each band of rows whose pixels are at most this share of colours
// not met before.
constexpr double kMinLookMemoPixels = 1 << 16;
constexpr double kMaxNewShare = 0.5;
// Colours a worker keeps of a picture at its own precision: a table of at
// most 32 MB.
constexpr std::size_t kMaxKeptDeepColours = 1 << 19;

}  // namespace

std::uint8_t FootageCode(float v) {
    if (!(v >= 0.0f)) return 0;
    if (v >= 1.0f) return 255;
    return static_cast<std::uint8_t>(std::lround(v * 255.0f));
}

void BuildFootageLookCube(const TLookSettings& settings, const TSaturationFactors& factors,
                          const TFootageConversion& footage, TLUT& lut) {
    const int n = lut.CubeSize;
    if (n < kMinLookCubeSize || n > kMaxCubeSize)
        throw EError("The cube size " + std::to_string(n) + " is outside the range " +
                     std::to_string(kMinLookCubeSize) + " to " + std::to_string(kMaxCubeSize) + ".");
    const double last = n - 1;
    // One red plane of grid colours at a time is converted, then looked at.
    const int minPlanes = std::max(1, kFootageMinPointsPerThread / (n * n));
    ParallelFor(n, minPlanes, [&](int i0, int i1) {
        std::vector<float> plane(static_cast<std::size_t>(n) * n * 3);
        for (int i = i0; i < i1; ++i) {
            std::size_t p = 0;
            for (int j = 0; j < n; ++j)
                for (int k = 0; k < n; ++k) {
                    plane[p++] = static_cast<float>(i / last);
                    plane[p++] = static_cast<float>(j / last);
                    plane[p++] = static_cast<float>(k / last);
                }
            footage.Convert(plane.data(), static_cast<std::size_t>(n) * n);
            p = 0;
            for (int j = 0; j < n; ++j)
                for (int k = 0; k < n; ++k, p += 3)
                    lut.Cube[i][j][k] = LookColour(settings, factors, {plane[p], plane[p + 1], plane[p + 2]});
        }
    });
    ApplyLookStrength(settings.Strength, lut);
}

void ConvertFootageImage(const TFootageConversion& footage, TImage& image) {
    if (static_cast<double>(image.Width()) * image.Height() >= kMinLookMemoPixels) {
        footage.Memo().Convert(footage, image, kMaxNewShare, FootageCode);
        return;
    }
    const int width = image.Width();
    const int minRows = std::max(1, kFootageMinPixelsPerThread / std::max(1, width));
    ParallelFor(image.Height(), minRows, [&](int y0, int y1) {
        std::vector<float> row(static_cast<std::size_t>(width) * 3);
        for (int y = y0; y < y1; ++y) {
            std::uint8_t* pixels = image.Row(y);  // blue, green, red
            for (int x = 0; x < width; ++x) {
                row[3 * x] = pixels[3 * x + 2] / 255.0f;
                row[3 * x + 1] = pixels[3 * x + 1] / 255.0f;
                row[3 * x + 2] = pixels[3 * x] / 255.0f;
            }
            footage.Convert(row.data(), static_cast<std::size_t>(width));
            for (int x = 0; x < width; ++x) {
                pixels[3 * x + 2] = FootageCode(row[3 * x]);
                pixels[3 * x + 1] = FootageCode(row[3 * x + 1]);
                pixels[3 * x] = FootageCode(row[3 * x + 2]);
            }
        }
    });
}

void ConvertFootageDeep(const TFootageConversion& footage, TDeepImage& image, const TLUT* look) {
    const auto results = [&footage, look](float* rgb, std::size_t count) {
        footage.Convert(rgb, count);
        if (look != nullptr)
            for (std::size_t i = 0; i < count; ++i) GradeDeepPixel(*look, rgb + 3 * i);
    };
    const int width = image.Width();
    const int minRows = std::max(1, kFootageMinPixelsPerThread / std::max(1, width));
    const bool large = static_cast<double>(width) * image.Height() >= kMinLookMemoPixels;
    ParallelFor(image.Height(), minRows, [&](int y0, int y1) {
        if (large) {
            TDeepColourMemo memo(results, kMaxKeptDeepColours);
            memo.Convert(image, y0, y1, kMaxNewShare);
            return;
        }
        for (int y = y0; y < y1; ++y) results(image.Row(y), static_cast<std::size_t>(width));
    });
}

TColourMemo& TFootageConversion::Memo() const {
    std::call_once(memoMade_, [this] { memo_ = std::make_shared<TColourMemo>(); });
    return *memo_;
}
