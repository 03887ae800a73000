#include <memory>

#include "Arguments.h"
#include "BatchRunner.h"
#include "CommandSupport.h"
#include "Commands.h"
#include "FormatRegistry.h"
#include "GradingRoad.h"
#include "HelpTexts.h"
#include "PictureGrading.h"
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

// grade REFERENCE INPUT... -o FOLDER: the look is built once and shared by
// the workers (lookups only read it).
int GradeBatch(const TArguments& arguments)
{
    arguments.ExpectAtLeast(2, "the reference and the pictures (REFERENCE INPUT...)");
    const TBatchSettings settings = BatchSettingsFrom(arguments);
    const auto& positionals = arguments.Positionals();
    const auto items = PlanBatch({positionals.begin() + 1, positionals.end()}, settings);
    const std::unique_ptr<TLUT> look = MakeLookLut(ReferenceLook(positionals[0], PositionsFrom(arguments)));
    return RunBatch(items, settings, [&](const TBatchItem& item) {
        GradePictureFile(item.Input, item.Output, [&](TImage& picture) { GradePicture(*look, picture); });
    });
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
    std::vector<TOptionSpec> options = BatchOptionSpecs();
    options.push_back({"output", true, 'o'});
    const TArguments arguments(words, WithGrading(options));
    if (arguments.HelpAsked())
        return PrintHelp(kGradeHelp);
    if (WantsBatch(arguments, 1))
        return GradeBatch(arguments);
    arguments.ExpectPositionals(2, "the reference and the picture to grade (REFERENCE IMAGE)");
    const std::string output = OutputFile(arguments);
    CheckPictureOutput(output);
    const TLookPositions positions = PositionsFrom(arguments);

    const TLookSettings settings = ReferenceLook(arguments.Positionals()[0], positions);
    const std::unique_ptr<TLUT> look = MakeLookLut(settings);
    GradePictureFile(arguments.Positionals()[1], output, [&](TImage& picture) { GradePicture(*look, picture); });
    return 0;
}
