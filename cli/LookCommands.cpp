#include <memory>

#include "Arguments.h"
#include "CommandSupport.h"
#include "Commands.h"
#include "DeepGrading.h"
#include "FormatRegistry.h"
#include "HelpTexts.h"
#include "ImageFile.h"
#include "LookExport.h"
#include "LutConvert.h"

namespace {

// The grid size of the look the main window builds and grades with.
constexpr int kWindowCubeSize = 33;

std::vector<TOptionSpec> WithGrading(std::vector<TOptionSpec> specs)
{
    for (TOptionSpec& option : GradingOptionSpecs())
        specs.push_back(std::move(option));
    return specs;
}

} // namespace

int RunLook(const std::vector<std::string>& words)
{
    const TArguments arguments(words, WithGrading({{"output", true, 'o'},
                                                   {"profile", true},
                                                   {"size", true},
                                                   {"bits", true}}));
    if (arguments.HelpAsked())
        return PrintHelp(kLookHelp);
    arguments.ExpectPositionals(1, "the reference picture (REFERENCE)");
    const std::string output = OutputFile(arguments);
    const TLookPositions positions = PositionsFrom(arguments);

    const TLutOutputProfile& profile = ChooseProfile(arguments, output, true, true);
    if (!ProfileIs3D(profile))
        throw EUsageError("the profile \"" + profile.Name + "\" holds a 1D curve; a look needs a 3D profile");
    int size = profile.DefaultSize;
    if (arguments.Has("size")) {
        size = arguments.IntValue("size", 2, kMaxCubeSize, size);
        if (!profile.SizeSelectable)
            throw EUsageError("the profile \"" + profile.Name + "\" does not let you choose the grid size");
    }
    const int bits = ChooseBits(arguments, profile);

    const TLookSettings settings = ReferenceLook(arguments.Positionals()[0], positions);
    ExportLook(settings, profile, size, bits, output);
    return 0;
}

int RunGrade(const std::vector<std::string>& words)
{
    const TArguments arguments(words, WithGrading({{"output", true, 'o'}}));
    if (arguments.HelpAsked())
        return PrintHelp(kGradeHelp);
    arguments.ExpectPositionals(2, "the reference and the picture to grade (REFERENCE IMAGE)");
    const std::string output = OutputFile(arguments);
    CheckGradedOutput(output);
    const TLookPositions positions = PositionsFrom(arguments);

    const TLookSettings settings = ReferenceLook(arguments.Positionals()[0], positions);
    auto lut = std::make_unique<TLUT>();
    lut->Kind = lkCube;
    lut->CubeSize = kWindowCubeSize;
    BuildLookCube(settings, settings.Factors, *lut);

    GradePictureFile(*lut, arguments.Positionals()[1], output);
    return 0;
}
