// Measures how close a graded frame's chroma comes to its reference's, with
// the look as the window builds it at default controls, once treating the
// frame as neutral (Match Preview Colours off) and once matched to it (on).
//
// Usage: match_measure [--no-padding] PICTURE...  (at least two)
// Every picture serves as the reference for every other one as the frame.
// The reference is analysed as the window analyses a library reference (its
// 150 x 150 cell, padding included); the frame is prepared as the window
// prepares a preview (fitted into 1000 x 500) and graded through the same
// road. For the whole picture and for each luma range (each picture's own
// pixels of Y < 0.33, 0.33..0.66, >= 0.66) it compares the graded frame's
// mean and spread of U and of V with the reference cell's: the absolute
// error of the means and the relative error of the spreads, averaged over
// all pairs. A range empty in either picture is left out of that range's
// average. Prints a Markdown table.
//
// --no-padding analyses each reference without the white padding of its
// cell (the reduced picture alone), to show how much the padding costs; the
// window always analyses the cell.
#include <cmath>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "engine/colour/ColorSpace.h"
#include "engine/look/GradingRoad.h"
#include "engine/look/SourceMatch.h"
#include "engine/lut/LUT.h"
#include "engine/picture/Image.h"
#include "engine/picture/Thumbnail.h"
#include "imageio/ImageFile.h"
#include "library/ReferenceLibrary.h"

namespace {

// Mean and spread of U and V of one region of a picture, with its size.
struct TChroma {
    TRangeStats Stats;
    long long Pixels = 0;
};

// Region 0..2: the luma ranges; region 3: the whole picture.
constexpr int kRegions = 4;
const char* const kRegionNames[kRegions] = {"low (Y < 0.33)", "middle", "high (Y >= 0.66)", "whole picture"};

void Measure(const TImage& image, TChroma (&out)[kRegions]) {
    TColorStats stats;
    ComputeColorStats(image, stats);
    for (int r = 0; r < 3; ++r) out[r] = {stats.Ranges[r], stats.PixelCounts[r]};
    // The whole picture: the ranges pooled (pooled variance of the three).
    TChroma whole;
    double su = 0, sv = 0, quu = 0, qvv = 0;
    for (int r = 0; r < 3; ++r) {
        const double n = stats.PixelCounts[r];
        const TRangeStats& s = stats.Ranges[r];
        whole.Pixels += stats.PixelCounts[r];
        su += n * s.MeanU;
        sv += n * s.MeanV;
        quu += n * (s.DevU * s.DevU + s.MeanU * s.MeanU);
        qvv += n * (s.DevV * s.DevV + s.MeanV * s.MeanV);
    }
    const double n = static_cast<double>(whole.Pixels);
    whole.Stats.MeanU = su / n;
    whole.Stats.MeanV = sv / n;
    whole.Stats.DevU = std::sqrt(std::max(0.0, quu / n - whole.Stats.MeanU * whole.Stats.MeanU));
    whole.Stats.DevV = std::sqrt(std::max(0.0, qvv / n - whole.Stats.MeanV * whole.Stats.MeanV));
    out[3] = whole;
}

// Sums of the four errors of one region over the pairs.
struct TErrors {
    double MeanU = 0, MeanV = 0, DevU = 0, DevV = 0;
    int Pairs = 0;
    void Add(const TRangeStats& got, const TRangeStats& want) {
        MeanU += std::fabs(got.MeanU - want.MeanU);
        MeanV += std::fabs(got.MeanV - want.MeanV);
        DevU += std::fabs(got.DevU - want.DevU) / want.DevU;
        DevV += std::fabs(got.DevV - want.DevV) / want.DevV;
        ++Pairs;
    }
};

TImage Load(const std::string& file) {
    TImage picture;
    LoadImageFile(file, picture);
    return picture;
}

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void Row(const char* region, const char* what, double plain, double match, int pairs) {
    std::printf("| %s | %s | %.4f | %.4f | %.2f | %d |\n", region, what, plain / pairs, match / pairs,
                match > 0 ? plain / match : 0.0, pairs);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files(argv + 1, argv + argc);
    const bool padding = files.empty() || files.front() != "--no-padding";
    if (!padding) files.erase(files.begin());
    if (files.size() < 2) {
        std::fprintf(stderr, "usage: match_measure [--no-padding] PICTURE PICTURE...\n");
        return 2;
    }
    try {
        std::vector<TImage> cells, frames;
        for (const std::string& file : files) {
            const TImage picture = Load(file);
            const TImage reduced = ReduceLikeLibrary(picture);
            cells.push_back(padding ? MakeThumbnailCell(reduced) : reduced.Clone());
            frames.push_back(PrepareFrame(picture));
        }
        TErrors errors[2][kRegions];  // [match][region]
        int improved = 0, pairs = 0;
        for (std::size_t ref = 0; ref < files.size(); ++ref) {
            TChroma want[kRegions];
            Measure(cells[ref], want);
            for (std::size_t frame = 0; frame < files.size(); ++frame) {
                if (frame == ref) continue;
                double wholeMeanError[2] = {0, 0};
                for (int match = 0; match < 2; ++match) {
                    TLookSettings settings = LookFromReference(cells[ref], TLookPositions());
                    if (match) MatchLookToFrame(settings, FrameStatistics(frames[frame]), files[frame]);
                    TImage graded = frames[frame].Clone();
                    GradePicture(*MakeLookLut(settings), graded);
                    TChroma got[kRegions];
                    Measure(graded, got);
                    for (int r = 0; r < kRegions; ++r)
                        if (got[r].Pixels > 0 && want[r].Pixels > 0) errors[match][r].Add(got[r].Stats, want[r].Stats);
                    wholeMeanError[match] = std::fabs(got[3].Stats.MeanU - want[3].Stats.MeanU) +
                                            std::fabs(got[3].Stats.MeanV - want[3].Stats.MeanV);
                }
                ++pairs;
                if (wholeMeanError[1] < wholeMeanError[0]) ++improved;
                std::fprintf(stderr, "%-18s <- %-18s whole-picture mean error (|dU| + |dV|): plain %.4f, match %.4f\n",
                             BaseName(files[ref]).c_str(), BaseName(files[frame]).c_str(), wholeMeanError[0],
                             wholeMeanError[1]);
            }
        }
        std::printf("| region | measure | plain mode | match mode | plain / match | pairs |\n");
        std::printf("|---|---|---:|---:|---:|---:|\n");
        for (int r : {3, 0, 1, 2}) {
            const TErrors& s = errors[0][r];
            const TErrors& m = errors[1][r];
            Row(kRegionNames[r], "mean U, abs. error", s.MeanU, m.MeanU, s.Pairs);
            Row(kRegionNames[r], "mean V, abs. error", s.MeanV, m.MeanV, s.Pairs);
            Row(kRegionNames[r], "spread U, rel. error", s.DevU, m.DevU, s.Pairs);
            Row(kRegionNames[r], "spread V, rel. error", s.DevV, m.DevV, s.Pairs);
        }
        std::printf("\nWhole-picture mean error smaller in match mode for %d of %d pairs.\n", improved, pairs);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "match_measure: %s\n", error.what());
        return 1;
    }
    return 0;
}
