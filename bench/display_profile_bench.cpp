// The cost a display profile adds to each regrade of the window: the viewer's
// graded picture drawn through the profile, and building the transform once
// per change of the profile (which includes checking the matrix/TRC road
// against LittleCMS on every colour).
//
// BM_DisplayTransform is the window's road; BM_DisplayTransformLittleCms the
// same pixels through LittleCMS's transform split over the cores as before,
// for comparison in the same run. The second argument picks the picture: 0 a
// synthetic ramp, 1 the mate-backgrounds photograph Elephants scaled to the
// view (skipped where it is not installed). CPU times are the whole
// process's (both threads).
#include <benchmark/benchmark.h>
#include <lcms2.h>

#include <filesystem>
#include <string>

#include "engine/base/Parallel.h"
#include "engine/picture/Image.h"
#include "engine/picture/ImageResize.h"
#include "imageio/ColourProfile.h"
#include "imageio/ImageFile.h"

namespace {

const std::string kProfiles = "/usr/share/color/icc/colord/";
const std::string kDisplay = kProfiles + "AdobeRGB1998.icc";  // a wide-gamut monitor
const std::string kPhotograph = "/usr/share/backgrounds/mate/abstract/Elephants_3840x2160.jpg";
constexpr int kWidth = 1000, kHeight = 562;

TImage Ramp() {
    TImage image(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            std::uint8_t* p = image.Row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(255 * x / (kWidth - 1));
            p[1] = static_cast<std::uint8_t>(255 * y / (kHeight - 1));
            p[2] = static_cast<std::uint8_t>((x * 3 + y * 5) & 0xFF);
        }
    return image;
}

bool Picture(int kind, TImage& picture) {
    if (kind == 0) {
        picture = Ramp();
        return true;
    }
    if (!std::filesystem::exists(kPhotograph)) return false;
    TImage photograph;
    LoadImageFile(kPhotograph, photograph);
    ResizeImage(kWidth, kHeight, 5, picture, photograph, 0);
    return true;
}

void BM_DisplayTransform(benchmark::State& state) {
    const TDisplayTransform transform(TColourProfile::FromIccFile(kDisplay));
    TImage display;
    if (!Picture(static_cast<int>(state.range(0)), display)) return state.SkipWithError("no photograph");
    // The viewer converts into the copy it keeps between regrades.
    TImage shown;
    for (auto _ : state) {
        transform.Apply(display, shown);
        benchmark::DoNotOptimize(shown.Row(0));
    }
    state.counters["matrix_road"] = transform.MatrixShaper();
}
BENCHMARK(BM_DisplayTransform)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

void BM_DisplayTransformLittleCms(benchmark::State& state) {
    const TColourProfile profile = TColourProfile::FromIccFile(kDisplay);
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHPROFILE own = cmsOpenProfileFromMem(profile.Icc().data(), static_cast<cmsUInt32Number>(profile.Icc().size()));
    cmsHTRANSFORM transform = cmsCreateTransform(srgb, TYPE_BGR_8, own, TYPE_BGR_8, INTENT_RELATIVE_COLORIMETRIC,
                                                 cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_NOCACHE);
    TImage display;
    if (Picture(static_cast<int>(state.range(0)), display)) {
        for (auto _ : state) {
            TImage out(display.Width(), display.Height());
            ParallelFor(display.Height(), 64, [&](int begin, int end) {
                for (int y = begin; y < end; ++y) cmsDoTransform(transform, display.Row(y), out.Row(y), kWidth);
            });
            benchmark::DoNotOptimize(out);
        }
    } else {
        state.SkipWithError("no photograph");
    }
    cmsDeleteTransform(transform);
    cmsCloseProfile(own);
    cmsCloseProfile(srgb);
}
BENCHMARK(BM_DisplayTransformLittleCms)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

void BM_DisplayTransformBuilt(benchmark::State& state) {
    const TColourProfile profile = TColourProfile::FromIccFile(kDisplay);
    for (auto _ : state) benchmark::DoNotOptimize(TDisplayTransform(profile));
}
BENCHMARK(BM_DisplayTransformBuilt)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
