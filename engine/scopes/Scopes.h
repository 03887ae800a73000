#pragma once
#include <cstdint>
#include <vector>

class TImage;

// Levels of the waveform and the histogram: one per 8-bit code value, so
// level l stands for the value l / 255.
constexpr int kScopeLevels = 256;
// Columns of the waveform at most; a wider picture shares them.
constexpr int kScopeMaxColumns = 512;
// Cells per side of the vectorscope's U/V grid. An odd count puts zero
// chroma in the middle of the centre cell.
constexpr int kVectorscopeCells = 255;
// The vectorscope spans U and V from -kChromaExtent to +kChromaExtent,
// more than the largest chroma of any colour (V of pure red, 0.615), so that
// the marks at the saturated colours stay inside the drawing.
constexpr double kChromaExtent = 0.66;

// The channels of the waveform and the histogram.
enum TScopeChannel : int { scLuma = 0, scRed = 1, scGreen = 2, scBlue = 3 };
constexpr int kScopeChannels = 4;

// The level of a value of Y (or of a channel) in [0, 1]: the nearest code
// value, values outside [0, 1] clamped to the ends.
int ScopeLevel(double value);
// The vectorscope cell of a chroma value U or V, clamped to the grid's edge.
int ChromaCell(double chroma);
// The chroma value at the centre of a cell (the inverse of ChromaCell).
double CellChroma(double cell);

// What a picture on screen is made of, for the scopes: the whole of Left,
// or in split view Left's columns before Divider and Right's from Divider
// on. Right is used only when it has Left's size.
struct TScopeInput {
    const TImage* Left = nullptr;
    const TImage* Right = nullptr;
    int Divider = 0;
};

// The accumulated scopes of one picture: per waveform column and level the
// pixel counts of luma (Y of RGBToYUV) and of the three channels (the RGB
// parade), the U/V grid of the vectorscope, and the histograms of luma and
// of the channels. The buffers are kept between measurements: measuring
// again a picture of no greater width allocates nothing but, when it is
// shared among threads, each helping thread's own vectorscope.
class TScopeData {
public:
    // Empty scopes: no columns, every count 0.
    TScopeData();

    // Measures every pixel of the input (nothing for a missing or empty
    // Left). With rowStep above 1 only every rowStep-th row from row 0 on is
    // measured, and with sampledColumns between 1 and the width only that
    // many columns spread evenly over it (column i of them at the middle of
    // its share, (i + 0.5) * width / sampledColumns, counted in waveform
    // column i * Columns() / sampledColumns): a fixed, deterministic
    // subsample, even across the waveform when sampledColumns is a
    // multiple of Columns().
    void Measure(const TScopeInput& input, int rowStep = 1, int sampledColumns = 0);
    void Measure(const TImage& picture, int rowStep = 1);

    int Columns() const { return columns_; }
    // Pixels measured.
    std::uint64_t PixelCount() const { return pixels_; }

    std::uint32_t Waveform(TScopeChannel channel, int column, int level) const {
        return waveform_[(static_cast<std::size_t>(channel) * columns_ + column) * kScopeLevels + level];
    }
    // uCell from the left (negative U) and vCell from the bottom (negative V).
    std::uint32_t Vectorscope(int uCell, int vCell) const {
        return vectorscope_[static_cast<std::size_t>(vCell) * kVectorscopeCells + uCell];
    }
    std::uint32_t Histogram(TScopeChannel channel, int level) const {
        return histogram_[static_cast<std::size_t>(channel) * kScopeLevels + level];
    }

private:
    void Reset(int columns);
    void SumHistogram();
    void Sample(int width, int sampledColumns);
    void MeasureBands(const TImage& left, const TImage* right, int divider, int step);
    // The samples first..last-1 of a row, their chroma into vectorscope.
    void MeasureRow(const std::uint8_t* left, const std::uint8_t* right, int divider, std::size_t first,
                    std::size_t last, std::uint32_t* vectorscope);

    int columns_ = 0;
    std::uint64_t pixels_ = 0;
    std::vector<std::uint32_t> waveform_;     // [channel][column][level]
    std::vector<std::uint32_t> vectorscope_;  // [vCell][uCell]
    std::vector<std::uint32_t> histogram_;    // [channel][level]
    std::vector<int> sampleX_;                // the picture columns measured
    std::vector<int> sampleColumn_;           // and their waveform columns
    std::vector<std::size_t> bandStart_;      // the first sample of each band, and the end
};
