// The window's regrade with the Scopes panel shown, measured without the
// widgets: the regrade of regrade_bench (statistics of the reference cell,
// the control mapping, the 33-point cube, grading a fresh copy of the
// display), then the scopes of the graded display and of the reference cell
// and their drawing at the panel's size, all three scopes at once.
#include <benchmark/benchmark.h>

#include <memory>

#include "engine/colour/ColorSpace.h"
#include "engine/look/LookControls.h"
#include "engine/look/LookTransfer.h"
#include "engine/lut/LUT.h"
#include "engine/picture/Image.h"
#include "engine/picture/ImageResize.h"
#include "engine/picture/Thumbnail.h"
#include "engine/scopes/Scopes.h"
#include "scopeview/ScopeBox.h"
#include "scopeview/ScopeDrawing.h"

namespace {

// The width of the drawing in a panel of the window's default size.
constexpr int kPanelDrawingWidth = 330;

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

struct TRegrade {
    TImage Cell = MakeThumbnailCell(FitImage(Picture(600, 400), kThumbnailSize, kThumbnailSize));
    std::unique_ptr<TLUT> Lut = std::make_unique<TLUT>();
    TLookPositions Positions;
    TColorStats Stats;
    int Step = 0;

    TRegrade() {
        Lut->Kind = lkCube;
        Lut->CubeSize = 33;
    }
    TImage Run(const TImage& scaled) {
        Positions.Saturation = 60 + (Step++ % 80);  // a slider being dragged
        const TImage reference = Cell.Clone();
        ComputeColorStats(reference, Stats);
        const TLookSettings settings = MakeLookSettings(Stats, Positions);
        BuildLookCube(settings, settings.Factors, *Lut);
        TImage display = scaled.Clone();
        Lut->ApplyToImage(display);
        return display;
    }
};

// Arguments: the display's width and height.
void BM_RegradeWithScopes(benchmark::State& state) {
    const TImage scaled = Picture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    TRegrade regrade;
    TScopeData data, cloud;
    for (auto _ : state) {
        const TImage display = regrade.Run(scaled);
        data.Measure(display);
        cloud.Measure(regrade.Cell);
        const QImage drawing =
            DrawScopes(data, TScopeKind::All, kPanelDrawingWidth, false, TScopeReference{&cloud, &regrade.Stats});
        benchmark::DoNotOptimize(drawing.constBits());
    }
}
BENCHMARK(BM_RegradeWithScopes)
    ->Args({1000, 562})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// The parts on their own: measuring the display, and drawing.
void BM_ScopeMeasure(benchmark::State& state) {
    const TImage display = Picture(1000, 562);
    TScopeData data;
    for (auto _ : state) {
        data.Measure(display);
        benchmark::DoNotOptimize(data.PixelCount());
    }
}
BENCHMARK(BM_ScopeMeasure)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// As the window measures a view of this size: at most 600 rows, one column
// per waveform column.
void BM_ScopeMeasureView(benchmark::State& state) {
    const TImage display = Picture(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    TScopeData data;
    for (auto _ : state) {
        data.Measure(TScopeInput{&display, nullptr, 0}, (display.Height() + 599) / 600, kScopeMaxColumns);
        benchmark::DoNotOptimize(data.PixelCount());
    }
}
BENCHMARK(BM_ScopeMeasureView)
    ->Args({988, 556})
    ->Args({1909, 1074})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// What the drawings show: the scopes of a 1000 x 562 picture and a
// reference's cell with its statistics.
struct TDrawn {
    TScopeData Data, Cloud;
    TColorStats Stats{};
    TDrawn() {
        Data.Measure(Picture(1000, 562));
        const TImage cell = MakeThumbnailCell(FitImage(Picture(600, 400), kThumbnailSize, kThumbnailSize));
        Cloud.Measure(cell);
        ComputeColorStats(cell, Stats);
    }
    TScopeReference Reference() const { return TScopeReference{&Cloud, &Stats}; }
};

void BM_ScopeDraw(benchmark::State& state) {
    const TDrawn drawn;
    for (auto _ : state) {
        const QImage drawing =
            DrawScopes(drawn.Data, TScopeKind::All, static_cast<int>(state.range(0)), false, drawn.Reference());
        benchmark::DoNotOptimize(drawing.constBits());
    }
}
BENCHMARK(BM_ScopeDraw)->Arg(kPanelDrawingWidth)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The window's drawing: all three scopes with their scales in a box of the
// dock's size at 1920 x 1080 (arguments: the box's width and height).
void BM_ScopeBoxDraw(benchmark::State& state) {
    const TDrawn drawn;
    const QSize box(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        const QImage drawing = DrawScopesInBox(drawn.Data, TScopeKind::All, box, false, drawn.Reference());
        benchmark::DoNotOptimize(drawing.constBits());
    }
}
BENCHMARK(BM_ScopeBoxDraw)->Args({330, 910})->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
