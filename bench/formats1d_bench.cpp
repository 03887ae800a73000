// Speed of the 1D and XML-based formats and of the look export at the sizes
// the output profiles use.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <cstdio>
#include <memory>
#include <string>

#include "formats/AscCdlFormat.h"
#include "formats/FormatRegistry.h"
#include "formats/LookExport.h"
#include "formats/Lut1DFormats.h"
#include "formats/xml/XMLNode.h"

namespace {

std::string TempPath(const char* name) { return "/tmp/ombrane-bench-" + std::to_string(getpid()) + "-" + name; }

std::unique_ptr<TLUT> Ramp(int size) {
    auto lut = std::make_unique<TLUT>();
    lut->Kind = lkCurve;
    lut->CurveSize = size;
    for (int i = 0; i < size; ++i) {
        const double x = static_cast<double>(i) / (size - 1);
        lut->Curve[i] = {x, x * x, 1 - x};
    }
    return lut;
}

void WriteThenRead(const char* formatId, benchmark::State& state, int size, int bits, bool read, const char* name) {
    const TLUTFormat& format = *FindLutFormat(formatId);
    auto lut = Ramp(size);
    auto back = std::make_unique<TLUT>();
    const std::string path = TempPath(name);
    for (auto _ : state) {
        format.SaveToFile(path, *lut, bits);
        if (read) format.LoadFromFile(path, *back);
    }
    std::remove(path.c_str());
}

void BM_Lustre1DWriteRead65536(benchmark::State& state) {
    WriteThenRead("lustre-1d", state, 65536, 16, true, "lustre.lut");
}
BENCHMARK(BM_Lustre1DWriteRead65536)->Unit(benchmark::kMillisecond);

void BM_Cube1DWriteRead4096(benchmark::State& state) { WriteThenRead("cube-1d", state, 4096, 0, true, "cube1d.cube"); }
BENCHMARK(BM_Cube1DWriteRead4096)->Unit(benchmark::kMillisecond);

void BM_Stwo1DWriteRead1024(benchmark::State& state) {
    WriteThenRead("stwo-1d", state, 1024, 10, true, "stwo.swto.xml");
}
BENCHMARK(BM_Stwo1DWriteRead1024)->Unit(benchmark::kMillisecond);

void BM_XmlParse100001Elements(benchmark::State& state) {
    std::string text = "<?xml version=\"1.0\"?>\n<lut name=\"x\">\n<data>\n";
    for (int i = 0; i < 100000; ++i) text += "<elem r=\"1023\" g=\"512\" b=\"0\"/>\n";
    text += "</data>\n</lut>\n";
    for (auto _ : state) {
        TXMLNode root;
        root.LoadFromText(text);
        benchmark::DoNotOptimize(root.ChildCount());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_XmlParse100001Elements)->Unit(benchmark::kMillisecond);

void BM_PFCleanWriteRead33(benchmark::State& state) {
    const TLUTFormat& format = *FindLutFormat("pfclean-3d");
    auto lut = std::make_unique<TLUT>();
    lut->Kind = lkCube;
    lut->CubeSize = 33;
    for (int r = 0; r < 33; ++r)
        for (int g = 0; g < 33; ++g)
            for (int b = 0; b < 33; ++b) lut->Cube[r][g][b] = {r / 32.0, g / 32.0, b / 32.0};
    auto back = std::make_unique<TLUT>();
    const std::string path = TempPath("pfclean.pfl");
    for (auto _ : state) {
        format.SaveToFile(path, *lut, 8);
        format.LoadFromFile(path, *back);
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_PFCleanWriteRead33)->Unit(benchmark::kMillisecond);

void BM_AscCdlToCube(benchmark::State& state) {
    const std::string path = TempPath("grade.cc");
    if (FILE* file = std::fopen(path.c_str(), "w")) {
        std::fputs(
            "<ColorCorrection id=\"a\"><SOPNode><Slope>1.1 0.9 1</Slope><Offset>0.01 0 -0.02</Offset>"
            "<Power>1.2 1 0.8</Power></SOPNode><SATNode><Saturation>0.8</Saturation></SATNode>"
            "</ColorCorrection>\n",
            file);
        std::fclose(file);
    }
    const TLUTFormat& format = *FindLutFormat("asc-cdl");
    auto lut = std::make_unique<TLUT>();
    for (auto _ : state) {
        lut->Comments.clear();
        format.LoadFromFile(path, *lut);
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_AscCdlToCube)->Unit(benchmark::kMillisecond);

// The export road of the window and the command line at a profile default.
void BM_ExportLookCube33(benchmark::State& state) {
    TLookSettings settings;
    for (auto& range : settings.Stats.Ranges) {
        range.MeanU = 0.02;
        range.DevU = 0.1;
        range.MeanV = -0.01;
        range.DevV = 0.08;
    }
    const TLutOutputProfile& profile = *GetLutOutputProfile(7);  // Cube 3D Davinci, 33 points
    const std::string path = TempPath("look.cube");
    for (auto _ : state) ExportLook(settings, profile, profile.DefaultSize, profile.DefaultBits, path);
    std::remove(path.c_str());
}
BENCHMARK(BM_ExportLookCube33)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
