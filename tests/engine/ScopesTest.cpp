#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/colour/ColorSpace.h"
#include "engine/scopes/Scopes.h"
#include "tests/engine/TestImages.h"

namespace {

std::uint64_t VectorscopeTotal(const TScopeData& data) {
    std::uint64_t total = 0;
    for (int v = 0; v < kVectorscopeCells; ++v)
        for (int u = 0; u < kVectorscopeCells; ++u) total += data.Vectorscope(u, v);
    return total;
}

std::uint64_t HistogramTotal(const TScopeData& data, TScopeChannel channel) {
    std::uint64_t total = 0;
    for (int l = 0; l < kScopeLevels; ++l) total += data.Histogram(channel, l);
    return total;
}

// The column's luma levels with a count, lowest and highest.
void LumaSpan(const TScopeData& data, int column, int& low, int& high) {
    low = kScopeLevels;
    high = -1;
    for (int l = 0; l < kScopeLevels; ++l)
        if (data.Waveform(scLuma, column, l) != 0) {
            low = std::min(low, l);
            high = std::max(high, l);
        }
}

}  // namespace

TEST(ScopesTest, OneColourPutsAllItsMassAtItsOwnPlaces) {
    struct TColour {
        int R, G, B;
    };
    TScopeData data;  // one object for all colours: nothing may stay from the one before
    for (const TColour c : {TColour{255, 0, 0}, TColour{0, 0, 255}, TColour{224, 172, 140}, TColour{128, 128, 128},
                            TColour{0, 255, 255}}) {
        TImage picture(37, 23);
        Fill(picture, c.R, c.G, c.B);
        data.Measure(picture);
        const std::uint32_t n = 37 * 23;
        ASSERT_EQ(data.PixelCount(), n);
        double Y, U, V;
        RGBToYUV(c.R / 255.0, c.G / 255.0, c.B / 255.0, Y, U, V);
        EXPECT_EQ(data.Vectorscope(ChromaCell(U), ChromaCell(V)), n) << c.R << " " << c.G << " " << c.B;
        EXPECT_EQ(VectorscopeTotal(data), n);
        EXPECT_NEAR(CellChroma(ChromaCell(U)), U, kChromaExtent / kVectorscopeCells);
        EXPECT_NEAR(CellChroma(ChromaCell(V)), V, kChromaExtent / kVectorscopeCells);
        EXPECT_EQ(data.Histogram(scLuma, ScopeLevel(Y)), n);
        EXPECT_EQ(data.Histogram(scRed, c.R), n);
        EXPECT_EQ(data.Histogram(scGreen, c.G), n);
        EXPECT_EQ(data.Histogram(scBlue, c.B), n);
        for (int column = 0; column < data.Columns(); ++column)
            EXPECT_EQ(data.Waveform(scLuma, column, ScopeLevel(Y)), 23u);
    }
    // Grey sits in the centre cell; the grid's edges take what lies beyond.
    EXPECT_EQ(ChromaCell(0.0), kVectorscopeCells / 2);
    EXPECT_EQ(ChromaCell(-5.0), 0);
    EXPECT_EQ(ChromaCell(5.0), kVectorscopeCells - 1);
    EXPECT_EQ(ScopeLevel(-0.2), 0);
    EXPECT_EQ(ScopeLevel(1.3), kScopeLevels - 1);
}

TEST(ScopesTest, GreyRampDrawsOneDiagonalLine) {
    // One column per code value: column x holds exactly level x, in luma and in every channel.
    TImage ramp(256, 9);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 256; ++x) SetPixel(ramp, x, y, x, x, x);
    TScopeData data;
    data.Measure(ramp);
    ASSERT_EQ(data.Columns(), 256);
    for (int x = 0; x < 256; ++x)
        for (int l = 0; l < kScopeLevels; ++l)
            for (TScopeChannel c : {scLuma, scRed, scGreen, scBlue})
                ASSERT_EQ(data.Waveform(c, x, l), l == x ? 9u : 0u) << "column " << x << " level " << l;

    // A ramp wider than the waveform's columns: each column holds a short
    // run of levels that climbs from column to column without gaps.
    TImage wide(1500, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 1500; ++x) SetPixel(wide, x, y, x * 255 / 1499, x * 255 / 1499, x * 255 / 1499);
    data.Measure(wide);
    ASSERT_EQ(data.Columns(), kScopeMaxColumns);
    int lastHigh = 0;
    for (int column = 0; column < data.Columns(); ++column) {
        int low = 0, high = 0;
        LumaSpan(data, column, low, high);
        EXPECT_LE(high - low, 1) << column;
        EXPECT_TRUE(low == lastHigh || low == lastHigh + 1) << column;
        lastHigh = high;
    }
    EXPECT_EQ(lastHigh, 255);
}

TEST(ScopesTest, CountsSumToThePixelsMeasured) {
    const TImage picture = RandomImage(613, 211, 7);
    TScopeData data;
    data.Measure(picture);
    const std::uint64_t n = 613 * 211;
    EXPECT_EQ(data.PixelCount(), n);
    EXPECT_EQ(VectorscopeTotal(data), n);
    for (TScopeChannel c : {scLuma, scRed, scGreen, scBlue}) EXPECT_EQ(HistogramTotal(data, c), n) << c;

    // The same counts, pixel by pixel with the plain colour conversion.
    std::vector<std::uint32_t> histogram(kScopeChannels * kScopeLevels), grid(kVectorscopeCells * kVectorscopeCells);
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) {
            const int r = Channel(picture, x, y, 2), g = Channel(picture, x, y, 1), b = Channel(picture, x, y, 0);
            double Y, U, V;
            RGBToYUV(r / 255.0, g / 255.0, b / 255.0, Y, U, V);
            ++histogram[scLuma * kScopeLevels + ScopeLevel(Y)];
            ++histogram[scRed * kScopeLevels + r];
            ++histogram[scGreen * kScopeLevels + g];
            ++histogram[scBlue * kScopeLevels + b];
            ++grid[ChromaCell(V) * kVectorscopeCells + ChromaCell(U)];
        }
    for (int c = 0; c < kScopeChannels; ++c)
        for (int l = 0; l < kScopeLevels; ++l)
            ASSERT_EQ(data.Histogram(static_cast<TScopeChannel>(c), l), histogram[c * kScopeLevels + l])
                << c << " " << l;
    for (int v = 0; v < kVectorscopeCells; ++v)
        for (int u = 0; u < kVectorscopeCells; ++u) ASSERT_EQ(data.Vectorscope(u, v), grid[v * kVectorscopeCells + u]);

    // Every third row from the first: rows 0, 3, ..., 210.
    data.Measure(picture, 3);
    EXPECT_EQ(data.PixelCount(), 71u * 613);
    EXPECT_EQ(HistogramTotal(data, scLuma), 71u * 613);

    // Split view: black on the left of the divider, white from it on.
    TImage black(100, 10), white(100, 10), other(99, 10);
    Fill(white, 255, 255, 255);
    data.Measure(TScopeInput{&black, &white, 30});
    EXPECT_EQ(data.Histogram(scLuma, 0), 300u);
    EXPECT_EQ(data.Histogram(scLuma, 255), 700u);
    EXPECT_EQ(data.Waveform(scRed, 29, 0), 10u);
    EXPECT_EQ(data.Waveform(scRed, 30, 255), 10u);
    // A right side of another size is left out; so is a missing picture.
    data.Measure(TScopeInput{&black, &other, 30});
    EXPECT_EQ(data.Histogram(scLuma, 0), 1000u);
    data.Measure(TScopeInput{});
    EXPECT_EQ(data.PixelCount(), 0u);
    EXPECT_EQ(data.Columns(), 0);
}

// A wide view measured on one column per waveform column: each waveform
// column gets the same count, taken at the middle of its share of the
// picture, and the split view's sides still come from their own pictures.
TEST(ScopesTest, SampledColumnsFillEveryWaveformColumnEvenly) {
    TImage striped(1536, 40), white(1536, 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 1536; ++x) {
            std::uint8_t* p = striped.Row(y) + 3 * x;
            p[0] = p[1] = p[2] = x % 3 == 1 ? 200 : 0;  // the middle column of each three
            std::uint8_t* q = white.Row(y) + 3 * x;
            q[0] = q[1] = q[2] = 255;
        }
    TScopeData data;
    data.Measure(TScopeInput{&striped, nullptr, 0}, 2, kScopeMaxColumns);
    ASSERT_EQ(data.Columns(), kScopeMaxColumns);
    EXPECT_EQ(data.PixelCount(), 20u * kScopeMaxColumns);
    EXPECT_EQ(data.Histogram(scRed, 200), data.PixelCount());
    for (int column = 0; column < data.Columns(); ++column) ASSERT_EQ(data.Waveform(scRed, column, 200), 20u);
    // The divider at 768: samples left of it from the stripes, from it on white.
    data.Measure(TScopeInput{&striped, &white, 768}, 1, kScopeMaxColumns);
    EXPECT_EQ(data.Histogram(scRed, 200), 40u * 256);
    EXPECT_EQ(data.Histogram(scRed, 255), 40u * 256);
    // Every column (the default, or as many samples as columns) is the plain measurement.
    TScopeData every, asMany;
    every.Measure(striped);
    asMany.Measure(TScopeInput{&striped, nullptr, 0}, 1, 1536);
    EXPECT_EQ(every.PixelCount(), 1536u * 40);
    for (int column = 0; column < every.Columns(); ++column)
        ASSERT_EQ(every.Waveform(scRed, column, 0), asMany.Waveform(scRed, column, 0));
}
