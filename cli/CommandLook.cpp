#include "cli/CommandLook.h"

#include "cli/FootageOptions.h"
#include "cli/GradingOptions.h"
#include "cli/InterpolationOption.h"
#include "cli/PictureInput.h"
#include "engine/footage/FootageConversion.h"
#include "engine/lut/CubeInterpolation.h"
#include "engine/lut/LUT.h"
#include "grading/DocumentLook.h"
#include "grading/EmbeddedLut.h"

void ApplyGivenPositions(const TArguments& arguments, TLookPositions& positions) {
    for (const TLookControl& control : LookControls())
        if (arguments.Has(control.Key))
            positions.*control.Position = arguments.IntValue(control.Key, control.Min, control.Max, control.Default);
    for (const TLookSwitch& option : LookSwitches())
        if (arguments.Switch(option.Key)) positions.*option.Position = option.OptionValue;
}

TCommandLook::TCommandLook(const TArguments& arguments) : arguments_(arguments) {
    if (!arguments.Has("look")) return;
    if (arguments.Value("look").empty()) throw EUsageError("option --look needs a look document");
    document_ = LoadLookDocument(arguments.Value("look"));
    ApplyGivenPositions(arguments, document_->Look.Positions);
}

TLookSettings TCommandLook::Settings() const {
    if (!FromDocument()) return ReferenceLook(arguments_.Positionals()[0], PositionsFrom(arguments_));
    if (Recipe().Lut)
        throw EUsageError("the look \"" + arguments_.Value("look") + "\" keeps a LUT, which grades as it is");
    try {
        return RecipeSettings(Recipe());
    } catch (const EError& error) {
        throw EError("\"" + arguments_.Value("look") + "\": " + error.what());
    }
}

std::shared_ptr<const TLUT> TCommandLook::KeptLut() const {
    if (!FromDocument() || !Recipe().Lut) return nullptr;
    if (!arguments_.Has("interpolation")) return RecipeLut(Recipe());
    std::shared_ptr<TLUT> lut = CopyLutTables(*Recipe().Lut);
    UseInterpolationOption(arguments_, *lut);
    return lut;
}

std::unique_ptr<TFootageConversion> TCommandLook::Footage() const {
    if (!FromDocument() || arguments_.Has("footage") || arguments_.Has("config")) return FootageFrom(arguments_);
    return RecipeFootage(Recipe());
}

void TCommandLook::Prepare(TLUT& lut) const {
    if (!FromDocument() || arguments_.Has("interpolation")) {
        UseInterpolationOption(arguments_, lut);
        return;
    }
    TCubeInterpolation interpolation = TCubeInterpolation::Trilinear;
    CubeInterpolationFromName(Recipe().Interpolation, interpolation);
    UseCubeInterpolation(lut, interpolation);
}
