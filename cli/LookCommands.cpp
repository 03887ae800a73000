#include <filesystem>
#include <memory>

#include "cli/Arguments.h"
#include "cli/BatchRunner.h"
#include "cli/ClipCommands.h"
#include "cli/CommandLook.h"
#include "cli/Commands.h"
#include "cli/DeepGrading.h"
#include "cli/FootageOptions.h"
#include "cli/GradingOptions.h"
#include "cli/HelpTexts.h"
#include "cli/InputFiles.h"
#include "cli/InterpolationOption.h"
#include "cli/LookDocumentCommands.h"
#include "cli/OutputChoice.h"
#include "cli/PictureGrading.h"
#include "cli/PictureInput.h"
#include "cli/ShotMatchInput.h"
#include "clip/ClipFile.h"
#include "engine/footage/FootageLook.h"
#include "engine/look/GradingRoad.h"
#include "engine/lut/LUT.h"
#include "formats/FormatRegistry.h"
#include "formats/LutConvert.h"
#include "grading/ExportLook.h"
#include "imageio/ImageFile.h"

namespace {

std::vector<TOptionSpec> WithGrading(std::vector<TOptionSpec> specs) {
    for (TOptionSpec& option : GradingOptionSpecs()) specs.push_back(std::move(option));
    return specs;
}

// A look that keeps a LUT grades with it as it is: nothing to match.
void RefuseMatchOfKeptLut(const TArguments& arguments) {
    if (arguments.Switch("match") || arguments.Switch("match-first") || arguments.Has("match-frame"))
        throw EUsageError("the look \"" + arguments.Value("look") + "\" keeps a LUT, which is not matched to frames");
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
int GradeBatch(const TArguments& arguments, const TCommandLook& look) {
    const bool shot = arguments.Switch("match-shot");
    if (look.FromDocument())
        arguments.ExpectAtLeast(1, "the pictures (INPUT...)");
    else
        arguments.ExpectAtLeast(2, shot ? "the graded frame and the pictures (GRADED_FRAME INPUT...)"
                                        : "the reference and the pictures (REFERENCE INPUT...)");
    if (arguments.Switch("match") && arguments.Switch("match-first"))
        throw EUsageError("--match and --match-first exclude each other");
    const TBatchSettings batch = BatchSettingsFrom(arguments);
    const auto& positionals = arguments.Positionals();
    TInputFiles otherInputs({positionals.begin(), positionals.begin() + look.Skipped()});
    if (arguments.Has("config") && !arguments.Value("config").empty()) otherInputs.Add(arguments.Value("config"));
    if (look.FromDocument()) otherInputs.Add(arguments.Value("look"));
    const auto plan =
        PlanBatch({positionals.begin() + look.Skipped(), positionals.end()}, batch, std::move(otherInputs));
    const auto footage = look.Footage();
    if (shot) return GradeShotBatch(arguments, batch, plan, footage.get());
    if (const auto kept = look.KeptLut()) {
        RefuseMatchOfKeptLut(arguments);
        const TOutputProfileChoice outputProfile = OutputProfileFrom(arguments);
        return RunBatch(plan, batch, [&](const TBatchItem& item) {
            GradePictureFile(item.Input, item.Output, *kept, footage.get(), outputProfile);
        });
    }
    TLookSettings settings = look.Settings();
    if (arguments.Switch("match-first")) MatchToFrameFile(settings, plan.Items.front().Input, footage.get());
    const std::unique_ptr<TLUT> shared = MakeLookLut(settings);
    look.Prepare(*shared);
    const bool eachMatched = arguments.Switch("match");
    const TOutputProfileChoice outputProfile = OutputProfileFrom(arguments);
    return RunBatch(plan, batch, [&](const TBatchItem& item) {
        std::unique_ptr<TLUT> own;
        if (eachMatched) {
            TLookSettings matched = settings;
            MatchToFrameFile(matched, item.Input, footage.get());
            own = MakeLookLut(matched);
            look.Prepare(*own);
        }
        const TLUT& lut = own ? *own : *shared;
        GradePictureFile(item.Input, item.Output, lut, footage.get(), outputProfile);
    });
}

// grade REFERENCE CLIP -o CLIP: the graded clip, its look matched to each
// frame (--match), to the first (--match-first) or to a chosen one
// (--match-frame F).
int GradeClip(const TArguments& arguments, const TCommandLook& look) {
    const int matches = arguments.Switch("match") + arguments.Switch("match-first") + arguments.Has("match-frame");
    if (matches > 1) throw EUsageError("--match, --match-first and --match-frame exclude each other");
    const std::string output = OutputFile(arguments);
    InputFilesOf(arguments, {"config", "look"}).CheckOutput(output);
    const auto footage = look.Footage();
    const std::string& clip = arguments.Positionals()[look.Skipped()];
    if (arguments.Switch("match-shot")) {
        const std::string& graded = arguments.Positionals()[0];
        if (!IsClipName(clip)) throw EUsageError("\"" + output + "\" is a clip; only a clip is rendered to one");
        const std::unique_ptr<TLUT> matched =
            MatchedShotLook(LoadPicture(graded), graded, ClipMatchFrame(clip), clip, arguments, footage.get());
        GradeClipFile(
            clip, output, [&]() -> const TLUT& { return *matched; }, footage.get());
        return 0;
    }
    if (const auto kept = look.KeptLut()) {
        RefuseMatchOfKeptLut(arguments);
        GradeClipFile(
            clip, output, [&]() -> const TLUT& { return *kept; }, footage.get());
        return 0;
    }
    const TLookSettings settings = look.Settings();
    const TClipMatch match = arguments.Switch("match")         ? TClipMatch::EachFrame
                             : arguments.Switch("match-first") ? TClipMatch::FirstFrame
                             : arguments.Has("match-frame")    ? TClipMatch::ChosenFrame
                                                               : TClipMatch::None;
    RenderGradedClip(clip, output, settings, match, footage.get(), [&](TLUT& lut) { look.Prepare(lut); });
    return 0;
}

// look --look FILE.olook -o OUTPUT: a kept LUT as convert writes it, else
// the document's look exported as from a reference.
void ExportTheLook(const TArguments& arguments, const TCommandLook& look, const std::string& output) {
    if (const auto kept = look.KeptLut()) {
        ExportKeptLut(arguments, *kept, output);
        return;
    }
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
    const auto footage = look.Footage();

    TLookSettings settings = look.Settings();
    if (arguments.Has("match")) MatchToFrameFile(settings, arguments.Value("match"), footage.get());
    ExportLookFile(settings, {output, &profile, size, bits}, footage.get());
}

// With --look every positional is a picture: one folder among them asks
// for the batch road too.
bool WantsDocumentBatch(const TArguments& arguments) {
    std::error_code error;
    return !arguments.Positionals().empty() && std::filesystem::is_directory(arguments.Positionals()[0], error);
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
                                                   {"frame", true},
                                                   {"sequence", false},
                                                   {"fps", true},
                                                   {"look", true},
                                                   {"save-look", true}}));
    if (arguments.HelpAsked()) return PrintHelp(kLookHelp);
    TakeClipOptions(arguments);
    const TCommandLook look(arguments);
    if (look.FromDocument())
        arguments.ExpectPositionals(0, "");
    else
        arguments.ExpectPositionals(1, "the reference picture (REFERENCE)");
    const bool saving = arguments.Has("save-look");
    if (!saving || arguments.Has("output")) {
        const std::string output = OutputFile(arguments);
        InputFilesOf(arguments, {"match", "config", "look"}).CheckOutput(output);
        PositionsFrom(arguments);  // refuses a position out of range before anything else
        ExportTheLook(arguments, look, output);
    }
    if (saving) SaveCommandLook(arguments, look);
    return 0;
}

int RunGrade(const std::vector<std::string>& words) {
    std::vector<TOptionSpec> options = BatchOptionSpecs();
    for (TOptionSpec option :
         {TOptionSpec{"output", true, 'o'}, TOptionSpec{"footage", true}, TOptionSpec{"config", true},
          TOptionSpec{"match", false}, TOptionSpec{"match-first", false}, TOptionSpec{"output-profile", true},
          InterpolationOptionSpec(), TOptionSpec{"match-frame", true}, TOptionSpec{"look", true},
          TOptionSpec{"match-shot", false}})
        options.push_back(std::move(option));
    for (TOptionSpec option : RenderOptionSpecs()) options.push_back(std::move(option));
    for (TOptionSpec option : ShotMatchOptionSpecs()) options.push_back(std::move(option));
    const TArguments arguments(words, WithGrading(options));
    if (arguments.HelpAsked()) return PrintHelp(kGradeHelp);
    TakeClipOptions(arguments);
    CheckShotMatchOptions(arguments);
    if (arguments.Switch("match-shot") && arguments.Has("look")) throw EUsageError("--match-shot excludes --look");
    const TCommandLook look(arguments);
    const std::size_t skipped = look.Skipped();
    if (arguments.Positionals().size() == skipped + 1 && arguments.Has("output") &&
        IsClipName(arguments.Value("output")))
        return GradeClip(arguments, look);
    if (WantsBatch(arguments, skipped) || (look.FromDocument() && WantsDocumentBatch(arguments)))
        return GradeBatch(arguments, look);
    if (arguments.Switch("match-first")) throw EUsageError("--match-first is for many pictures; use --match for one");
    if (look.FromDocument())
        arguments.ExpectPositionals(1, "the picture to grade (IMAGE)");
    else
        arguments.ExpectPositionals(2, "the reference and the picture to grade (REFERENCE IMAGE)");
    const std::string output = OutputFile(arguments);
    CheckFileOutput(output);
    InputFilesOf(arguments, {"config", "look"}).CheckOutput(output);
    CheckGradedOutput(output);
    PositionsFrom(arguments);  // refuses a position out of range before the pictures are read
    const auto footage = look.Footage();
    const std::string& picture = arguments.Positionals()[skipped];
    if (arguments.Switch("match-shot")) {
        const std::string& graded = arguments.Positionals()[0];
        const std::unique_ptr<TLUT> matched =
            MatchedShotLook(LoadPicture(graded), graded, LoadPicture(picture), picture, arguments, footage.get());
        GradePictureFile(picture, output, *matched, footage.get(), OutputProfileFrom(arguments));
        return 0;
    }

    std::shared_ptr<const TLUT> lut = look.KeptLut();
    if (lut) {
        RefuseMatchOfKeptLut(arguments);
    } else {
        TLookSettings settings = look.Settings();
        if (arguments.Switch("match")) MatchToFrameFile(settings, picture, footage.get());
        std::shared_ptr<TLUT> built = MakeLookLut(settings);
        look.Prepare(*built);
        lut = std::move(built);
    }
    GradePictureFile(picture, output, *lut, footage.get(), OutputProfileFrom(arguments));
    return 0;
}
