#include "cli/ShotMatchInput.h"

#include <exception>
#include <future>

#include "cli/FittedLook.h"
#include "cli/GradingOptions.h"
#include "cli/InterpolationOption.h"
#include "cli/PictureInput.h"
#include "engine/footage/FootageLook.h"
#include "engine/look/LookControls.h"
#include "engine/lut/LUT.h"

namespace {

constexpr double kPercent = 100.0;

double MinMatchedFrom(const TArguments& arguments) {
    if (!arguments.Has("min-matched")) return kDefaultMinMatchedShare;
    const std::string& text = arguments.Value("min-matched");
    double value = -1.0;
    if (!ParseFiniteNumber(text, value) || value < 0.0 || value > kPercent)
        throw EUsageError("option --min-matched needs a percentage from 0 to 100, not \"" + text + "\"");
    return value / kPercent;
}

}  // namespace

std::vector<TOptionSpec> ShotMatchOptionSpecs() { return {{"smoothness", true}, {"min-matched", true}}; }

TShotMatching ShotMatchingFrom(const TArguments& arguments) {
    TShotMatching settings;
    settings.Smoothness = SmoothnessFrom(arguments);
    settings.MinMatchedShare = MinMatchedFrom(arguments);
    return settings;
}

TMatchedShot MatchShotFiles(const std::string& gradedFile, const std::string& frameFile,
                            const TShotMatching& settings) {
    // The two pictures are decoded side by side: for large stills that is
    // most of the command's time. GRADED_FRAME's failure is told first, as
    // when they are read one after the other.
    auto gradedRead = std::async(std::launch::async, [&gradedFile] { return LoadPicture(gradedFile); });
    TImage frame;
    std::exception_ptr frameFailure;
    try {
        frame = LoadPicture(frameFile);
    } catch (...) {
        frameFailure = std::current_exception();
    }
    const TImage graded = gradedRead.get();
    if (frameFailure) std::rethrow_exception(frameFailure);
    return MatchShot(graded, frame, settings, gradedFile, frameFile);
}

std::unique_ptr<TLUT> MatchedShotLook(const TImage& graded, const std::string& gradedName, TImage frame,
                                      const std::string& frameName, const TArguments& arguments,
                                      const TFootageConversion* footage) {
    if (footage != nullptr) ConvertFootageImage(*footage, frame);
    TMatchedShot shot = MatchShot(graded, frame, ShotMatchingFrom(arguments), gradedName, frameName);
    const int strength = PositionsFrom(arguments).Strength;
    if (strength != kStrengthDefault) ApplyLookStrength(strength / kPercent, *shot.Lut);
    UseInterpolationOption(arguments, *shot.Lut);
    return std::move(shot.Lut);
}

void CheckShotMatchOptions(const TArguments& arguments) {
    if (!arguments.Switch("match-shot")) {
        for (const TOptionSpec& option : ShotMatchOptionSpecs())
            if (arguments.Has(option.Name)) throw EUsageError("--" + option.Name + " is for --match-shot");
        return;
    }
    if (arguments.Switch("match") || arguments.Switch("match-first"))
        throw EUsageError("--match-shot excludes --match and --match-first");
    for (const TLookControl& control : LookControls())
        if (arguments.Has(control.Key) && control.Position != &TLookPositions::Strength)
            throw EUsageError(std::string("--") + control.Key +
                              " shapes a reference's look; --match-shot takes --strength only");
    for (const TLookSwitch& option : LookSwitches())
        if (arguments.Switch(option.Key))
            throw EUsageError(std::string("--") + option.Key +
                              " shapes a reference's look; --match-shot takes --strength only");
}
