#include "app/LookRecipes.h"

#include <QFileInfo>

#include "app/FootageChoice.h"
#include "engine/base/Error.h"
#include "grading/GradingSession.h"

namespace {

void SetReference(TLookRecipe& recipe, const QString& reference, const TReferenceSource& references) {
    if (reference.isEmpty()) return;
    const TImage* cell = references.CellOf ? references.CellOf(reference) : nullptr;
    if (!cell) throw EError("The look's reference \"" + reference.toStdString() + "\" is no longer in the library.");
    recipe.ReferenceName = QFileInfo(reference).fileName().toStdString();
    recipe.ReferenceHash = references.HashOf ? references.HashOf(reference) : std::string();
    recipe.ReferenceCell = cell->Clone();
}

// The statistics the look matches to once it is the window's look: those
// of the frame as the look's own footage space shows it.
void SetMatch(TLookRecipe& recipe, const TLook& look, const TGradingSession& state) {
    const std::optional<TColorStats> stats = state.MatchStats(look.Footage);
    // Without a frame the look grades unmatched, in the window as in the document.
    if (!stats) return;
    recipe.Match = true;
    recipe.MatchStats = *stats;
    recipe.MatchedTo = QFileInfo(QString::fromStdString(state.PreviewFile())).fileName().toStdString();
}

}  // namespace

TLookRecipe RecipeOfLook(const TLook& look, const TGradingSession& state, const TReferenceSource& references) {
    TLookRecipe recipe;
    SetReference(recipe, look.Reference, references);
    recipe.Positions = look.Positions;
    if (look.Match) SetMatch(recipe, look, state);
    recipe.Footage = state.Footage().KeyOf(look.Footage);
    if (!recipe.Footage.empty()) recipe.FootageConfig = state.Footage().ConfigFile();
    recipe.Lut = look.Lut;
    if (look.Lut) recipe.LutName = look.LutName.toStdString();
    return recipe;
}

TLookDocument DocumentOfLooks(const TLook& current, const TSnapshotLooks& snapshots, const TGradingSession& state,
                              const TReferenceSource& references) {
    TLookDocument document;
    document.Look = RecipeOfLook(current, state, references);
    for (std::size_t slot = 0; slot < snapshots.size(); ++slot)
        if (snapshots[slot]) document.Snapshots[slot] = RecipeOfLook(*snapshots[slot], state, references);
    return document;
}

TLook LookOfRecipe(const TLookRecipe& recipe, const TFootageSpaces& footage,
                   const std::function<QString(const TLookRecipe&)>& reference) {
    TLook look;
    look.Footage = footage.EntryOf(recipe.Footage);
    if (look.Footage < 0)
        throw EError("The look's footage space \"" + recipe.Footage + "\" is not offered by this window.");
    if (recipe.HasReference()) look.Reference = reference(recipe);
    look.Lut = recipe.Lut;
    if (recipe.Lut) look.LutName = QString::fromStdString(recipe.LutName);
    look.Positions = recipe.Positions;
    look.Match = recipe.Match;
    return look;
}
