// The window's regrade on a control change, measured end to end without the
// toolkit, along the grading road: statistics of the reference cell, the
// control mapping, the 33-point cube, and grading a fresh copy of the
// viewer's fitted preview.
#include <benchmark/benchmark.h>

#include <memory>

#include "engine/look/GradingRoad.h"
#include "engine/lut/LUT.h"
#include "engine/picture/Image.h"
#include "engine/picture/ImageResize.h"
#include "engine/picture/Thumbnail.h"

namespace {

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

// Arguments: the viewer's display width and height.
void BM_WindowRegrade(benchmark::State& state) {
    const TImage cell = MakeThumbnailCell(FitImage(Picture(600, 400), kThumbnailSize, kThumbnailSize));
    const TImage scaled = Picture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    auto lut = std::make_unique<TLUT>();
    TLookPositions positions;
    int step = 0;
    for (auto _ : state) {
        positions.Saturation = 60 + (step++ % 80);  // a slider being dragged
        const TImage reference = cell.Clone();
        BuildLookLut(LookFromReference(reference, positions), *lut);
        TImage display = scaled.Clone();
        GradePicture(*lut, display);
        benchmark::DoNotOptimize(display.Row(0));
    }
}
BENCHMARK(BM_WindowRegrade)
    ->Args({794, 394})
    ->Args({994, 494})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
