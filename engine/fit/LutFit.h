#pragma once
#include <cstdint>
#include <functional>
#include <vector>

class TLUT;

// Learning a 3D LUT from a graded pair: the same frame before and after a
// colour-only edit.
//
// The output at every grid point is found by regularised least squares:
// the squared error of the trilinear interpolation over all pixel pairs
// (each channel of AFTER against the cube interpolated at the BEFORE colour)
// plus a smoothness term, the squared second differences of the grid along
// each axis (the parts of the discrete Laplacian), so that colours the pair
// shows are reproduced and grid points far from any pixel continue the
// learned look smoothly. The normal equations are accumulated in one
// streaming pass over the rows on every core and solved with a conjugate
// gradient, started from the same fit on coarser grids.

// A pair of pictures of one size seen as rows: Read(y, before, after) fills
// two rows of Width red, green, blue floats (0..1). It is called from
// several threads at once, for different rows.
struct TPicturePair {
    int Width = 0;
    int Height = 0;
    std::function<void(int y, float* before, float* after)> Read;
};

constexpr int kMaxFitSize = 33;             // grid points per axis the fit solves for
constexpr double kDefaultSmoothness = 1.0;  // the weight of the smoothness term

struct TLutFitSettings {
    int Size = 33;                           // 2..kMaxFitSize
    double Smoothness = kDefaultSmoothness;  // > 0
};

// Which cells of the grid hold at least one BEFORE colour (indexed
// [red][green][blue] cell, blue fastest).
struct TFitCoverage {
    int Size = 0;  // grid points per axis; Size - 1 cells
    std::vector<std::uint8_t> Cells;

    // The share of the grid's volume that the covered cells fill, 0..1.
    double Share() const;
    // Whether the colour lies in a covered cell.
    bool Covers(const float* rgb) const;
};

// The same pair gives the same LUT on the same number of cores. On another
// number the pixels' sums are added in another order and the solver stops
// at another point within its tolerance: entries then differ by less than
// this (half an 8-bit code value), the most in grid points far from every
// pixel.
constexpr double kFitCoreTolerance = 2e-3;

// Fits lut (Kind lkCube, CubeSize settings.Size) to the pair and returns
// which cells the pair covers. EError for an empty pair or a size or
// smoothness out of range.
TFitCoverage FitLutToPair(const TPicturePair& pair, const TLutFitSettings& settings, TLUT& lut);

// How closely a LUT takes BEFORE to AFTER, in CIEDE2000 between AFTER and
// BEFORE through the LUT (both as sRGB colours).
struct TFitQuality {
    double MeanDeltaE = 0.0;
    double Percentile99 = 0.0;
    double ShareAbove5 = 0.0;   // the share of the measured pixels off by more than 5
    std::int64_t Measured = 0;  // pixels measured
    std::int64_t Outside = 0;   // pixels left out as outside the coverage
};

// Measures every pixel when the pair has at most maxPixels, else the
// pixels of an even lattice of rows and columns that holds about that many.
// With coverage, only the pixels whose BEFORE colour it covers are
// measured; the others are counted in Outside.
TFitQuality MeasureFit(const TPicturePair& pair, const TLUT& lut, const TFitCoverage* coverage = nullptr,
                       std::int64_t maxPixels = 500'000);
