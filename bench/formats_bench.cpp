// Speed of the largest files the export writes: a 64-point cube as Cube 3D
// text (262,144 lines) and as FSI DIT binary, and reading the Cube 3D file.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <cstdio>
#include <memory>
#include <random>
#include <string>

#include "formats/FormatRegistry.h"

namespace {

std::unique_ptr<TLUT> MakeCube(int size) {
    auto lut = std::make_unique<TLUT>();
    lut->Kind = lkCube;
    lut->CubeSize = size;
    std::mt19937 random(1);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int r = 0; r < size; ++r)
        for (int g = 0; g < size; ++g)
            for (int b = 0; b < size; ++b) lut->Cube[r][g][b] = TRGBDouble{unit(random), unit(random), unit(random)};
    return lut;
}

std::string BenchFile(const char* name) {
    return "/tmp/ombrane-formats-bench-" + std::to_string(getpid()) + "-" + name;
}

void BM_Cube3DWrite64(benchmark::State& state) {
    auto lut = MakeCube(64);
    const TLUTFormat& format = *FindLutFormat("cube-3d");
    const std::string file = BenchFile("write.cube");
    for (auto _ : state) format.SaveToFile(file, *lut, 0);
    std::remove(file.c_str());
}
BENCHMARK(BM_Cube3DWrite64)->Unit(benchmark::kMillisecond);

void BM_Cube3DRead64(benchmark::State& state) {
    auto lut = MakeCube(64);
    const TLUTFormat& format = *FindLutFormat("cube-3d");
    const std::string file = BenchFile("read.cube");
    format.SaveToFile(file, *lut, 0);
    auto target = std::make_unique<TLUT>();
    for (auto _ : state) format.LoadFromFile(file, *target);
    std::remove(file.c_str());
}
BENCHMARK(BM_Cube3DRead64)->Unit(benchmark::kMillisecond);

void BM_FsiDitWrite64(benchmark::State& state) {
    auto lut = MakeCube(64);
    const TLUTFormat& format = *FindLutFormat("fsi-dit-3d");
    const std::string file = BenchFile("write.dat");
    for (auto _ : state) format.SaveToFile(file, *lut, 10);
    std::remove(file.c_str());
}
BENCHMARK(BM_FsiDitWrite64)->Unit(benchmark::kMillisecond);

void BM_3dlWrite64(benchmark::State& state) {
    auto lut = MakeCube(64);
    const TLUTFormat& format = *FindLutFormat("3dl");
    const std::string file = BenchFile("write.3dl");
    for (auto _ : state) format.SaveToFile(file, *lut, 12);
    std::remove(file.c_str());
}
BENCHMARK(BM_3dlWrite64)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
