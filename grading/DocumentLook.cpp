#include "grading/DocumentLook.h"

#include "engine/base/Error.h"
#include "engine/footage/FootageConversion.h"
#include "engine/look/GradingRoad.h"
#include "engine/look/SourceMatch.h"
#include "engine/lut/CubeInterpolation.h"
#include "engine/lut/LUT.h"
#include "footage/OcioFootage.h"
#include "grading/EmbeddedLut.h"

namespace {

void UseInterpolation(const TLookRecipe& recipe, TLUT& lut) {
    TCubeInterpolation interpolation = TCubeInterpolation::Trilinear;
    if (!CubeInterpolationFromName(recipe.Interpolation, interpolation))
        throw EError("The interpolation \"" + recipe.Interpolation + "\" is neither trilinear nor tetrahedral.");
    UseCubeInterpolation(lut, interpolation);
}

}  // namespace

TLookSettings RecipeSettings(const TLookRecipe& recipe) {
    if (!recipe.HasReference()) throw EError("The look has no reference.");
    TLookSettings settings = LookFromReference(recipe.ReferenceCell, recipe.Positions);
    if (recipe.Match) MatchLookToFrame(settings, recipe.MatchStats, recipe.MatchedTo);
    return settings;
}

std::unique_ptr<TFootageConversion> RecipeFootage(const TLookRecipe& recipe) {
    if (recipe.Footage.empty()) return nullptr;
    return MakeFootageConversion(recipe.Footage, recipe.FootageConfig);
}

std::shared_ptr<const TLUT> RecipeLut(const TLookRecipe& recipe, int size) {
    if (recipe.Lut) {
        if (recipe.Interpolation == "trilinear") return recipe.Lut;
        std::shared_ptr<TLUT> lut = CopyLutTables(*recipe.Lut);
        UseInterpolation(recipe, *lut);
        return lut;
    }
    if (!recipe.HasReference()) throw EError("The look has neither a reference nor a LUT.");
    std::shared_ptr<TLUT> lut = MakeLookLut(RecipeSettings(recipe), size);
    UseInterpolation(recipe, *lut);
    return lut;
}
