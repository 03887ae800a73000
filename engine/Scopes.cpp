#include "engine/Scopes.h"

#include <algorithm>
#include <cmath>

#include "engine/ColorSpace.h"
#include "engine/Image.h"

namespace {

// b / 255 for every byte b, the division RGBToYUV's callers make.
struct TUnitTable {
    double Value[256];
    TUnitTable() {
        for (int b = 0; b < 256; ++b) Value[b] = b / 255.0;
    }
};
const TUnitTable kUnit;

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

void TScopeData::Measure(const TScopeInput& input, int rowStep) {
    const TImage* left = input.Left;
    const bool empty = left == nullptr || left->Empty();
    const int width = empty ? 0 : left->Width();
    Reset(std::min(width, kScopeMaxColumns));
    if (empty) return;
    const TImage* right = input.Right;
    const bool split = right != nullptr && right->Width() == width && right->Height() == left->Height();
    const int divider = split ? std::clamp(input.Divider, 0, width) : width;

    if (static_cast<int>(columnOf_.size()) < width) columnOf_.resize(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x)
        columnOf_[static_cast<std::size_t>(x)] = static_cast<int>(static_cast<std::int64_t>(x) * columns_ / width);

    const int step = std::max(rowStep, 1);
    for (int y = 0; y < left->Height(); y += step)
        MeasureRow(left->Row(y), split ? right->Row(y) : nullptr, width, divider);
    SumHistogram();
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

void TScopeData::MeasureRow(const std::uint8_t* left, const std::uint8_t* right, int width, int divider) {
    const std::size_t plane = static_cast<std::size_t>(columns_) * kScopeLevels;
    std::uint32_t* const luma = waveform_.data();
    std::uint32_t* const red = luma + plane;
    std::uint32_t* const green = red + plane;
    std::uint32_t* const blue = green + plane;
    for (int x = 0; x < width; ++x) {
        const std::uint8_t* p = (x < divider ? left : right) + 3 * static_cast<std::size_t>(x);
        const int b = p[0], g = p[1], r = p[2];
        double Y, U, V;
        RGBToYUV(kUnit.Value[r], kUnit.Value[g], kUnit.Value[b], Y, U, V);
        const int level = ScopeLevel(Y);
        const std::size_t column = static_cast<std::size_t>(columnOf_[static_cast<std::size_t>(x)]) * kScopeLevels;
        ++luma[column + level];
        ++red[column + r];
        ++green[column + g];
        ++blue[column + b];
        ++vectorscope_[static_cast<std::size_t>(ChromaCell(V)) * kVectorscopeCells + ChromaCell(U)];
    }
    pixels_ += static_cast<std::uint64_t>(width);
}
