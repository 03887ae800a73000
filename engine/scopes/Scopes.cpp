#include "engine/scopes/Scopes.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "engine/base/Parallel.h"
#include "engine/colour/ColorSpace.h"
#include "engine/picture/Image.h"

namespace {

// b / 255 for every byte b, the division RGBToYUV's callers make.
struct TUnitTable {
    double Value[256];
    TUnitTable() {
        for (int b = 0; b < 256; ++b) Value[b] = b / 255.0;
    }
};
const TUnitTable kUnit;

// Waveform columns measured together down the picture: their counts of the
// four channels (4 KB a column) fit a core's cache.
constexpr int kBandColumns = 48;
// Pictures of fewer samples than this per thread are measured on one.
constexpr std::size_t kMinSamplesPerThread = 1 << 16;

}  // namespace

int ScopeLevel(double value) {
    if (!(value > 0.0)) return 0;  // also not a number
    if (value >= 1.0) return kScopeLevels - 1;
    return static_cast<int>(value * (kScopeLevels - 1) + 0.5);
}

// Cells per unit of chroma.
constexpr double kCellsPerChroma = kVectorscopeCells / (2.0 * kChromaExtent);

int ChromaCell(double chroma) {
    const double position = chroma * kCellsPerChroma + 0.5 * kVectorscopeCells;
    if (!(position > 0.0)) return 0;
    if (position >= kVectorscopeCells) return kVectorscopeCells - 1;
    return static_cast<int>(position);
}

double CellChroma(double cell) { return (cell + 0.5 - 0.5 * kVectorscopeCells) / kCellsPerChroma; }

TScopeData::TScopeData() { Reset(0); }

void TScopeData::Measure(const TImage& picture, int rowStep) { Measure(TScopeInput{&picture, nullptr, 0}, rowStep); }

void TScopeData::Measure(const TScopeInput& input, int rowStep, int sampledColumns) {
    const TImage* left = input.Left;
    const bool empty = left == nullptr || left->Empty();
    const int width = empty ? 0 : left->Width();
    Reset(std::min(width, kScopeMaxColumns));
    if (empty) return;
    const TImage* right = input.Right;
    const bool split = right != nullptr && right->Width() == width && right->Height() == left->Height();
    const int divider = split ? std::clamp(input.Divider, 0, width) : width;

    Sample(width, sampledColumns);
    const int step = std::max(rowStep, 1);
    MeasureBands(*left, split ? right : nullptr, divider, step);
    pixels_ =
        static_cast<std::uint64_t>(sampleX_.size()) * static_cast<std::uint64_t>((left->Height() + step - 1) / step);
    SumHistogram();
}

// Band by band of waveform columns down the picture: the counts of a band's
// columns stay in the cache while its rows are measured, and bands on
// different threads never count into the same column. Each thread counts
// its own vectorscope, added up at the end.
void TScopeData::MeasureBands(const TImage& left, const TImage* right, int divider, int step) {
    const int rows = (left.Height() + step - 1) / step;
    const int bands = static_cast<int>(bandStart_.size()) - 1;
    const std::size_t perBand = sampleX_.size() / static_cast<std::size_t>(bands) * static_cast<std::size_t>(rows);
    const int minBands = static_cast<int>(std::max<std::size_t>(1, kMinSamplesPerThread / (perBand + 1)));
    std::mutex adding;
    ParallelFor(bands, minBands, [&](int b0, int b1) {
        const bool alone = b0 == 0 && b1 == bands;
        std::vector<std::uint32_t> own(alone ? 0 : vectorscope_.size(), 0);
        std::uint32_t* vectorscope = alone ? vectorscope_.data() : own.data();
        for (int b = b0; b < b1; ++b)
            for (int y = 0; y < left.Height(); y += step)
                MeasureRow(left.Row(y), right ? right->Row(y) : nullptr, divider, bandStart_[b], bandStart_[b + 1],
                           vectorscope);
        if (alone) return;
        const std::lock_guard<std::mutex> lock(adding);
        for (std::size_t cell = 0; cell < own.size(); ++cell) vectorscope_[cell] += own[cell];
    });
}

void TScopeData::Sample(int width, int sampledColumns) {
    const bool every = sampledColumns <= 0 || sampledColumns >= width;
    const int count = every ? width : sampledColumns;
    sampleX_.resize(static_cast<std::size_t>(count));
    sampleColumn_.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const std::size_t at = static_cast<std::size_t>(i);
        if (every) {
            sampleX_[at] = i;
            sampleColumn_[at] = static_cast<int>(static_cast<std::int64_t>(i) * columns_ / width);
        } else {
            sampleX_[at] = static_cast<int>((2 * static_cast<std::int64_t>(i) + 1) * width / (2 * count));
            sampleColumn_[at] = static_cast<int>(static_cast<std::int64_t>(i) * columns_ / count);
        }
    }
    // Where each band of kBandColumns waveform columns begins among the samples.
    bandStart_.clear();
    for (int i = 0; i < count; ++i)
        if (i == 0 || sampleColumn_[static_cast<std::size_t>(i)] / kBandColumns !=
                          sampleColumn_[static_cast<std::size_t>(i) - 1] / kBandColumns)
            bandStart_.push_back(static_cast<std::size_t>(i));
    bandStart_.push_back(static_cast<std::size_t>(count));
}

// The histogram is the waveform summed over its columns.
void TScopeData::SumHistogram() {
    for (int c = 0; c < kScopeChannels; ++c) {
        std::uint32_t* histogram = histogram_.data() + static_cast<std::size_t>(c) * kScopeLevels;
        const std::uint32_t* column = waveform_.data() + static_cast<std::size_t>(c) * columns_ * kScopeLevels;
        for (int x = 0; x < columns_; ++x, column += kScopeLevels)
            for (int l = 0; l < kScopeLevels; ++l) histogram[l] += column[l];
    }
}

void TScopeData::Reset(int columns) {
    columns_ = columns;
    pixels_ = 0;
    waveform_.assign(static_cast<std::size_t>(kScopeChannels) * columns * kScopeLevels, 0);
    vectorscope_.assign(static_cast<std::size_t>(kVectorscopeCells) * kVectorscopeCells, 0);
    histogram_.assign(static_cast<std::size_t>(kScopeChannels) * kScopeLevels, 0);
}

void TScopeData::MeasureRow(const std::uint8_t* left, const std::uint8_t* right, int divider, std::size_t first,
                            std::size_t last, std::uint32_t* vectorscope) {
    const std::size_t plane = static_cast<std::size_t>(columns_) * kScopeLevels;
    std::uint32_t* const luma = waveform_.data();
    std::uint32_t* const red = luma + plane;
    std::uint32_t* const green = red + plane;
    std::uint32_t* const blue = green + plane;
    for (std::size_t i = first; i < last; ++i) {
        const int x = sampleX_[i];
        const std::uint8_t* p = (x < divider ? left : right) + 3 * static_cast<std::size_t>(x);
        const int b = p[0], g = p[1], r = p[2];
        double Y, U, V;
        RGBToYUV(kUnit.Value[r], kUnit.Value[g], kUnit.Value[b], Y, U, V);
        const int level = ScopeLevel(Y);
        const std::size_t column = static_cast<std::size_t>(sampleColumn_[i]) * kScopeLevels;
        ++luma[column + level];
        ++red[column + r];
        ++green[column + g];
        ++blue[column + b];
        ++vectorscope[static_cast<std::size_t>(ChromaCell(V)) * kVectorscopeCells + ChromaCell(U)];
    }
}
