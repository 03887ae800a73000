#include "engine/fit/LutFit.h"

#include <Eigen/Core>
#include <Eigen/SparseCore>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "engine/base/Error.h"
#include "engine/base/Parallel.h"
#include "engine/colour/ColourDifference.h"
#include "engine/fit/SparseSolve.h"
#include "engine/lut/LUT.h"

namespace {

constexpr int kCorners = 8;
constexpr int kGramEntries = kCorners * (kCorners + 1) / 2;
// The weight of the squared second differences at smoothness 1, in units of
// one pixel's squared error: a grid point that no pixel reaches follows its
// neighbours, one that pixels reach follows them.
constexpr double kSmoothnessUnit = 0.02;
// A ridge so faint that it only settles what nothing else decides (a pair
// of a single colour, say): it draws the grid towards its starting values.
constexpr double kRidge = 1e-6;
constexpr int kMinFitSize = 2;
constexpr int kCoarsestSize = 5;
constexpr int kRowsPerSlice = 16;
// Grids up to this size are solved to the last digits: they are cheap, and
// they carry the look into the colours no pixel shows.
constexpr int kExactSolveSize = 17;
constexpr int kMaxIterations = 2000;

// What one cell of the grid gathers from the pixels whose BEFORE colour
// falls in it: the Gram matrix of the eight corner weights (upper triangle,
// row by row), the corner weights times the AFTER channels, and the count
// and sums a coarser grid is started from.
struct TCellSums {
    double Gram[kGramEntries];
    double Rhs[kCorners * 3];
    double Count;
    double Before[3];
    double After[3];
};

// The cell of a coordinate and its place in it.
struct TAxisPlace {
    int Cell;
    double Fraction;
};

TAxisPlace PlaceOnAxis(float value, int size) {
    double v = std::isnan(value) ? 0.0 : std::clamp(static_cast<double>(value), 0.0, 1.0);
    v *= size - 1;
    const int cell = std::min(static_cast<int>(v), size - 2);
    return {cell, v - cell};
}

std::size_t CellIndex(int r, int g, int b, int cells) { return (static_cast<std::size_t>(r) * cells + g) * cells + b; }

std::size_t NodeIndex(int r, int g, int b, int size) { return (static_cast<std::size_t>(r) * size + g) * size + b; }

class TGridSums {
public:
    explicit TGridSums(int size)
        : size_(size), cells_(size - 1), sums_(static_cast<std::size_t>(cells_) * cells_ * cells_, TCellSums{}) {}

    int Size() const { return size_; }
    int Cells() const { return cells_; }
    const TCellSums& Cell(std::size_t index) const { return sums_[index]; }
    TCellSums& MutableCell(std::size_t index) { return sums_[index]; }
    std::size_t CellCount() const { return sums_.size(); }

    void Add(const float* before, const float* after, double weight) {
        const TAxisPlace r = PlaceOnAxis(before[0], size_);
        const TAxisPlace g = PlaceOnAxis(before[1], size_);
        const TAxisPlace b = PlaceOnAxis(before[2], size_);
        double w[kCorners];
        const double wr[2] = {1.0 - r.Fraction, r.Fraction};
        const double wg[2] = {1.0 - g.Fraction, g.Fraction};
        const double wb[2] = {1.0 - b.Fraction, b.Fraction};
        for (int c = 0; c < kCorners; ++c) w[c] = wr[c >> 2] * wg[(c >> 1) & 1] * wb[c & 1];
        const double target[3] = {Clean(after[0]), Clean(after[1]), Clean(after[2])};
        TCellSums& cell = sums_[CellIndex(r.Cell, g.Cell, b.Cell, cells_)];
        int k = 0;
        for (int i = 0; i < kCorners; ++i) {
            const double wi = weight * w[i];
            for (int j = i; j < kCorners; ++j) cell.Gram[k++] += wi * w[j];
            for (int ch = 0; ch < 3; ++ch) cell.Rhs[i * 3 + ch] += wi * target[ch];
        }
        cell.Count += weight;
        for (int ch = 0; ch < 3; ++ch) {
            cell.Before[ch] += weight * Clean(before[ch]);
            cell.After[ch] += weight * target[ch];
        }
    }

    void Merge(const TGridSums& other) {
        for (std::size_t i = 0; i < sums_.size(); ++i) {
            TCellSums& to = sums_[i];
            const TCellSums& from = other.sums_[i];
            for (int k = 0; k < kGramEntries; ++k) to.Gram[k] += from.Gram[k];
            for (int k = 0; k < kCorners * 3; ++k) to.Rhs[k] += from.Rhs[k];
            to.Count += from.Count;
            for (int ch = 0; ch < 3; ++ch) {
                to.Before[ch] += from.Before[ch];
                to.After[ch] += from.After[ch];
            }
        }
    }

    // Each covered cell as one sample at its pixels' mean colours, weighed
    // by their count, on a grid of another size.
    TGridSums Coarsened(int size) const {
        TGridSums coarse(size);
        for (const TCellSums& cell : sums_) {
            if (cell.Count <= 0.0) continue;
            float before[3];
            float after[3];
            for (int ch = 0; ch < 3; ++ch) {
                before[ch] = static_cast<float>(cell.Before[ch] / cell.Count);
                after[ch] = static_cast<float>(cell.After[ch] / cell.Count);
            }
            coarse.Add(before, after, cell.Count);
        }
        return coarse;
    }

private:
    static double Clean(float v) { return std::isnan(v) ? 0.0 : std::clamp(static_cast<double>(v), 0.0, 1.0); }

    int size_;
    int cells_;
    std::vector<TCellSums> sums_;
};

// The pixel pass gathers into single-precision cells first: their full
// 8 x 8 Gram rows and the corner weights per channel add up four at a time.
// A cell goes on into the double sums as soon as it holds kFlushCount
// pixels, and at the end of the pass, so that no float sum grows long
// enough to lose more than a few units of its last places.
constexpr int kFlushCount = 1024;

struct alignas(16) TFloatCell {
    float Gram[kCorners * kCorners];
    float Rhs[3][kCorners];
    float Before[3];
    float After[3];
    int Count;
};

class TRowGatherer {
public:
    explicit TRowGatherer(TGridSums& sums)
        : sums_(sums), size_(sums.Size()), cells_(sums.CellCount(), TFloatCell{}), touched_(sums.CellCount(), 0) {}

    void Add(const float* before, const float* after) {
        const TAxisPlace r = PlaceOnAxis(before[0], size_);
        const TAxisPlace g = PlaceOnAxis(before[1], size_);
        const TAxisPlace b = PlaceOnAxis(before[2], size_);
        const float wr[2] = {static_cast<float>(1.0 - r.Fraction), static_cast<float>(r.Fraction)};
        const float wg[2] = {static_cast<float>(1.0 - g.Fraction), static_cast<float>(g.Fraction)};
        const float wb[2] = {static_cast<float>(1.0 - b.Fraction), static_cast<float>(b.Fraction)};
        alignas(16) float w[kCorners];
        for (int c = 0; c < kCorners; ++c) w[c] = wr[c >> 2] * wg[(c >> 1) & 1] * wb[c & 1];
        const std::size_t index = CellIndex(r.Cell, g.Cell, b.Cell, size_ - 1);
        TFloatCell& cell = cells_[index];
        for (int i = 0; i < kCorners; ++i) {
            float* row = cell.Gram + i * kCorners;
            for (int j = 0; j < kCorners; ++j) row[j] += w[i] * w[j];
        }
        for (int ch = 0; ch < 3; ++ch) {
            const float target = CleanFloat(after[ch]);
            for (int i = 0; i < kCorners; ++i) cell.Rhs[ch][i] += target * w[i];
            cell.Before[ch] += CleanFloat(before[ch]);
            cell.After[ch] += target;
        }
        if (touched_[index] == 0) {
            touched_[index] = 1;
            list_.push_back(index);
        }
        if (++cell.Count >= kFlushCount) Flush(index);
    }

    // Moves every gathered cell into the double sums.
    void FlushAll() {
        for (const std::size_t index : list_) {
            Flush(index);
            touched_[index] = 0;
        }
        list_.clear();
    }

private:
    static float CleanFloat(float v) { return std::isnan(v) ? 0.0f : std::clamp(v, 0.0f, 1.0f); }

    void Flush(std::size_t index) {
        TFloatCell& from = cells_[index];
        if (from.Count == 0) return;
        TCellSums& to = sums_.MutableCell(index);
        int k = 0;
        for (int i = 0; i < kCorners; ++i)
            for (int j = i; j < kCorners; ++j) to.Gram[k++] += from.Gram[i * kCorners + j];
        for (int i = 0; i < kCorners; ++i)
            for (int ch = 0; ch < 3; ++ch) to.Rhs[i * 3 + ch] += from.Rhs[ch][i];
        to.Count += from.Count;
        for (int ch = 0; ch < 3; ++ch) {
            to.Before[ch] += from.Before[ch];
            to.After[ch] += from.After[ch];
        }
        from = TFloatCell{};
    }

    TGridSums& sums_;
    int size_;
    std::vector<TFloatCell> cells_;
    std::vector<std::uint8_t> touched_;
    std::vector<std::size_t> list_;
};

// Runs gather(begin, end) on slices of [0, rows) on every core and adds the
// slices' results in the order of their rows: the order of the additions
// does not depend on which slice finishes first, so the same number of
// cores always gives the same sums.
template <typename TGather>
auto SumInRowOrder(int rows, const TGather& gather) {
    using TSums = decltype(gather(0, 0));
    std::vector<std::pair<int, TSums>> slices;
    std::mutex adding;
    ParallelFor(std::max(rows, 0), kRowsPerSlice, [&](int begin, int end) {
        TSums own = gather(begin, end);
        const std::lock_guard lock(adding);
        slices.emplace_back(begin, std::move(own));
    });
    if (slices.empty()) return gather(0, 0);
    std::sort(slices.begin(), slices.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    TSums total = std::move(slices.front().second);
    for (std::size_t i = 1; i < slices.size(); ++i) total.Merge(slices[i].second);
    return total;
}

TGridSums AccumulatePair(const TPicturePair& pair, int size) {
    return SumInRowOrder(pair.Height, [&](int begin, int end) {
        TGridSums own(size);
        TRowGatherer gatherer(own);
        std::vector<float> before(static_cast<std::size_t>(pair.Width) * 3);
        std::vector<float> after(before.size());
        for (int y = begin; y < end; ++y) {
            pair.Read(y, before.data(), after.data());
            for (int x = 0; x < pair.Width; ++x) gatherer.Add(&before[3 * x], &after[3 * x]);
        }
        gatherer.FlushAll();
        return own;
    });
}

using TGrid = Eigen::MatrixXd;  // one row per grid point, red, green, blue

TGrid IdentityGrid(int size) {
    TGrid grid(static_cast<Eigen::Index>(size) * size * size, 3);
    for (int r = 0; r < size; ++r)
        for (int g = 0; g < size; ++g)
            for (int b = 0; b < size; ++b) {
                const auto row = static_cast<Eigen::Index>(NodeIndex(r, g, b, size));
                grid(row, 0) = static_cast<double>(r) / (size - 1);
                grid(row, 1) = static_cast<double>(g) / (size - 1);
                grid(row, 2) = static_cast<double>(b) / (size - 1);
            }
    return grid;
}

// The grid of another size sampled from this one by trilinear interpolation.
TGrid Resampled(const TGrid& grid, int from, int to) {
    TGrid out(static_cast<Eigen::Index>(to) * to * to, 3);
    for (int r = 0; r < to; ++r)
        for (int g = 0; g < to; ++g)
            for (int b = 0; b < to; ++b) {
                const float at[3] = {static_cast<float>(r) / (to - 1), static_cast<float>(g) / (to - 1),
                                     static_cast<float>(b) / (to - 1)};
                const TAxisPlace pr = PlaceOnAxis(at[0], from);
                const TAxisPlace pg = PlaceOnAxis(at[1], from);
                const TAxisPlace pb = PlaceOnAxis(at[2], from);
                Eigen::RowVector3d value = Eigen::RowVector3d::Zero();
                for (int c = 0; c < kCorners; ++c) {
                    const int dr = c >> 2, dg = (c >> 1) & 1, db = c & 1;
                    const double w = (dr ? pr.Fraction : 1.0 - pr.Fraction) * (dg ? pg.Fraction : 1.0 - pg.Fraction) *
                                     (db ? pb.Fraction : 1.0 - pb.Fraction);
                    if (w != 0.0)
                        value += w * grid.row(static_cast<Eigen::Index>(
                                         NodeIndex(pr.Cell + dr, pg.Cell + dg, pb.Cell + db, from)));
                }
                out.row(static_cast<Eigen::Index>(NodeIndex(r, g, b, to))) = value;
            }
    return out;
}

// The normal equations of the fit: the pixels' Gram sums, the second
// differences along each axis at the smoothness weight, and the ridge
// towards start.
TGrid SolveGrid(const TGridSums& sums, double smoothness, const TGrid& start) {
    const int size = sums.Size();
    const int cells = sums.Cells();
    const auto nodes = static_cast<Eigen::Index>(size) * size * size;
    std::vector<Eigen::Triplet<double>> entries;
    entries.reserve(static_cast<std::size_t>(nodes) * 40);
    TGrid rhs = TGrid::Zero(nodes, 3);

    for (int r = 0; r < cells; ++r)
        for (int g = 0; g < cells; ++g)
            for (int b = 0; b < cells; ++b) {
                const TCellSums& cell = sums.Cell(CellIndex(r, g, b, cells));
                if (cell.Count <= 0.0) continue;
                Eigen::Index corner[kCorners];
                for (int c = 0; c < kCorners; ++c)
                    corner[c] =
                        static_cast<Eigen::Index>(NodeIndex(r + (c >> 2), g + ((c >> 1) & 1), b + (c & 1), size));
                int k = 0;
                for (int i = 0; i < kCorners; ++i) {
                    for (int j = i; j < kCorners; ++j, ++k) {
                        entries.emplace_back(corner[i], corner[j], cell.Gram[k]);
                        if (j != i) entries.emplace_back(corner[j], corner[i], cell.Gram[k]);
                    }
                    for (int ch = 0; ch < 3; ++ch) rhs(corner[i], ch) += cell.Rhs[i * 3 + ch];
                }
            }

    const double lambda = smoothness * kSmoothnessUnit;
    constexpr double kStencil[3] = {1.0, -2.0, 1.0};
    for (int axis = 0; axis < 3; ++axis)
        for (int r = 0; r < size; ++r)
            for (int g = 0; g < size; ++g)
                for (int b = 0; b < size; ++b) {
                    int at[3] = {r, g, b};
                    if (at[axis] < 1 || at[axis] > size - 2) continue;
                    Eigen::Index triple[3];
                    for (int t = 0; t < 3; ++t) {
                        int p[3] = {r, g, b};
                        p[axis] += t - 1;
                        triple[t] = static_cast<Eigen::Index>(NodeIndex(p[0], p[1], p[2], size));
                    }
                    for (int i = 0; i < 3; ++i)
                        for (int j = 0; j < 3; ++j)
                            entries.emplace_back(triple[i], triple[j], lambda * kStencil[i] * kStencil[j]);
                }

    const double ridge = kRidge * std::max(lambda, 1.0);
    for (Eigen::Index n = 0; n < nodes; ++n) entries.emplace_back(n, n, ridge);
    rhs += ridge * start;

    const bool exact = size <= kExactSolveSize;
    return SolveSymmetric(std::move(entries), nodes, rhs, start, exact, exact ? 1e-10 : 1e-6, kMaxIterations);
}

// The fit on this grid, started from the fit on a grid of about half its
// points, down to kCoarsestSize, which starts from the identity.
TGrid SolveFromCoarse(const TGridSums& sums, double smoothness) {
    const int size = sums.Size();
    const int coarse = (size - 1) / 2 + 1;
    TGrid start;
    if (coarse >= kCoarsestSize)
        start = Resampled(SolveFromCoarse(sums.Coarsened(coarse), smoothness), coarse, size);
    else
        start = IdentityGrid(size);
    return SolveGrid(sums, smoothness, start);
}

}  // namespace

double TFitCoverage::Share() const {
    if (Cells.empty()) return 0.0;
    const auto covered = std::count_if(Cells.begin(), Cells.end(), [](std::uint8_t c) { return c != 0; });
    return static_cast<double>(covered) / static_cast<double>(Cells.size());
}

bool TFitCoverage::Covers(const float* rgb) const {
    if (Size < kMinFitSize) return false;
    const int cells = Size - 1;
    return Cells[CellIndex(PlaceOnAxis(rgb[0], Size).Cell, PlaceOnAxis(rgb[1], Size).Cell,
                           PlaceOnAxis(rgb[2], Size).Cell, cells)] != 0;
}

TFitCoverage FitLutToPair(const TPicturePair& pair, const TLutFitSettings& settings, TLUT& lut) {
    if (settings.Size < kMinFitSize || settings.Size > kMaxFitSize)
        throw EError("A learned LUT has from " + std::to_string(kMinFitSize) + " to " + std::to_string(kMaxFitSize) +
                     " grid points per axis.");
    if (!(settings.Smoothness > 0.0) || !std::isfinite(settings.Smoothness))
        throw EError("The smoothness must be a positive number.");
    if (pair.Width <= 0 || pair.Height <= 0) throw EError("The pictures of the pair are empty.");

    const int size = settings.Size;
    const TGridSums sums = AccumulatePair(pair, size);
    const TGrid grid = SolveFromCoarse(sums, settings.Smoothness);

    lut.Kind = lkCube;
    lut.CubeSize = size;
    for (int r = 0; r < size; ++r)
        for (int g = 0; g < size; ++g)
            for (int b = 0; b < size; ++b) {
                const auto row = static_cast<Eigen::Index>(NodeIndex(r, g, b, size));
                lut.Cube[r][g][b] = {std::clamp(grid(row, 0), 0.0, 1.0), std::clamp(grid(row, 1), 0.0, 1.0),
                                     std::clamp(grid(row, 2), 0.0, 1.0)};
            }

    TFitCoverage coverage;
    coverage.Size = size;
    coverage.Cells.resize(sums.CellCount());
    for (std::size_t i = 0; i < sums.CellCount(); ++i) coverage.Cells[i] = sums.Cell(i).Count > 0.0 ? 1 : 0;
    return coverage;
}

namespace {

constexpr double kHistogramStep = 0.001;
constexpr int kHistogramBins = 100'000;  // up to ΔE 100; beyond that in the last bin

struct TDeltaTally {
    std::vector<std::int64_t> Bins = std::vector<std::int64_t>(kHistogramBins, 0);
    double Sum = 0.0;
    std::int64_t Count = 0;
    std::int64_t Above5 = 0;
    std::int64_t Outside = 0;

    void Add(double delta) {
        const double bin = std::floor(delta / kHistogramStep);
        Bins[static_cast<std::size_t>(std::clamp(bin, 0.0, static_cast<double>(kHistogramBins - 1)))] += 1;
        Sum += delta;
        ++Count;
        if (delta > 5.0) ++Above5;
    }

    void Merge(const TDeltaTally& other) {
        for (int i = 0; i < kHistogramBins; ++i) Bins[i] += other.Bins[i];
        Sum += other.Sum;
        Count += other.Count;
        Above5 += other.Above5;
        Outside += other.Outside;
    }

    // The upper edge of the bin in which the share is reached.
    double Percentile(double share) const {
        const double wanted = share * static_cast<double>(Count);
        std::int64_t seen = 0;
        for (int i = 0; i < kHistogramBins; ++i) {
            seen += Bins[i];
            if (static_cast<double>(seen) >= wanted) return (i + 1) * kHistogramStep;
        }
        return kHistogramBins * kHistogramStep;
    }
};

}  // namespace

TFitQuality MeasureFit(const TPicturePair& pair, const TLUT& lut, const TFitCoverage* coverage,
                       std::int64_t maxPixels) {
    const std::int64_t pixels = static_cast<std::int64_t>(pair.Width) * pair.Height;
    int step = 1;
    while (pixels / (static_cast<std::int64_t>(step) * step) > std::max<std::int64_t>(maxPixels, 1)) ++step;
    const int rows = (pair.Height - step / 2 + step - 1) / step;

    const TDeltaTally total = SumInRowOrder(rows, [&](int begin, int end) {
        TDeltaTally own;
        std::vector<float> before(static_cast<std::size_t>(pair.Width) * 3);
        std::vector<float> after(before.size());
        for (int row = begin; row < end; ++row) {
            pair.Read(step / 2 + row * step, before.data(), after.data());
            for (int x = step / 2; x < pair.Width; x += step) {
                const float* in = &before[3 * x];
                if (coverage != nullptr && !coverage->Covers(in)) {
                    ++own.Outside;
                    continue;
                }
                TRGBDouble graded;
                lut.LookupNormalized({in[0], in[1], in[2]}, graded);
                const float* wanted = &after[3 * x];
                own.Add(DeltaE2000(SrgbToLab(graded.Red, graded.Green, graded.Blue),
                                   SrgbToLab(wanted[0], wanted[1], wanted[2])));
            }
        }
        return own;
    });

    TFitQuality quality;
    quality.Measured = total.Count;
    quality.Outside = total.Outside;
    if (total.Count > 0) {
        quality.MeanDeltaE = total.Sum / static_cast<double>(total.Count);
        quality.Percentile99 = total.Percentile(0.99);
        quality.ShareAbove5 = static_cast<double>(total.Above5) / static_cast<double>(total.Count);
    }
    return quality;
}
