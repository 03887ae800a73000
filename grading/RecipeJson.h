#pragma once
#include <QJsonObject>

#include "grading/DocumentFields.h"
#include "grading/LookDocument.h"

// One look of a look document as JSON: the fields LookDocument.cpp lists.
// Writing raises EError naming the field for what reading would refuse (a
// malformed hash, a LUT that cannot be kept exactly).
QJsonObject RecipeJson(const TLookRecipe& recipe, const std::string& path);
TLookRecipe RecipeFromJson(const TDocumentFields& fields);
