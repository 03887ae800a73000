#include <memory>

#include "cli/Arguments.h"
#include "cli/BatchRunner.h"
#include "cli/ClipCommands.h"
#include "cli/Commands.h"
#include "cli/DeepGrading.h"
#include "cli/FootageOptions.h"
#include "cli/GradingOptions.h"
#include "cli/HelpTexts.h"
#include "cli/InputFiles.h"
#include "cli/InterpolationOption.h"
#include "cli/OutputChoice.h"
#include "cli/PictureGrading.h"
#include "cli/PictureInput.h"
#include "cli/ShotMatchInput.h"
#include "clip/ClipFile.h"
#include "engine/FootageLook.h"
#include "engine/GradingRoad.h"
#include "engine/LUT.h"
#include "formats/FormatRegistry.h"
#include "formats/LookExport.h"
#include "formats/LutConvert.h"
#include "imageio/ImageFile.h"

namespace {

std::vector<TOptionSpec> WithGrading(std::vector<TOptionSpec> specs) {
    for (TOptionSpec& option : GradingOptionSpecs()) specs.push_back(std::move(option));
    return specs;
}

// grade GRADED_FRAME INPUT... -o FOLDER --match-shot: each picture graded
// with the look matched to it on its own.
int GradeShotBatch(const TArguments& arguments, const TBatchSettings& batch, const TBatchPlan& plan,
                   const TFootageConversion* footage) {
    const std::string& gradedFile = arguments.Positionals()[0];
    const TImage graded = LoadPicture(gradedFile);
    const TOutputProfileChoice outputProfile = OutputProfileFrom(arguments);
    return RunBatch(plan, batch, [&](const TBatchItem& item) {
        const std::unique_ptr<TLUT> look =
            MatchedShotLook(graded, gradedFile, LoadPicture(item.Input), item.Input, arguments, footage);
        GradePictureFile(item.Input, item.Output, *look, footage, outputProfile);
    });
}

// grade REFERENCE INPUT... -o FOLDER: the look is built once and shared by
// the workers (lookups only read it); with --match each frame gets a look
// matched to it, with --match-first all take the look matched to the first.
int GradeBatch(const TArguments& arguments) {
    const bool shot = arguments.Switch("match-shot");
    arguments.ExpectAtLeast(2, shot ? "the graded frame and the pictures (GRADED_FRAME INPUT...)"
                                    : "the reference and the pictures (REFERENCE INPUT...)");
    if (arguments.Switch("match") && arguments.Switch("match-first"))
        throw EUsageError("--match and --match-first exclude each other");
    const TBatchSettings batch = BatchSettingsFrom(arguments);
    const auto& positionals = arguments.Positionals();
    TInputFiles otherInputs({positionals[0]});
    if (arguments.Has("config") && !arguments.Value("config").empty()) otherInputs.Add(arguments.Value("config"));
    const auto plan = PlanBatch({positionals.begin() + 1, positionals.end()}, batch, std::move(otherInputs));
    const auto footage = FootageFrom(arguments);
    if (shot) return GradeShotBatch(arguments, batch, plan, footage.get());
    TLookSettings settings = ReferenceLook(positionals[0], PositionsFrom(arguments));
    if (arguments.Switch("match-first")) MatchToFrameFile(settings, plan.Items.front().Input, footage.get());
    const std::unique_ptr<TLUT> shared = MakeLookLut(settings);
    UseInterpolationOption(arguments, *shared);
    const bool eachMatched = arguments.Switch("match");
    const TOutputProfileChoice outputProfile = OutputProfileFrom(arguments);
    return RunBatch(plan, batch, [&](const TBatchItem& item) {
        std::unique_ptr<TLUT> own;
        if (eachMatched) {
            TLookSettings matched = settings;
            MatchToFrameFile(matched, item.Input, footage.get());
            own = MakeLookLut(matched);
            UseInterpolationOption(arguments, *own);
        }
        const TLUT& look = own ? *own : *shared;
        GradePictureFile(item.Input, item.Output, look, footage.get(), outputProfile);
    });
}

// grade REFERENCE CLIP -o CLIP: the graded clip, its look matched to each
// frame (--match), to the first (--match-first) or to a chosen one
// (--match-frame F).
int GradeClip(const TArguments& arguments) {
    const int matches = arguments.Switch("match") + arguments.Switch("match-first") + arguments.Has("match-frame");
    if (matches > 1) throw EUsageError("--match, --match-first and --match-frame exclude each other");
    const std::string output = OutputFile(arguments);
    InputFilesOf(arguments, {"config"}).CheckOutput(output);
    const auto footage = FootageFrom(arguments);
    if (arguments.Switch("match-shot")) {
        const std::string& graded = arguments.Positionals()[0];
        const std::string& clip = arguments.Positionals()[1];
        if (!IsClipName(clip)) throw EUsageError("\"" + output + "\" is a clip; only a clip is rendered to one");
        const std::unique_ptr<TLUT> look =
            MatchedShotLook(LoadPicture(graded), graded, ClipMatchFrame(clip), clip, arguments, footage.get());
        GradeClipFile(
            clip, output, [&]() -> const TLUT& { return *look; }, footage.get());
        return 0;
    }
    const TLookSettings settings = ReferenceLook(arguments.Positionals()[0], PositionsFrom(arguments));
    const TClipMatch match = arguments.Switch("match")         ? TClipMatch::EachFrame
                             : arguments.Switch("match-first") ? TClipMatch::FirstFrame
                             : arguments.Has("match-frame")    ? TClipMatch::ChosenFrame
                                                               : TClipMatch::None;
    RenderGradedClip(arguments.Positionals()[1], output, settings, match, footage.get(),
                     [&](TLUT& lut) { UseInterpolationOption(arguments, lut); });
    return 0;
}

}  // namespace

int RunLook(const std::vector<std::string>& words) {
    const TArguments arguments(words, WithGrading({{"output", true, 'o'},
                                                   {"profile", true},
                                                   {"size", true},
                                                   {"bits", true},
                                                   {"footage", true},
                                                   {"config", true},
                                                   {"match", true},
                                                   {"frame", true}}));
    if (arguments.HelpAsked()) return PrintHelp(kLookHelp);
    TakeClipOptions(arguments);
    arguments.ExpectPositionals(1, "the reference picture (REFERENCE)");
    const std::string output = OutputFile(arguments);
    InputFilesOf(arguments, {"match", "config"}).CheckOutput(output);
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
    if (arguments.Has("match")) MatchToFrameFile(settings, arguments.Value("match"), footage.get());
    ExportLook(settings, profile, size, bits, output, footage.get());
    return 0;
}

int RunGrade(const std::vector<std::string>& words) {
    std::vector<TOptionSpec> options = BatchOptionSpecs();
    for (TOptionSpec option :
         {TOptionSpec{"output", true, 'o'}, TOptionSpec{"footage", true}, TOptionSpec{"config", true},
          TOptionSpec{"match", false}, TOptionSpec{"match-first", false}, TOptionSpec{"output-profile", true},
          InterpolationOptionSpec(), TOptionSpec{"match-frame", true}, TOptionSpec{"match-shot", false}})
        options.push_back(std::move(option));
    for (TOptionSpec option : RenderOptionSpecs()) options.push_back(std::move(option));
    for (TOptionSpec option : ShotMatchOptionSpecs()) options.push_back(std::move(option));
    const TArguments arguments(words, WithGrading(options));
    if (arguments.HelpAsked()) return PrintHelp(kGradeHelp);
    TakeClipOptions(arguments);
    CheckShotMatchOptions(arguments);
    if (arguments.Positionals().size() == 2 && arguments.Has("output") && IsClipName(arguments.Value("output")))
        return GradeClip(arguments);
    if (WantsBatch(arguments, 1)) return GradeBatch(arguments);
    if (arguments.Switch("match-first")) throw EUsageError("--match-first is for many pictures; use --match for one");
    arguments.ExpectPositionals(2, "the reference and the picture to grade (REFERENCE IMAGE)");
    const std::string output = OutputFile(arguments);
    CheckFileOutput(output);
    InputFilesOf(arguments, {"config"}).CheckOutput(output);
    CheckGradedOutput(output);
    const TLookPositions positions = PositionsFrom(arguments);
    const auto footage = FootageFrom(arguments);
    if (arguments.Switch("match-shot")) {
        const std::string& graded = arguments.Positionals()[0];
        const std::string& frame = arguments.Positionals()[1];
        const std::unique_ptr<TLUT> look =
            MatchedShotLook(LoadPicture(graded), graded, LoadPicture(frame), frame, arguments, footage.get());
        GradePictureFile(frame, output, *look, footage.get(), OutputProfileFrom(arguments));
        return 0;
    }

    TLookSettings settings = ReferenceLook(arguments.Positionals()[0], positions);
    if (arguments.Switch("match")) MatchToFrameFile(settings, arguments.Positionals()[1], footage.get());
    const std::unique_ptr<TLUT> look = MakeLookLut(settings);
    UseInterpolationOption(arguments, *look);
    GradePictureFile(arguments.Positionals()[1], output, *look, footage.get(), OutputProfileFrom(arguments));
    return 0;
}
