// Learning a look from a graded pair: how fast, and how well against the
// simple approach many tools take.
//
// Usage: learn_measure [RUNS [--speed-only]]   (default 3 runs)
//
// 1. Speed: the mate-backgrounds photograph Elephants_5640x3172.jpg enlarged
//    with Lanczos3 to 6528 x 3672 (24.0 megapixels) as BEFORE, AFTER that
//    picture through the S-curve-with-hue-twist look; the time of the fit
//    into a 33-point LUT (the streaming pass and the solve) and of the
//    CIEDE2000 report, wall and CPU, best and median of RUNS.
// 2. Quality: each known look of tests/cli/KnownLooks.h learned from
//    Garden.jpg (fitted into 1000 x 1000) and applied to held-out
//    photographs of the same package graded with the same look; the mean
//    CIEDE2000 over the held-out pixels inside the covered volume, for our
//    fit and for nearest-grid-point averaging (each grid point the mean
//    AFTER of the pixels nearest to it, the identity where there are none).
//    Prints a Markdown table.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "engine/colour/ColourDifference.h"
#include "tests/cli/KnownLooks.h"

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + 1e-6 * (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

std::string LoadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one;
    file >> one;
    return one;
}

void MeasureSpeed(int runs) {
    TImage photo;
    LoadImageFile("/usr/share/backgrounds/mate/abstract/Elephants_5640x3172.jpg", photo);
    TImage before;
    ResizeImage(6528, 3672, kLanczos3Filter, before, photo, 0.0f);
    photo = TImage();
    const TImage after = Graded(before, *SCurveHueTwist());
    const TPicturePair pair = PairOf(before, after);

    std::vector<double> fitWall, reportWall, cpu;
    for (int run = 0; run < runs; ++run) {
        TLUT lut;
        const double cpu0 = CpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        FitLutToPair(pair, {33, kDefaultSmoothness}, lut);
        const auto t1 = std::chrono::steady_clock::now();
        const TFitQuality quality = MeasureFit(pair, lut);
        const auto t2 = std::chrono::steady_clock::now();
        cpu.push_back(CpuSeconds() - cpu0);
        fitWall.push_back(std::chrono::duration<double>(t1 - t0).count());
        reportWall.push_back(std::chrono::duration<double>(t2 - t1).count());
        std::printf("run %d: fit %.2f s, report %.2f s wall, %.2f s CPU (mean dE %.3f, p99 %.3f), load %s\n", run + 1,
                    fitWall.back(), reportWall.back(), cpu.back(), quality.MeanDeltaE, quality.Percentile99,
                    LoadAverage().c_str());
    }
    auto best = [](std::vector<double> v) { return *std::min_element(v.begin(), v.end()); };
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::printf(
        "\n24.0 MP pair into 33 points: fit %.2f s best / %.2f s median, report %.2f / %.2f s, "
        "CPU %.2f / %.2f s\n\n",
        best(fitWall), median(fitWall), best(reportWall), median(reportWall), best(cpu), median(cpu));
}

// Nearest-grid-point averaging: each grid point the mean AFTER of the
// pixels whose BEFORE is nearest to it; the identity where there are none.
void NearestAverage(const TImage& before, const TImage& after, int size, TLUT& lut) {
    const std::size_t nodes = static_cast<std::size_t>(size) * size * size;
    std::vector<double> sums(nodes * 3, 0.0);
    std::vector<double> counts(nodes, 0.0);
    std::vector<float> b(static_cast<std::size_t>(before.Width()) * 3), a(b.size());
    for (int y = 0; y < before.Height(); ++y) {
        EightBitRow(before, y, b.data());
        EightBitRow(after, y, a.data());
        for (int x = 0; x < before.Width(); ++x) {
            std::size_t node = 0;
            for (int c = 0; c < 3; ++c)
                node = node * size + static_cast<std::size_t>(std::lround(b[3 * x + c] * (size - 1)));
            counts[node] += 1.0;
            for (int c = 0; c < 3; ++c) sums[node * 3 + c] += a[3 * x + c];
        }
    }
    lut.Kind = lkCube;
    lut.CubeSize = size;
    for (int r = 0; r < size; ++r)
        for (int g = 0; g < size; ++g)
            for (int bl = 0; bl < size; ++bl) {
                const std::size_t node = (static_cast<std::size_t>(r) * size + g) * size + bl;
                const double n = counts[node];
                lut.Cube[r][g][bl] =
                    n > 0 ? TRGBDouble{sums[node * 3] / n, sums[node * 3 + 1] / n, sums[node * 3 + 2] / n}
                          : TRGBDouble{double(r) / (size - 1), double(g) / (size - 1), double(bl) / (size - 1)};
            }
}

struct TLookCase {
    const char* Name;
    std::unique_ptr<TLUT> Lut;
    bool LogFootage;
};

void MeasureQuality() {
    std::vector<TLookCase> looks;
    looks.push_back({"library look (reference Dune.jpg)", LibraryLook("Dune.jpg"), false});
    looks.push_back({"S-curve with hue twist", SCurveHueTwist(), false});
    looks.push_back({"near monochrome", NearMonochrome(), false});
    looks.push_back({"log to display", LogToDisplay(), true});
    const std::vector<std::string> heldOut = {"LadyBird.jpg", "Aqua.jpg", "YellowFlower.jpg", "TwoWings.jpg"};
    constexpr int kBox = 1000;

    std::printf(
        "| look | pair: ours mean / p99 | pair: nearest mean | held-out: ours mean | held-out: nearest mean "
        "| ratio | held-out pixels covered |\n|---|---|---|---|---|---|---|\n");
    for (const TLookCase& look : looks) {
        const TImage photo = LoadPhoto("Garden.jpg", kBox);
        const TImage before = look.LogFootage ? AsLogFootage(photo) : photo.Clone();
        const TImage after = Graded(before, *look.Lut);
        TLUT ours, nearest;
        const TFitCoverage coverage = FitLutToPair(PairOf(before, after), {33, kDefaultSmoothness}, ours);
        NearestAverage(before, after, 33, nearest);
        const TFitQuality pairOurs = MeasureFit(PairOf(before, after), ours);
        const TFitQuality pairNearest = MeasureFit(PairOf(before, after), nearest);

        double sumOurs = 0, sumNearest = 0;
        std::int64_t measured = 0, outside = 0;
        for (const std::string& name : heldOut) {
            const TImage heldPhoto = LoadPhoto(name, kBox);
            const TImage heldBefore = look.LogFootage ? AsLogFootage(heldPhoto) : heldPhoto.Clone();
            const TImage heldAfter = Graded(heldBefore, *look.Lut);
            const TFitQuality o = MeasureFit(PairOf(heldBefore, heldAfter), ours, &coverage);
            const TFitQuality n = MeasureFit(PairOf(heldBefore, heldAfter), nearest, &coverage);
            sumOurs += o.MeanDeltaE * static_cast<double>(o.Measured);
            sumNearest += n.MeanDeltaE * static_cast<double>(n.Measured);
            measured += o.Measured;
            outside += o.Outside;
        }
        const double meanOurs = sumOurs / static_cast<double>(measured);
        const double meanNearest = sumNearest / static_cast<double>(measured);
        std::printf("| %s | %.3f / %.3f | %.3f | %.3f | %.3f | %.1fx | %.1f %% |\n", look.Name, pairOurs.MeanDeltaE,
                    pairOurs.Percentile99, pairNearest.MeanDeltaE, meanOurs, meanNearest, meanNearest / meanOurs,
                    100.0 * static_cast<double>(measured) / static_cast<double>(measured + outside));
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const bool speedOnly = argc > 2 && std::string(argv[2]) == "--speed-only";
    try {
        if (!speedOnly) {
            MeasureQuality();
            std::printf("\n");
        }
        MeasureSpeed(runs);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "learn_measure: %s\n", error.what());
        return 1;
    }
    return 0;
}
