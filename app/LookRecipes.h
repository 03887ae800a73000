#pragma once
#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "grading/Look.h"
#include "grading/LookDocument.h"
#include "grading/Snapshots.h"

class TFootageSpaces;
class TGradingSession;

// The window's looks as look documents and back. A look names its reference
// by a library file (or a document's cell, see TDocumentCells) and its
// footage space by an entry of the Footage combo; a recipe carries the cell,
// the hash of the reference file, the footage key and the statistics of the
// frame a matched look was matched to.

// What the window knows of a look's reference.
struct TReferenceSource {
    // The cell the look is built from, or nullptr.
    std::function<const TImage*(const QString& reference)> CellOf;
    // The SHA-256 (hex) of the reference's file; empty when unknown.
    std::function<std::string(const QString& reference)> HashOf;
};

// A window's look as a recipe: matched to the state's preview, in the
// state's footage choice. EError when its reference's cell is missing.
TLookRecipe RecipeOfLook(const TLook& look, const TGradingSession& state, const TReferenceSource& references);

// The document of the current look and the snapshots.
TLookDocument DocumentOfLooks(const TLook& current, const TSnapshotLooks& snapshots, const TGradingSession& state,
                              const TReferenceSource& references);

// A recipe as a window's look: `reference` names its reference (a library
// file or a document's cell), the footage key becomes the combo's entry.
// EError for a footage space this window does not offer.
TLook LookOfRecipe(const TLookRecipe& recipe, const TFootageSpaces& footage,
                   const std::function<QString(const TLookRecipe&)>& reference);
