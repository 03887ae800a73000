#pragma once
#include <memory>

#include "engine/look/LookTransfer.h"
#include "grading/LookDocument.h"

class TFootageConversion;
class TLUT;

// A look document's look rebuilt on the road every look takes (GradingRoad):
// the reference cell's statistics and the positions give the settings, the
// frame statistics kept in the recipe match them when it matched, and a
// kept LUT grades instead when there is one. The window's look and the one
// rebuilt from its document are the same, value for value.

// The settings of the recipe's reference look. EError for a recipe without
// a reference or with a position out of range.
TLookSettings RecipeSettings(const TLookRecipe& recipe);

// The recipe's footage conversion: null for the display default. EError
// naming the space or config that cannot be used.
std::unique_ptr<TFootageConversion> RecipeFootage(const TLookRecipe& recipe);

// The LUT the recipe grades with, at `size` points for a built look (its
// interpolation set as the recipe says): the kept LUT when there is one,
// else the reference's look. EError for a recipe that grades nothing.
std::shared_ptr<const TLUT> RecipeLut(const TLookRecipe& recipe, int size = 33);
