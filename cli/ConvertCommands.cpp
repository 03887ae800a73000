#include <future>
#include <memory>

#include "cli/Arguments.h"
#include "cli/BatchRunner.h"
#include "cli/ClipCommands.h"
#include "cli/Commands.h"
#include "cli/DeepGrading.h"
#include "cli/HelpTexts.h"
#include "cli/InputFiles.h"
#include "cli/InterpolationOption.h"
#include "cli/OutputChoice.h"
#include "cli/PictureGrading.h"
#include "formats/CdlCollectionFormat.h"
#include "formats/FormatRegistry.h"
#include "formats/LutConvert.h"
#include "formats/LutFormat.h"
#include "formats/ShapedLookExport.h"
#include "grading/ExportLook.h"
#include "imageio/ImageFile.h"

namespace {

// A 3D profile holds at most 101 points per axis; a curve may be longer.
void CheckSizeFor(const TLutOutputProfile& profile, int size) {
    if (size > kMaxCubeSize && ProfileIs3D(profile))
        throw EUsageError("option --size needs an integer from 2 to 101 for the 3D profile \"" + profile.Name +
                          "\", not " + std::to_string(size));
}

// The input's LUT; with --cc-id, the correction of that id of a CDL
// collection (the collection reader alone takes the option).
std::unique_ptr<TLUT> ReadSource(const TArguments& arguments) {
    const std::string& input = arguments.Positionals()[0];
    int index = -1;
    auto lut = ReadLutFile(input, &index);
    if (!arguments.Has("cc-id")) return lut;
    if (arguments.Value("cc-id").empty())
        throw EUsageError("option --cc-id needs the id of a correction; an empty id names none");
    if (GetLutFormat(index)->Info().Id != "asc-cdl-collection")
        throw EUsageError("option --cc-id needs an ASC CDL collection (.ccc or .cdl); \"" + input + "\" is " +
                          GetLutFormat(index)->Info().Name);
    try {
        LoadCdlCollectionFile(input, arguments.Value("cc-id"), *lut);
    } catch (const std::exception& error) {
        throw EError("\"" + input + "\": " + error.what());
    }
    return lut;
}

}  // namespace

int RunConvert(const std::vector<std::string>& words) {
    const TArguments arguments(
        words, {{"output", true, 'o'}, {"profile", true}, {"size", true}, {"bits", true}, {"cc-id", true}});
    if (arguments.HelpAsked()) return PrintHelp(kConvertHelp);
    arguments.ExpectPositionals(1, "the LUT file to convert (INPUT)");
    const std::string output = OutputFile(arguments);
    InputFilesOf(arguments, {}).CheckOutput(output);
    const int size = arguments.IntValue("size", 2, kMaxCurveSize, 0);

    // Without --profile the choice depends on the input's kind, so the
    // input is read first; a named profile is checked before that.
    if (arguments.Has("profile")) {
        const TLutOutputProfile& named = ChooseProfile(arguments, output, true, false);
        ChooseBits(arguments, named);
        CheckSizeFor(named, size);
    }
    const auto source = ReadSource(arguments);
    const TLutOutputProfile& profile = ChooseProfile(arguments, output, source->Kind != lkCurve, false);
    CheckSizeFor(profile, size);
    const int bits = ChooseBits(arguments, profile);

    try {
        // A chain written with a shaper to spi3d puts its spi1d beside the output.
        if (PrepareShapedChain(*source, profile, size, bits) != nullptr) {
            const std::string companion = ShaperCompanion(profile, output);
            if (!companion.empty()) InputFilesOf(arguments, {}).CheckOutput(companion);
        }
        ExportLutFile(*source, {output, &profile, size, bits});
    } catch (const ESizeError& error) {
        throw EError(std::string(error.what()) + "; --size resamples the LUT to one of them");
    }
    return 0;
}

namespace {

// apply LUTFILE INPUT... -o FOLDER: the LUT is read once and shared by the
// workers (lookups only read it).
int ApplyBatch(const TArguments& arguments) {
    arguments.ExpectAtLeast(2, "the LUT file and the pictures (LUTFILE INPUT...)");
    const TBatchSettings settings = BatchSettingsFrom(arguments);
    const auto& positionals = arguments.Positionals();
    const auto plan = PlanBatch({positionals.begin() + 1, positionals.end()}, settings, TInputFiles({positionals[0]}));
    const auto lut = ReadLutFile(positionals[0]);
    CheckUsableTables(*lut);
    UseInterpolationOption(arguments, *lut);
    const TOutputProfileChoice outputProfile = OutputProfileFrom(arguments);
    return RunBatch(plan, settings, [&](const TBatchItem& item) {
        GradePictureFile(item.Input, item.Output, *lut, nullptr, outputProfile);
    });
}

}  // namespace

int RunApply(const std::vector<std::string>& words) {
    std::vector<TOptionSpec> options = BatchOptionSpecs();
    options.push_back({"output", true, 'o'});
    options.push_back(InterpolationOptionSpec());
    options.push_back({"output-profile", true});
    for (TOptionSpec option : RenderOptionSpecs()) options.push_back(std::move(option));
    const TArguments arguments(words, options);
    if (arguments.HelpAsked()) return PrintHelp(kApplyHelp);
    TakeClipOptions(arguments);
    if (WantsBatch(arguments, 1)) return ApplyBatch(arguments);
    arguments.ExpectPositionals(2, "the LUT file and the picture (LUTFILE IMAGE)");
    const std::string output = OutputFile(arguments);
    CheckFileOutput(output);
    InputFilesOf(arguments, {}).CheckOutput(output);
    CheckGradedOutput(output);
    const TOutputProfileChoice outputProfile = OutputProfileFrom(arguments);

    // The LUT is read on another thread while the picture's decoding begins
    // (a large progressive JPEG spends most of its time before its first
    // row). A LUT that fails is reported before anything the picture did.
    const std::string lutFile = arguments.Positionals()[0];
    const std::shared_future<std::unique_ptr<TLUT>> pending = std::async(std::launch::async, [lutFile, &arguments] {
        auto lut = ReadLutFile(lutFile);
        CheckUsableTables(*lut);
        UseInterpolationOption(arguments, *lut);
        return lut;
    });
    try {
        GradePictureFile(
            arguments.Positionals()[1], output, [&]() -> const TLUT& { return *pending.get(); }, nullptr,
            outputProfile);
    } catch (...) {
        pending.get();
        throw;
    }
    return 0;
}
