#pragma once
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "engine/lut/LUT.h"
#include "engine/picture/Image.h"
#include "engine/picture/Thumbnail.h"
#include "grading/LookDocument.h"

// Looks with every field set, for the document tests.

// A 150 x 150 cell of varied pixels (no two neighbours alike), so a lossy
// or resized cell would show.
inline TImage SampleCell(unsigned seed) {
    TImage cell(kThumbnailSize, kThumbnailSize);
    std::mt19937 random(seed);
    for (int y = 0; y < cell.Height(); ++y)
        for (int x = 0; x < cell.Width() * 3; ++x) cell.Row(y)[x] = static_cast<std::uint8_t>(random());
    return cell;
}

// Doubles that need all 17 digits, and a negative zero.
inline TColorStats SampleStats(unsigned seed) {
    TColorStats stats{};
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> chroma(-0.4, 0.4);
    for (int i = 0; i < 3; ++i) {
        stats.Ranges[i] = {chroma(random), std::fabs(chroma(random)), chroma(random), std::fabs(chroma(random))};
        stats.PixelCounts[i] = static_cast<std::int32_t>(random() % 500000);
    }
    stats.Ranges[1].MeanV = -0.0;
    return stats;
}

inline std::shared_ptr<TLUT> SampleCubeLut(int size, unsigned seed) {
    auto lut = std::make_shared<TLUT>();
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> value(-0.25, 1.25);
    lut->Kind = lkCube;
    lut->CubeSize = size;
    for (int r = 0; r < size; ++r)
        for (int g = 0; g < size; ++g)
            for (int b = 0; b < size; ++b) lut->Cube[r][g][b] = {value(random), value(random), value(random)};
    lut->Comments = {"learned from a pair", "second line"};
    return lut;
}

inline std::shared_ptr<TLUT> SampleCurveThenCubeLut(unsigned seed) {
    auto lut = SampleCubeLut(5, seed);
    lut->Kind = lkCurveThenCube;
    lut->CurveSize = 17;
    for (int i = 0; i < lut->CurveSize; ++i) {
        const double x = i / 16.0;
        lut->Curve[i] = {x * x, std::sqrt(x) / 3.0, x / 7.0};
    }
    return lut;
}

inline TLookRecipe SampleRecipe(unsigned seed) {
    TLookRecipe recipe;
    recipe.ReferenceName = "Dune " + std::to_string(seed) + ".jpeg";
    recipe.ReferenceHash = std::string(63, 'a') + static_cast<char>('0' + seed % 10);
    recipe.ReferenceCell = SampleCell(seed);
    recipe.Positions.Gain = 120;
    recipe.Positions.Saturation = 80;
    recipe.Positions.Blue = 150;
    recipe.Positions.High = 30;
    recipe.Positions.Strength = 70;
    recipe.Positions.AdvancedAnalysis = false;
    recipe.Positions.CompressSaturation = true;
    recipe.Match = true;
    recipe.MatchStats = SampleStats(seed);
    recipe.MatchedTo = "frame 0042.png";
    recipe.Footage = "slog3-sgamut3";
    recipe.FootageConfig = "/tmp/a config.ocio";
    recipe.Interpolation = "tetrahedral";
    return recipe;
}

inline TLookDocument SampleDocument() {
    TLookDocument document;
    document.Look = SampleRecipe(1);
    document.Look.Lut = SampleCurveThenCubeLut(7);
    document.Look.LutName = "learned \"pair\"";
    document.Snapshots[0] = SampleRecipe(2);
    document.Snapshots[2] = SampleRecipe(3);
    document.Snapshots[2]->Match = false;
    document.Description = "warm dusk, for reel 3\nsecond line";
    document.ProgramVersion = "1.00";
    document.Date = "2026-12-09T20:15:00Z";
    return document;
}

inline bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }
