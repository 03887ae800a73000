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
#include "engine/DeepGrade.h"
#include "engine/GradedPair.h"
#include "engine/LUT.h"
#include "engine/LutFit.h"
#include "formats/FormatRegistry.h"
#include "formats/LutConvert.h"
#include "imageio/DeepImageFile.h"

// learn BEFORE AFTER -o LUT: the LUT that turns a frame into its graded
// version, fitted to every pixel of the pair (LutFit.h).

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

// The pair as loaded: both 8-bit, or both deep when either picture is.
struct TLoadedPair {
    TImage Before;
    TImage After;
    TDeepImage DeepBefore;
    TDeepImage DeepAfter;
    bool Deep = false;
};

TLoadedPair LoadPair(const std::string& before, const std::string& after) {
    TLoadedPair pair;
    pair.Deep = IsDeepPictureFile(before) || IsDeepPictureFile(after);
    if (pair.Deep) {
        pair.DeepBefore = LoadDeep(before);
        pair.DeepAfter = LoadDeep(after);
        MatchPairSizes(pair.DeepBefore, pair.DeepAfter, before, after);
    } else {
        pair.Before = LoadPicture(before);
        pair.After = LoadPicture(after);
        MatchPairSizes(pair.Before, pair.After, before, after);
    }
    return pair;
}

// The pair's rows as the fit reads them, BEFORE converted from the footage
// when one is given.
TPicturePair PairRows(const TLoadedPair& pair, const TFootageConversion* footage) {
    TPicturePair rows = PairOfImages(pair.Before, pair.After);
    if (pair.Deep) {
        rows.Width = pair.DeepBefore.Width();
        rows.Height = pair.DeepBefore.Height();
        rows.Read = [&pair](int y, float* before, float* after) {
            std::copy(pair.DeepBefore.Row(y), pair.DeepBefore.Row(y) + 3 * pair.DeepBefore.Width(), before);
            std::copy(pair.DeepAfter.Row(y), pair.DeepAfter.Row(y) + 3 * pair.DeepAfter.Width(), after);
        };
    }
    if (footage != nullptr)
        rows.Read = [read = rows.Read, footage, width = rows.Width](int y, float* before, float* after) {
            read(y, before, after);
            footage->Convert(before, static_cast<std::size_t>(width));
        };
    return rows;
}

// The learned look at the output's grid size: the footage's grid colours
// converted to display and looked up in the look; without footage the
// fitted cube itself, resampled when the output asks for more points.
std::unique_ptr<TLUT> OutputLut(const TLUT& learned, int size, const TFootageConversion* footage) {
    auto lut = std::make_unique<TLUT>();
    if (footage == nullptr) {
        BakeCube(learned, size, *lut);
        return lut;
    }
    std::vector<float> grid(static_cast<std::size_t>(size) * size * size * 3);
    std::size_t i = 0;
    for (int r = 0; r < size; ++r)
        for (int g = 0; g < size; ++g)
            for (int b = 0; b < size; ++b) {
                grid[i++] = static_cast<float>(r) / (size - 1);
                grid[i++] = static_cast<float>(g) / (size - 1);
                grid[i++] = static_cast<float>(b) / (size - 1);
            }
    footage->Convert(grid.data(), grid.size() / 3);
    lut->Kind = lkCube;
    lut->CubeSize = size;
    i = 0;
    for (int r = 0; r < size; ++r)
        for (int g = 0; g < size; ++g)
            for (int b = 0; b < size; ++b, i += 3)
                learned.LookupNormalized({grid[i], grid[i + 1], grid[i + 2]}, lut->Cube[r][g][b]);
    lut->Comments.push_back("input: " + footage->Label());
    return lut;
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

    const TLoadedPair loaded = LoadPair(beforeFile, afterFile);
    const TPicturePair pair = PairRows(loaded, footage.get());
    const TLearnedLook learned = LearnLook(pair, {std::min(size, kMaxFitSize), smoothness}, beforeFile, afterFile);
    const TFitQuality& quality = learned.Quality;
    const TFitCoverage& coverage = learned.Coverage;

    const std::unique_ptr<TLUT> lut = OutputLut(*learned.Lut, size, footage.get());
    WriteConverted(*lut, output, profile, size, bits);

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
