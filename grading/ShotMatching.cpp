#include "grading/ShotMatching.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "engine/base/Error.h"
#include "engine/fit/ShotCorrespondence.h"
#include "engine/footage/FootageConversion.h"
#include "engine/lut/LUT.h"
#include "engine/picture/ImageResize.h"
#include "grading/ShotSelection.h"
#include "imageio/PairLearning.h"
#include "registration/RegistrationModule.h"

namespace {

// The longest side both frames are brought to before they are registered,
// checked and fitted.
constexpr int kWorkingSide = 1024;
// The most kept pixels the look is fitted on and measured on.
constexpr std::size_t kFitPixels = 300'000;
// The pixels of an even lattice of those the report measures the fit on.
constexpr std::int64_t kMeasuredPixels = 100'000;

void CheckSettings(const TShotMatching& settings) {
    if (settings.Size < 2 || settings.Size > kMaxCubeSize)
        throw EError("Grid size " + std::to_string(settings.Size) + " is outside 2 to " + std::to_string(kMaxCubeSize) +
                     ".");
    if (!(settings.Smoothness > 0.0) || !std::isfinite(settings.Smoothness))
        throw EError("The smoothness must be a number above 0.");
    if (!(settings.MinMatchedShare >= 0.0 && settings.MinMatchedShare <= 1.0))
        throw EError("The least matched share must lie between 0 and 1.");
}

void CheckPicture(const TImage& picture, const std::string& name) {
    if (picture.Empty()) throw EError("\"" + name + "\" holds no picture");
}

// Rec. 709 luma of 8-bit sRGB codes, rounded.
std::vector<std::uint8_t> LumaOf(const TImage& picture) {
    std::vector<std::uint8_t> luma(static_cast<std::size_t>(picture.Width()) * picture.Height());
    for (int y = 0; y < picture.Height(); ++y) {
        const std::uint8_t* row = picture.Row(y);
        std::uint8_t* out = &luma[static_cast<std::size_t>(y) * picture.Width()];
        for (int x = 0; x < picture.Width(); ++x)
            out[x] =
                static_cast<std::uint8_t>((18 * row[3 * x] + 183 * row[3 * x + 1] + 54 * row[3 * x + 2] + 128) >> 8);
    }
    return luma;
}

TRegistration Registered(const TImage& graded, const TImage& frame) {
    const std::vector<std::uint8_t> gradedLuma = LumaOf(graded);
    const std::vector<std::uint8_t> frameLuma = LumaOf(frame);
    const TLumaPlane gradedPlane{gradedLuma.data(), graded.Width(), graded.Height(),
                                 static_cast<std::size_t>(graded.Width())};
    const TLumaPlane framePlane{frameLuma.data(), frame.Width(), frame.Height(),
                                static_cast<std::size_t>(frame.Width())};
    return RegistrationModule().Register(gradedPlane, framePlane, TFeatureKind::Orb);
}

// FRAME's pixels beside GRADED's at the working size, FRAME converted from
// its footage when one is given.
TShotCorrespondence Corresponding(const TImage& graded, const TImage& frame, const TFootageConversion* footage) {
    const TRegistration registration = Registered(graded, frame);
    TShotCorrespondence pair = MapGradedOntoFrame(graded, frame, registration.Homography);
    if (!registration.Found) std::fill(pair.Overlap.begin(), pair.Overlap.end(), 0);
    if (footage != nullptr) footage->Convert(pair.Frame.data(), pair.Pixels());
    return pair;
}

// The cells of the fitted grid that the kept FRAME colours fall in.
TFitCoverage CoverageOf(const TShotCorrespondence& pair, const std::vector<std::uint32_t>& kept, int size) {
    TFitCoverage coverage;
    coverage.Size = size;
    const int cells = size - 1;
    coverage.Cells.assign(static_cast<std::size_t>(cells) * cells * cells, 0);
    auto cell = [cells](float v) { return std::clamp(static_cast<int>(static_cast<double>(v) * cells), 0, cells - 1); };
    for (const std::uint32_t i : kept) {
        const float* rgb = &pair.Frame[3 * static_cast<std::size_t>(i)];
        coverage.Cells[(static_cast<std::size_t>(cell(rgb[0])) * cells + cell(rgb[1])) * cells + cell(rgb[2])] = 1;
    }
    return coverage;
}

TImage RegionImage(const TShotCorrespondence& pair, const std::vector<std::uint32_t>& kept) {
    TImage region(pair.Width, pair.Height);
    for (const std::uint32_t i : kept) {
        std::uint8_t* pixel = region.Row(static_cast<int>(i / pair.Width)) + 3 * (i % pair.Width);
        pixel[0] = pixel[1] = pixel[2] = 255;
    }
    return region;
}

// A share as a whole percentage, never rounded up to the least share.
std::string Percent(double share, bool roundDown) {
    const double percent = share * 100.0;
    char text[32];
    if (roundDown)
        std::snprintf(text, sizeof text, "%d", static_cast<int>(std::floor(percent + 1e-9)));
    else
        std::snprintf(text, sizeof text, "%g", std::round(percent * 10.0) / 10.0);
    return text;
}

void RefuseSmallShare(double share, double least, const std::string& gradedName, const std::string& frameName) {
    if (share >= least) return;
    throw EError("only " + Percent(share, true) + " % of \"" + frameName + "\" shows the scene of \"" + gradedName +
                 "\" (at least " + Percent(least, false) + " % is needed); --match matches colour statistics instead");
}

}  // namespace

TMatchedShot MatchShot(const TImage& graded, const TImage& frame, const TShotMatching& settings,
                       const std::string& gradedName, const std::string& frameName) {
    CheckSettings(settings);
    CheckPicture(graded, gradedName);
    CheckPicture(frame, frameName);
    const TShotCorrespondence pair = Corresponding(FitImage(graded, kWorkingSide, kWorkingSide),
                                                   FitImage(frame, kWorkingSide, kWorkingSide), settings.Footage);
    const std::vector<std::uint32_t> kept = SelectMatchedPixels(pair, settings.Smoothness);
    TMatchedShot shot;
    shot.MatchedShare = static_cast<double>(kept.size()) / static_cast<double>(pair.Pixels());
    RefuseSmallShare(shot.MatchedShare, settings.MinMatchedShare, gradedName, frameName);
    const std::vector<std::uint32_t> sample = Thinned(kept, kFitPixels);
    const TPicturePair rows = KeptPixelPairs(pair, sample);
    shot.Lut = std::make_unique<TLUT>();
    const int fitSize = std::min(settings.Size, kMaxFitSize);
    FitLutToPair(rows, {fitSize, settings.Smoothness}, *shot.Lut);
    shot.Coverage = CoverageOf(pair, kept, fitSize);
    shot.Quality = MeasureFit(rows, *shot.Lut, nullptr, kMeasuredPixels);
    if (settings.Footage != nullptr) shot.Lut = LearnedLookForFootage(*shot.Lut, settings.Size, *settings.Footage);
    shot.MatchedRegion = RegionImage(pair, kept);
    return shot;
}
