#include "grading/ShotMatching.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "engine/Error.h"
#include "engine/FootageConversion.h"
#include "engine/ImageResize.h"
#include "engine/LUT.h"
#include "engine/ShotCorrespondence.h"
#include "grading/ShotSelection.h"
#include "imageio/PairLearning.h"
#include "registration/RegistrationModule.h"

namespace {

// The longest side both frames are brought to before they are registered,
// checked and fitted.
constexpr int kWorkingSide = 1024;

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
    const TPicturePair rows = KeptPixelPairs(pair, kept);
    shot.Lut = std::make_unique<TLUT>();
    shot.Coverage = FitLutToPair(rows, {std::min(settings.Size, kMaxFitSize), settings.Smoothness}, *shot.Lut);
    shot.Quality = MeasureFit(rows, *shot.Lut);
    if (settings.Footage != nullptr) shot.Lut = LearnedLookForFootage(*shot.Lut, settings.Size, *settings.Footage);
    shot.MatchedRegion = RegionImage(pair, kept);
    return shot;
}
