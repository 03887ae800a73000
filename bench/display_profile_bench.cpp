// The cost a display profile adds to each regrade of the window: the viewer's
// graded picture drawn through the profile, and building the transform once
// per change of the profile.
#include <benchmark/benchmark.h>

#include <string>

#include "ColourProfile.h"
#include "Image.h"

namespace {

const std::string kProfiles = "/usr/share/color/icc/colord/";

TImage Picture(int width, int height) {
    TImage image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = image.Row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(255 * x / (width - 1));
            p[1] = static_cast<std::uint8_t>(255 * y / (height - 1));
            p[2] = static_cast<std::uint8_t>((x * 3 + y * 5) & 0xFF);
        }
    return image;
}

// Arguments: the viewer's display width and height. A wide-gamut monitor.
void BM_DisplayTransform(benchmark::State& state) {
    const TDisplayTransform transform(TColourProfile::FromIccFile(kProfiles + "AdobeRGB1998.icc"));
    const TImage display = Picture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) benchmark::DoNotOptimize(transform.Apply(display));
}
BENCHMARK(BM_DisplayTransform)->Args({1000, 562})->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DisplayTransformBuilt(benchmark::State& state) {
    const TColourProfile profile = TColourProfile::FromIccFile(kProfiles + "AdobeRGB1998.icc");
    for (auto _ : state) benchmark::DoNotOptimize(TDisplayTransform(profile));
}
BENCHMARK(BM_DisplayTransformBuilt)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
