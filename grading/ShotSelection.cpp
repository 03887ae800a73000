#include "grading/ShotSelection.h"

#include <algorithm>
#include <cmath>

#include "engine/base/Parallel.h"
#include "engine/fit/ShotCorrespondence.h"
#include "engine/fit/StructureAgreement.h"
#include "engine/lut/LUT.h"

namespace {

constexpr int kRowWidth = 1024;
constexpr int kCoarseFitSize = 9;
constexpr int kRounds = 3;
constexpr std::size_t kCoarseFitPixels = 100'000;
// A pixel stays when the coarse look misses GRADED's colour by less than
// this many times the median miss of the pixels it was fitted on, within
// the bounds below (distances of red, green, blue 0..1).
constexpr double kMissFactor = 3.0;
constexpr double kLeastMissLimit = 0.04;
constexpr double kMostMissLimit = 0.12;
constexpr int kRowsPerSlice = 8;

std::vector<std::uint32_t> Agreeing(const std::vector<std::uint8_t>& agreement) {
    std::vector<std::uint32_t> kept;
    for (std::size_t i = 0; i < agreement.size(); ++i)
        if (agreement[i] == agAgrees) kept.push_back(static_cast<std::uint32_t>(i));
    return kept;
}

// How far the look carries each overlapping FRAME colour from GRADED's.
std::vector<float> Misses(const TShotCorrespondence& pair, const TLUT& look) {
    std::vector<float> misses(pair.Pixels(), 0.0f);
    ParallelFor(pair.Height, kRowsPerSlice, [&](int begin, int end) {
        for (std::size_t i = static_cast<std::size_t>(begin) * pair.Width;
             i < static_cast<std::size_t>(end) * pair.Width; ++i) {
            if (!pair.Overlap[i]) continue;
            const float* in = &pair.Frame[3 * i];
            const float* wanted = &pair.Graded[3 * i];
            TRGBDouble out;
            look.LookupNormalized({in[0], in[1], in[2]}, out);
            misses[i] = static_cast<float>(std::sqrt((out.Red - wanted[0]) * (out.Red - wanted[0]) +
                                                     (out.Green - wanted[1]) * (out.Green - wanted[1]) +
                                                     (out.Blue - wanted[2]) * (out.Blue - wanted[2])));
        }
    });
    return misses;
}

double MissLimit(const std::vector<float>& misses, const std::vector<std::uint32_t>& fitted) {
    std::vector<float> own;
    own.reserve(fitted.size());
    for (std::uint32_t i : fitted) own.push_back(misses[i]);
    std::nth_element(own.begin(), own.begin() + own.size() / 2, own.end());
    return std::clamp(kMissFactor * own[own.size() / 2], kLeastMissLimit, kMostMissLimit);
}

// The pixels the coarse look fitted on `fitted` carries close to GRADED's
// colour, among those whose structure agrees, or, with `flat`, does not
// disagree.
std::vector<std::uint32_t> Chosen(const TShotCorrespondence& pair, const std::vector<std::uint8_t>& agreement,
                                  const std::vector<std::uint32_t>& fitted, double smoothness, bool flat) {
    TLUT look;
    const std::vector<std::uint32_t> sample = Thinned(fitted, kCoarseFitPixels);
    FitLutToPair(KeptPixelPairs(pair, sample), {kCoarseFitSize, smoothness}, look);
    const std::vector<float> misses = Misses(pair, look);
    const double limit = MissLimit(misses, fitted);
    std::vector<std::uint32_t> kept;
    for (std::size_t i = 0; i < agreement.size(); ++i)
        if ((agreement[i] == agAgrees || (flat && agreement[i] == agFlat)) && misses[i] < limit)
            kept.push_back(static_cast<std::uint32_t>(i));
    return kept;
}

}  // namespace

std::vector<std::uint32_t> SelectMatchedPixels(const TShotCorrespondence& pair, double smoothness) {
    const std::vector<std::uint8_t> agreement = StructureAgreement(pair);
    std::vector<std::uint32_t> kept = Agreeing(agreement);
    if (kept.size() < std::max<double>(kMinAgreeingShare * static_cast<double>(pair.Pixels()), 1.0)) return {};
    for (int round = 0; round < kRounds && !kept.empty(); ++round)
        kept = Chosen(pair, agreement, kept, smoothness, round == kRounds - 1);
    return kept;
}

std::vector<std::uint32_t> Thinned(const std::vector<std::uint32_t>& kept, std::size_t most) {
    const std::size_t step = (kept.size() + most - 1) / std::max<std::size_t>(most, 1);
    if (step <= 1) return kept;
    std::vector<std::uint32_t> thinned;
    thinned.reserve(kept.size() / step + 1);
    for (std::size_t i = 0; i < kept.size(); i += step) thinned.push_back(kept[i]);
    return thinned;
}

TPicturePair KeptPixelPairs(const TShotCorrespondence& pair, const std::vector<std::uint32_t>& kept) {
    TPicturePair rows;
    rows.Width = static_cast<int>(std::min<std::size_t>(kept.size(), kRowWidth));
    rows.Height = rows.Width == 0 ? 0 : static_cast<int>(kept.size() / rows.Width);
    rows.Read = [&pair, &kept, width = rows.Width](int y, float* before, float* after) {
        for (int x = 0; x < width; ++x) {
            const std::size_t i = kept[static_cast<std::size_t>(y) * width + x];
            std::copy_n(&pair.Frame[3 * i], 3, before + 3 * x);
            std::copy_n(&pair.Graded[3 * i], 3, after + 3 * x);
        }
    };
    return rows;
}
