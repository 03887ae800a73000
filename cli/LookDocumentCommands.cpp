#include "cli/LookDocumentCommands.h"

#include <filesystem>

#include "cli/GradingOptions.h"
#include "cli/InputFiles.h"
#include "cli/OutputChoice.h"
#include "cli/PictureInput.h"
#include "engine/footage/FootageConversion.h"
#include "engine/look/GradingRoad.h"
#include "engine/lut/LUT.h"
#include "footage/OcioFootage.h"
#include "formats/FormatRegistry.h"
#include "formats/LutConvert.h"
#include "grading/ExportLook.h"
#include "grading/ReferenceHash.h"

namespace {

// The look of `look REFERENCE`: the reference's file, hash and cell, and
// the positions of the grading options.
TLookRecipe ReferenceRecipe(const TArguments& arguments) {
    const std::string& reference = arguments.Positionals()[0];
    TLookRecipe recipe;
    recipe.ReferenceName = std::filesystem::path(reference).filename().string();
    recipe.ReferenceCell = ReferenceCell(reference);
    recipe.ReferenceHash = ReferenceFileHash(reference);
    recipe.Positions = PositionsFrom(arguments);
    return recipe;
}

// --footage and --match of the command, over what the look had.
void TakeFootageAndMatch(const TArguments& arguments, const TCommandLook& look, TLookRecipe& recipe) {
    if (arguments.Has("footage")) {
        recipe.Footage = arguments.Value("footage");
        recipe.FootageConfig = FootageConfigPath(arguments.Has("config") ? arguments.Value("config") : "");
    }
    if (!arguments.Has("match")) return;
    if (!recipe.HasReference()) throw EUsageError("--match needs a look with a reference");
    const auto footage = look.Footage();
    TLookSettings settings = LookFromReference(recipe.ReferenceCell, recipe.Positions);
    MatchToFrameFile(settings, arguments.Value("match"), footage.get());
    recipe.Match = true;
    recipe.MatchStats = settings.SourceStats;
    recipe.MatchedTo = settings.MatchedTo;
}

TLookDocument CommandDocument(const TArguments& arguments, const TCommandLook& look) {
    TLookDocument document;
    if (look.FromDocument()) {
        document.Description = look.Document().Description;
        for (std::size_t i = 0; i < document.Snapshots.size(); ++i)
            if (look.Document().Snapshots[i]) document.Snapshots[i] = look.Document().Snapshots[i]->Clone();
    }
    document.Look = look.FromDocument() ? look.Recipe().Clone() : ReferenceRecipe(arguments);
    TakeFootageAndMatch(arguments, look, document.Look);
    document.ProgramVersion = LookProgramVersion();
    document.Date = LookDocumentDate();
    return document;
}

}  // namespace

void SaveCommandLook(const TArguments& arguments, const TCommandLook& look) {
    const std::string& target = arguments.Value("save-look");
    if (target.empty()) throw EUsageError("option --save-look needs a file name");
    if (!IsLookDocumentName(target))
        throw EUsageError("--save-look writes a look document, whose name ends in .olook, not \"" + target + "\"");
    InputFilesOf(arguments, {"match", "config", "look"}).CheckOutput(target);
    if (arguments.Has("output") && arguments.Value("output") == target)
        throw EUsageError("--save-look and -o name the same file \"" + target + "\"");
    SaveLookDocument(CommandDocument(arguments, look), target);
}

void ExportKeptLut(const TArguments& arguments, const TLUT& lut, const std::string& output) {
    if (arguments.Has("match")) throw EUsageError("--match needs a look with a reference; the look keeps a LUT");
    const TLutOutputProfile& profile = ChooseProfile(arguments, output, lut.Kind != lkCurve, false);
    const int size = arguments.IntValue("size", 2, ProfileIs3D(profile) ? kMaxCubeSize : kMaxCurveSize, 0);
    ExportLutFile(lut, {output, &profile, size, ChooseBits(arguments, profile)});
}
