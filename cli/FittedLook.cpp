#include "cli/FittedLook.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "cli/ErrorStream.h"
#include "cli/OutputChoice.h"
#include "engine/footage/FootageConversion.h"
#include "engine/lut/LUT.h"
#include "formats/FormatRegistry.h"
#include "formats/LutConvert.h"

namespace {

constexpr double kWarnShareAbove5 = 0.05;

}  // namespace

TFittedOutput FittedOutputFrom(const TArguments& arguments, const std::string& output) {
    const TLutOutputProfile& profile = ChooseProfile(arguments, output, true, true);
    if (!ProfileIs3D(profile))
        throw EUsageError("the profile \"" + profile.Name + "\" holds a 1D curve; a look needs a 3D profile");
    const int bits = ChooseBits(arguments, profile);
    const TLUTFormat& format = ProfileFormat(profile);
    const int onlySize = WriterOnlySize(format, bits);
    int size = onlySize != 0 ? onlySize : profile.DefaultSize;
    if (arguments.Has("size")) {
        size = arguments.IntValue("size", 2, kMaxCubeSize, size);
        if (!profile.SizeSelectable)
            throw EUsageError("the profile \"" + profile.Name + "\" does not let you choose the grid size");
        if (!WriterTakesSize(format, size, bits))
            throw EUsageError("the profile \"" + profile.Name + "\" takes grid sizes " + WriterSizesText(format, bits));
    }
    return {&profile, size, bits};
}

void CheckOutputIsNoInput(const std::string& output, const std::vector<std::string>& inputs) {
    namespace fs = std::filesystem;
    for (const std::string& input : inputs) {
        std::error_code error;
        const bool same = fs::equivalent(output, input, error) ||
                          fs::weakly_canonical(output, error) == fs::weakly_canonical(input, error);
        if (same) throw EUsageError("the output \"" + output + "\" is one of the inputs");
    }
}

bool ParseFiniteNumber(const std::string& text, double& value) {
    std::size_t used = 0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        return false;
    }
    return used != 0 && used == text.size() && std::isfinite(value);
}

double SmoothnessFrom(const TArguments& arguments) {
    if (!arguments.Has("smoothness")) return kDefaultSmoothness;
    const std::string& text = arguments.Value("smoothness");
    double value = 0.0;
    if (!ParseFiniteNumber(text, value) || value <= 0.0 || value > 1e6)
        throw EUsageError("option --smoothness needs a number above 0 and up to 1000000, not \"" + text + "\"");
    return value;
}

void RefuseSceneLinear(const TFootageConversion* footage, const std::string& command) {
    if (footage != nullptr && footage->SceneLinear())
        throw EError("The footage \"" + footage->Label() + "\" is scene-linear: '" + command +
                     "' makes LUTs on 0..1 values and does not take it; use 'look' for a look with a shaper.");
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

void PrintFitReport(const TFitQuality& quality, const TFitCoverage& coverage) {
    std::printf("fit: mean ΔE2000 %s, 99th percentile %s\n", Fixed(quality.MeanDeltaE, 2).c_str(),
                Fixed(quality.Percentile99, 2).c_str());
    std::printf("covered: %s %% of the grid's colour volume\n", Fixed(100.0 * coverage.Share(), 1).c_str());
    std::fflush(stdout);
    if (quality.ShareAbove5 > kWarnShareAbove5)
        WriteToErrorStream("ombrane-cli: warning: " + Fixed(100.0 * quality.ShareAbove5, 1) +
                           " % of the pixels are off by more than ΔE 5: the pair may not be a global colour "
                           "change (a vignette, a local mask, a crop)\n");
}
