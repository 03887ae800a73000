// The hot roads of the program measured in process, on the same inputs the
// side-by-side comparison (bench/compare) hands to the other tools:
//   grading and saving a large photograph, and its stages one by one;
//   the LUT stage alone, in nanoseconds per pixel;
//   opening a preview: reading, decoding and the Lanczos3 fit into 1000 x 500;
//   writing and reading a 64-point cube file;
//   the live regrade of the 1000 x 500 display copy.
//
// Usage: compare_bench --picture=FILE.jpg --reference=FILE.jpg
//                      [--cube=FILE.cube] [benchmark options]
// The LUT stage reads --cube when given (the table the other tools read),
// otherwise it builds the 33-point look of the reference itself.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>

#include "engine/colour/ColorSpace.h"
#include "engine/look/GradingRoad.h"
#include "engine/look/LookControls.h"
#include "engine/look/LookTransfer.h"
#include "engine/lut/LUT.h"
#include "engine/picture/Image.h"
#include "engine/picture/ImageResize.h"
#include "engine/picture/Thumbnail.h"
#include "formats/FormatRegistry.h"
#include "imageio/ImageFile.h"
#include "library/ReferenceLibrary.h"

namespace {

std::string gPicture, gReference, gCube;

constexpr int kPreviewWidth = 1000, kPreviewHeight = 500;
constexpr int kCubeProfile = 7;  // "Cube 3D Davinci", index from 0

std::string ReadBytes(const std::string& fileName) {
    std::ifstream file(fileName, std::ios::binary);
    if (!file) throw std::runtime_error("cannot open " + fileName);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// The positions the comparison also gives ombrane-cli.
TLookPositions SamplePositions() {
    TLookPositions p;
    p.Saturation = 140;
    p.Gain = 130;
    p.Red = 150;
    p.Low = 80;
    return p;
}

// The reference's cell as the window analyses it.
TImage ReferenceCell() {
    TImage picture;
    LoadImageFile(gReference, picture);
    return MakeThumbnailCell(ReduceLikeLibrary(picture));
}

std::unique_ptr<TLUT> LookCube(int size) {
    return MakeLookLut(LookFromReference(ReferenceCell(), SamplePositions()), size);
}

TImage LoadPicture() {
    TImage picture;
    LoadImageFile(gPicture, picture);
    return picture;
}

void PerPixel(benchmark::State& state, const TImage& image) {
    state.counters["ns_per_pixel"] = benchmark::Counter(
        static_cast<double>(image.Width()) * image.Height() * static_cast<double>(state.iterations()) * 1e-9,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Road 1 in process: read, decode, grade, encode at quality 100, write.
void BM_GradeAndSave(benchmark::State& state) {
    auto lut = LookCube(kLookCubeSize);
    const std::string out = "/tmp/ombrane-compare-" + std::to_string(getpid()) + ".jpg";
    for (auto _ : state) {
        TImage picture = LoadPicture();
        lut->ApplyToImage(picture);
        SaveImageFile(out, picture);
    }
    std::remove(out.c_str());
}

void BM_DecodeJpeg(benchmark::State& state) {
    const std::string bytes = ReadBytes(gPicture);
    TImage picture;
    for (auto _ : state) {
        DecodeJpeg(bytes, picture);
        benchmark::DoNotOptimize(picture.Row(0));
    }
    PerPixel(state, picture);
}

void BM_EncodeJpeg100(benchmark::State& state) {
    const TImage picture = LoadPicture();
    for (auto _ : state) benchmark::DoNotOptimize(EncodeJpeg(picture, 100));
    PerPixel(state, picture);
}

// Road 2: the LUT stage alone on the decoded picture.
void BM_LutStage(benchmark::State& state) {
    auto lut = LookCube(kLookCubeSize);
    if (!gCube.empty()) {  // the very table the other tools read
        TLUTFormat* format = GetLutFormat(GetLutOutputProfile(kCubeProfile)->FormatIndex);
        format->LoadFromFile(gCube, *lut);
    }
    const TImage source = LoadPicture();
    TImage image = source.Clone();
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(image.Row(0), source.Row(0), source.Stride() * source.Height());
        state.ResumeTiming();
        lut->ApplyToImage(image);
        benchmark::DoNotOptimize(image.Row(0));
    }
    PerPixel(state, image);
}

// Road 3: open a preview, from the file to the fitted 1000 x 500 copy.
void BM_OpenPreview(benchmark::State& state) {
    for (auto _ : state) {
        const TImage picture = LoadPicture();
        benchmark::DoNotOptimize(FitImage(picture, kPreviewWidth, kPreviewHeight));
    }
}

void BM_FitPreview(benchmark::State& state) {
    const TImage picture = LoadPicture();
    for (auto _ : state) benchmark::DoNotOptimize(FitImage(picture, kPreviewWidth, kPreviewHeight));
}

// Road 4: a 64-point cube written and read with the cube profile's format.
void BM_CubeWrite64(benchmark::State& state) {
    auto lut = LookCube(64);
    const TLutOutputProfile& profile = *GetLutOutputProfile(kCubeProfile);
    TLUTFormat* format = GetLutFormat(profile.FormatIndex);
    const std::string out = "/tmp/ombrane-compare-" + std::to_string(getpid()) + ".cube";
    for (auto _ : state) format->SaveToFile(out, *lut, profile.DefaultBits);
    std::remove(out.c_str());
}

void BM_CubeRead64(benchmark::State& state) {
    auto lut = LookCube(64);
    const TLutOutputProfile& profile = *GetLutOutputProfile(kCubeProfile);
    TLUTFormat* format = GetLutFormat(profile.FormatIndex);
    const std::string file = "/tmp/ombrane-compare-" + std::to_string(getpid()) + "-read.cube";
    format->SaveToFile(file, *lut, profile.DefaultBits);
    auto target = std::make_unique<TLUT>();
    for (auto _ : state) format->LoadFromFile(file, *target);
    std::remove(file.c_str());
}

// Road 5: a slider moves: statistics of the reference cell, the control
// mapping, the 33-point look, and grading a fresh copy of the display image.
void BM_LiveRegrade(benchmark::State& state) {
    const TImage cell = ReferenceCell();
    const TImage display = FitImage(LoadPicture(), kPreviewWidth, kPreviewHeight);
    auto lut = std::make_unique<TLUT>();
    TLookPositions positions = SamplePositions();
    int step = 0;
    for (auto _ : state) {
        positions.Saturation = 60 + (step++ % 80);
        BuildLookLut(LookFromReference(cell, positions), *lut);
        TImage image = display.Clone();
        GradePicture(*lut, image);
        benchmark::DoNotOptimize(image.Row(0));
    }
}

void Register() {
    auto timed = [](benchmark::internal::Benchmark* b) {
        b->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
    };
    timed(benchmark::RegisterBenchmark("BM_GradeAndSave", BM_GradeAndSave));
    timed(benchmark::RegisterBenchmark("BM_DecodeJpeg", BM_DecodeJpeg));
    timed(benchmark::RegisterBenchmark("BM_EncodeJpeg100", BM_EncodeJpeg100));
    timed(benchmark::RegisterBenchmark("BM_LutStage", BM_LutStage));
    timed(benchmark::RegisterBenchmark("BM_OpenPreview", BM_OpenPreview));
    timed(benchmark::RegisterBenchmark("BM_FitPreview", BM_FitPreview));
    timed(benchmark::RegisterBenchmark("BM_CubeWrite64", BM_CubeWrite64));
    timed(benchmark::RegisterBenchmark("BM_CubeRead64", BM_CubeRead64));
    timed(benchmark::RegisterBenchmark("BM_LiveRegrade", BM_LiveRegrade));
}

// Takes --picture=, --reference= and --cube= out of the arguments.
void TakeOwnArguments(int& argc, char** argv) {
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a.starts_with("--picture="))
            gPicture = a.substr(10);
        else if (a.starts_with("--reference="))
            gReference = a.substr(12);
        else if (a.starts_with("--cube="))
            gCube = a.substr(7);
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
}

}  // namespace

int main(int argc, char** argv) {
    TakeOwnArguments(argc, argv);
    if (gPicture.empty() || gReference.empty()) {
        std::fprintf(stderr, "compare_bench: --picture=FILE.jpg and --reference=FILE.jpg are needed\n");
        return 2;
    }
    Register();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
