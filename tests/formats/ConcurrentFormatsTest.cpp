// Format objects are shared by every caller: reading and writing the same
// format from several threads at once must give each thread exactly what a
// lone call gives (run under the sanitizers, this also finds races).
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "formats/FormatRegistry.h"
#include "formats/LutFormat.h"
#include "tests/formats/FormatTestSupport.h"

namespace {

constexpr int kThreads = 4;
constexpr int kRounds = 3;

// A file of each format and what a lone load makes of it.
struct TSample {
    const TLUTFormat* Format = nullptr;
    std::string Bytes;             // what the writer gives (empty for readers only)
    std::string File;              // the file loads read
    std::unique_ptr<TLUT> Source;  // what the writer writes (nullptr for readers only)
    std::unique_ptr<TLUT> Loaded;  // nullptr for writers only
};

std::string HexCube2() {
    static const char* const kValues[] = {"00000000", "0000003f", "0000803f"};
    std::string text;
    for (int i = 0; i < 8; ++i) {
        for (int c = 0; c < 3; ++c) text += std::string(kValues[(i + c) % 3]) + (c < 2 ? " " : "");
        text += "\n";
    }
    return text;
}

// Files of the formats that have no writer.
std::string ReaderOnlyText(const TLutFormatInfo& info) {
    if (info.Id == "speedgrade-look-3d")
        return "<?xml version=\"1.0\"?>\n<look>\n<shaders/>\n<lut>\n<size>\"2\"</size>\n<data>" + HexCube2() +
               "</data>\n</lut>\n</look>\n";
    if (info.Id == "asc-cdl")
        return "<ColorCorrection id=\"a\">\n<SOPNode>\n<Slope>1.1 1.0 0.9</Slope>\n"
               "<Offset>0.01 0.0 -0.02</Offset>\n<Power>1.0 1.2 1.0</Power>\n</SOPNode>\n"
               "<SATNode>\n<Saturation>0.8</Saturation>\n</SATNode>\n</ColorCorrection>\n";
    if (info.Id == "asc-cdl-collection")
        return "<ColorCorrectionCollection><ColorCorrection id=\"a\"><SOPNode><Slope>1.1 1 0.9</Slope>"
               "</SOPNode></ColorCorrection></ColorCorrectionCollection>\n";
    return "0 0 0\n100 200 300\n4095 4095 4095\n";  // DaVinci ilut and olut
}

std::unique_ptr<TLUT> SampleLut(const TLutFormatInfo& info) {
    const int size = info.OnlySize(12) ? info.OnlySize(12) : (info.Is3D ? 5 : 64);
    auto lut = formattest::IdentityCube(info.Is3D ? size : 2);
    lut->Comments = {"shared"};
    lut->CurveSize = info.Is3D ? 2 : size;
    lut->Kind = info.Is3D ? lkCube : lkCurve;
    for (int i = 0; i < lut->CurveSize; ++i) {
        const double v = i / double(lut->CurveSize - 1);
        lut->Curve[i] = TRGBDouble{v * v, v, 1 - v};
    }
    return lut;
}

bool SameTables(const TLUT& a, const TLUT& b) {
    if (a.Kind != b.Kind || a.Comments != b.Comments) return false;
    if (a.Kind == lkCube || a.Kind == lkCurveThenCube) {
        if (a.CubeSize != b.CubeSize) return false;
        for (int r = 0; r < a.CubeSize; ++r)
            for (int g = 0; g < a.CubeSize; ++g)
                for (int bl = 0; bl < a.CubeSize; ++bl) {
                    const TRGBDouble& x = a.Cube[r][g][bl];
                    const TRGBDouble& y = b.Cube[r][g][bl];
                    if (x.Red != y.Red || x.Green != y.Green || x.Blue != y.Blue) return false;
                }
    }
    if (a.Kind == lkCurve || a.Kind == lkCurveThenCube) {
        if (a.CurveSize != b.CurveSize) return false;
        for (int i = 0; i < a.CurveSize; ++i)
            if (a.Curve[i].Red != b.Curve[i].Red || a.Curve[i].Green != b.Curve[i].Green ||
                a.Curve[i].Blue != b.Curve[i].Blue)
                return false;
    }
    return true;
}

class ConcurrentFormatsTest : public formattest::TScratchFolderTest {};

TEST_F(ConcurrentFormatsTest, EveryFormatReadsAndWritesFromSeveralThreadsAtOnce) {
    std::vector<TSample> samples;
    for (const auto& format : LutFormats()) {
        const TLutFormatInfo& info = format->Info();
        TSample sample;
        sample.Format = format.get();
        sample.File = PathOf(info.Id + "." + info.Extensions.front());
        if (info.Writes) {
            sample.Source = SampleLut(info);
            format->SaveToFile(sample.File, *sample.Source, 12);
            sample.Bytes = ReadRaw(sample.File);
        } else {
            WriteRaw(sample.File, ReaderOnlyText(info));
        }
        if (info.Reads) {
            sample.Loaded = std::make_unique<TLUT>();
            format->LoadFromFile(sample.File, *sample.Loaded);
        }
        samples.push_back(std::move(sample));
    }

    // Each thread writes under the same names as the samples (some formats
    // write the name into the file), in a folder of its own.
    for (int t = 0; t < kThreads; ++t) std::filesystem::create_directory(PathOf("t" + std::to_string(t)));
    std::vector<std::vector<std::string>> faults(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            auto lut = std::make_unique<TLUT>();
            for (int round = 0; round < kRounds; ++round)
                for (const TSample& sample : samples) {
                    const TLutFormatInfo& info = sample.Format->Info();
                    try {
                        if (info.Writes) {
                            const std::string file =
                                PathOf("t" + std::to_string(t) + "/" + info.Id + "." + info.Extensions.front());
                            sample.Format->SaveToFile(file, *sample.Source, 12);
                            if (ReadRaw(file) != sample.Bytes) faults[t].push_back(info.Id + ": other bytes written");
                        }
                        if (sample.Loaded) {
                            lut->Comments.clear();
                            sample.Format->LoadFromFile(sample.File, *lut);
                            if (!SameTables(*lut, *sample.Loaded))
                                faults[t].push_back(info.Id + ": another table read");
                        }
                    } catch (const std::exception& e) {
                        faults[t].push_back(info.Id + ": " + e.what());
                    }
                }
        });
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_TRUE(faults[t].empty()) << "thread " << t << ": " << faults[t].front();
}

}  // namespace
