#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/DeepGrading.h"
#include "cli/ErrorStream.h"
#include "cli/FootageOptions.h"
#include "cli/HelpTexts.h"
#include "cli/OutputChoice.h"
#include "cli/PictureInput.h"
#include "engine/LUT.h"
#include "engine/LutFit.h"
#include "formats/FormatRegistry.h"
#include "formats/LutConvert.h"
#include "imageio/PairLearning.h"

// learn BEFORE AFTER -o LUT: the LUT that turns a frame into its graded
// version, fitted to every pixel of the pair on the road the window's
// dialog takes too (PairLearning.h); clip frames are read as pictures.

namespace {

constexpr double kWarnShareAbove5 = 0.05;

// Refuses an output that names one of the inputs (the same file by any
// path, or the same name when it does not exist yet).
void CheckOutputIsNoInput(const std::string& output, const std::vector<std::string>& inputs) {
    namespace fs = std::filesystem;
    for (const std::string& input : inputs) {
        std::error_code error;
        const bool same = fs::equivalent(output, input, error) ||
                          fs::weakly_canonical(output, error) == fs::weakly_canonical(input, error);
        if (same) throw EUsageError("the output \"" + output + "\" is one of the inputs");
    }
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

double SmoothnessFrom(const TArguments& arguments) {
    if (!arguments.Has("smoothness")) return kDefaultSmoothness;
    const std::string& text = arguments.Value("smoothness");
    std::size_t used = 0;
    double value = 0.0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || !std::isfinite(value) || value <= 0.0 || value > 1e6)
        throw EUsageError("option --smoothness needs a number above 0 and up to 1000000, not \"" + text + "\"");
    return value;
}

}  // namespace

int RunLearn(const std::vector<std::string>& words) {
    const TArguments arguments(words, {{"output", true, 'o'},
                                       {"profile", true},
                                       {"size", true},
                                       {"bits", true},
                                       {"footage", true},
                                       {"config", true},
                                       {"smoothness", true}});
    if (arguments.HelpAsked()) return PrintHelp(kLearnHelp);
    arguments.ExpectPositionals(2, "the picture before and after grading (BEFORE AFTER)");
    const std::string& beforeFile = arguments.Positionals()[0];
    const std::string& afterFile = arguments.Positionals()[1];
    const std::string output = OutputFile(arguments);
    CheckOutputIsNoInput(output, {beforeFile, afterFile});

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
    const double smoothness = SmoothnessFrom(arguments);
    const auto footage = FootageFrom(arguments);
    if (footage != nullptr && footage->SceneLinear())
        throw EError("The footage \"" + footage->Label() +
                     "\" is scene-linear: 'learn' makes LUTs on 0..1 values and does not take it; "
                     "use 'look' for a look with a shaper.");

    const TLearnedLook learned = LearnLookFromFiles(beforeFile, afterFile, {size, smoothness, footage.get()},
                                                    {[](const std::string& file) { return LoadPicture(file); },
                                                     [](const std::string& file) { return LoadDeep(file); }});
    const TFitQuality& quality = learned.Quality;
    const TFitCoverage& coverage = learned.Coverage;
    WriteConverted(*learned.Lut, output, profile, size, bits);

    std::printf("fit: mean ΔE2000 %s, 99th percentile %s\n", Fixed(quality.MeanDeltaE, 2).c_str(),
                Fixed(quality.Percentile99, 2).c_str());
    std::printf("covered: %s %% of the grid's colour volume\n", Fixed(100.0 * coverage.Share(), 1).c_str());
    std::fflush(stdout);
    if (quality.ShareAbove5 > kWarnShareAbove5)
        WriteToErrorStream("ombrane-cli: warning: " + Fixed(100.0 * quality.ShareAbove5, 1) +
                           " % of the pixels are off by more than ΔE 5: the pair may not be a global colour "
                           "change (a vignette, a local mask, a crop)\n");
    return 0;
}
