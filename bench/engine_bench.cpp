#include <benchmark/benchmark.h>

#include <memory>
#include <random>

#include "engine/colour/ColorSpace.h"
#include "engine/look/GradingRoad.h"
#include "engine/look/LookControls.h"
#include "engine/look/LookTransfer.h"
#include "engine/lut/LUT.h"
#include "engine/lut/LUTReference.h"
#include "engine/picture/Image.h"
#include "engine/picture/ImageResize.h"
#include "engine/picture/StretchForm.h"

namespace {

TImage RandomImage(int width, int height) {
    TImage image(width, height);
    std::mt19937 rng(42);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < 3 * width; ++x) image.Row(y)[x] = static_cast<std::uint8_t>(rng() & 0xFF);
    return image;
}

// A smooth picture, closer to a photograph than noise (neighbouring pixels
// share cube cells).
TImage GradientImage(int width, int height) {
    TImage image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = image.Row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>((x * 255) / width);
            p[1] = static_cast<std::uint8_t>((y * 255) / height);
            p[2] = static_cast<std::uint8_t>(((x + y) * 127) / (width + height) + 64);
        }
    return image;
}

TLookSettings SampleSettings() {
    TColorStats stats;
    stats.Ranges[0] = {0.01, 0.05, -0.02, 0.04};
    stats.Ranges[1] = {0.02, 0.06, -0.03, 0.05};
    stats.Ranges[2] = {0.04, 0.1, -0.06, 0.1};
    TLookPositions p;
    p.Gain = 120;
    p.Saturation = 130;
    p.Red = 150;
    p.Low = 80;
    p.CompressSaturation = true;
    return MakeLookSettings(stats, p);
}

std::unique_ptr<TLUT> SampleLut(int size) {
    auto lut = std::make_unique<TLUT>();
    lut->Kind = lkCube;
    lut->CubeSize = size;
    const TLookSettings s = SampleSettings();
    BuildLookCube(s, s.Factors, *lut);
    return lut;
}

void BM_BuildLookCube(benchmark::State& state) {
    auto lut = std::make_unique<TLUT>();
    lut->CubeSize = static_cast<int>(state.range(0));
    const TLookSettings s = SampleSettings();
    for (auto _ : state) {
        BuildLookCube(s, s.Factors, *lut);
        benchmark::DoNotOptimize(lut->Cube[1][1][1]);
    }
}
BENCHMARK(BM_BuildLookCube)->Arg(33)->Arg(64)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void ApplyBenchmark(benchmark::State& state, bool plain, bool smooth) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    auto lut = SampleLut(33);
    const TImage source = smooth ? GradientImage(w, h) : RandomImage(w, h);
    TImage image = source.Clone();
    for (auto _ : state) {
        state.PauseTiming();
        image = source.Clone();
        state.ResumeTiming();
        if (plain)
            lutreference::ApplyToImage(*lut, image);
        else
            lut->ApplyToImage(image);
        benchmark::DoNotOptimize(image.Row(0));
    }
    state.counters["ns_per_pixel"] = benchmark::Counter(static_cast<double>(w) * h * state.iterations() * 1e-9,
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ApplyToImage(benchmark::State& state) { ApplyBenchmark(state, false, false); }
void BM_ApplyToImageSmooth(benchmark::State& state) { ApplyBenchmark(state, false, true); }
void BM_ApplyToImagePlain(benchmark::State& state) { ApplyBenchmark(state, true, false); }
BENCHMARK(BM_ApplyToImage)
    ->Args({250, 250})
    ->Args({1000, 500})
    ->Args({5640, 3172})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_ApplyToImageSmooth)
    ->Args({1000, 500})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_ApplyToImagePlain)
    ->Args({1000, 500})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// One regrade as the window does it on a control change: rebuild the 33-point
// look, then grade a fresh copy of the 1000 x 500 display image.
void BM_LiveRegrade(benchmark::State& state) {
    auto lut = std::make_unique<TLUT>();
    const TLookSettings s = SampleSettings();
    const TImage display = GradientImage(1000, 500);
    for (auto _ : state) {
        BuildLookLut(s, *lut);
        TImage image = display.Clone();
        GradePicture(*lut, image);
        benchmark::DoNotOptimize(image.Row(0));
    }
}
BENCHMARK(BM_LiveRegrade)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_StretchLanczos3(benchmark::State& state) {
    const TImage source = RandomImage(6000, 4000);
    TImage dest(750, 500);
    const TResizeFilter& f = kResizeFilters[kLanczos3Filter];
    for (auto _ : state) {
        StretchImage(f.Function, source, dest, f.Support);
        benchmark::DoNotOptimize(dest.Row(0));
    }
}
BENCHMARK(BM_StretchLanczos3)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// A clip frame resized for the window as it steps, in each vector form of
// the passes: arguments width, height, form (0 SSE2, 1 AVX2).
void BM_ResizeFrame(benchmark::State& state) {
    const auto form = state.range(2) == 0 ? TStretchForm::Sse2 : TStretchForm::Avx2;
    if (form > WidestStretchForm()) {
        state.SkipWithError("the processor has no AVX2");
        return;
    }
    const TStretchForm before = LimitStretchForm(form);
    const TImage source = RandomImage(1920, 1080);
    TImage dest;
    for (auto _ : state) {
        ResizeImage(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), kLanczos3Filter, dest, source,
                    0.0f);
        benchmark::DoNotOptimize(dest.Row(0));
    }
    LimitStretchForm(before);
}
BENCHMARK(BM_ResizeFrame)
    ->Args({1310, 737, 0})
    ->Args({1310, 737, 1})
    ->Args({1000, 562, 0})
    ->Args({1000, 562, 1})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_FitImageThumbnail(benchmark::State& state) {
    const TImage source = RandomImage(1920, 1080);
    for (auto _ : state) benchmark::DoNotOptimize(FitImage(source, 150, 150));
}
BENCHMARK(BM_FitImageThumbnail)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
