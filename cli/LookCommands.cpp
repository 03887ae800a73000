#include <memory>

#include "Arguments.h"
#include "CommandSupport.h"
#include "Commands.h"
#include "FootageLook.h"
#include "FootageOptions.h"
#include "FormatRegistry.h"
#include "GradingRoad.h"
#include "HelpTexts.h"
#include "ImageFile.h"
#include "LUT.h"
#include "LookExport.h"
#include "LutConvert.h"

namespace {

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
                                                   {"bits", true},
                                                   {"footage", true},
                                                   {"config", true},
                                                   {"match", true}}));
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
    const auto footage = FootageFrom(arguments);

    TLookSettings settings = ReferenceLook(arguments.Positionals()[0], positions);
    if (arguments.Has("match"))
        MatchToFrameFile(settings, arguments.Value("match"), footage.get());
    ExportLook(settings, profile, size, bits, output, footage.get());
    return 0;
}

int RunGrade(const std::vector<std::string>& words)
{
    const TArguments arguments(
        words, WithGrading({{"output", true, 'o'}, {"footage", true}, {"config", true}, {"match", false}}));
    if (arguments.HelpAsked())
        return PrintHelp(kGradeHelp);
    arguments.ExpectPositionals(2, "the reference and the picture to grade (REFERENCE IMAGE)");
    const std::string output = OutputFile(arguments);
    CheckPictureOutput(output);
    const TLookPositions positions = PositionsFrom(arguments);
    const auto footage = FootageFrom(arguments);

    TLookSettings settings = ReferenceLook(arguments.Positionals()[0], positions);
    if (arguments.Switch("match"))
        MatchToFrameFile(settings, arguments.Positionals()[1], footage.get());
    const std::unique_ptr<TLUT> look = MakeLookLut(settings);

    TImage picture = LoadPicture(arguments.Positionals()[1]);
    GradePicture(*look, picture, footage.get());
    SaveImageFile(output, picture);
    return 0;
}
