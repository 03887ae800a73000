#pragma once
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "cli/Arguments.h"
#include "engine/look/LookTransfer.h"
#include "grading/LookDocument.h"

class TFootageConversion;
class TLUT;

// The look `look` and `grade` take: REFERENCE's (the first positional) with
// the grading options, or with --look FILE.olook that document's look, each
// grading option given moving its control on top of the document. A look
// document's footage is taken unless --footage is given; its interpolation
// unless --interpolation is.
class TCommandLook {
public:
    explicit TCommandLook(const TArguments& arguments);

    bool FromDocument() const { return document_.has_value(); }
    // The positionals before the pictures: REFERENCE, or none with --look.
    std::size_t Skipped() const { return FromDocument() ? 0 : 1; }
    // The document, its look with the options on top (FromDocument only).
    const TLookDocument& Document() const { return *document_; }
    const TLookRecipe& Recipe() const { return document_->Look; }

    // The look's settings; a document's matched look is matched to the
    // statistics it keeps. EUsageError for a document that keeps a LUT.
    TLookSettings Settings() const;
    // The document's kept LUT with its interpolation set, or null.
    std::shared_ptr<const TLUT> KeptLut() const;
    // --footage (and --config), else the document's footage.
    std::unique_ptr<TFootageConversion> Footage() const;
    // Sets --interpolation, else the document's interpolation, on a LUT
    // built from Settings.
    void Prepare(TLUT& lut) const;

private:
    const TArguments& arguments_;
    std::optional<TLookDocument> document_;
};

// The grading options given on the command line moved onto positions;
// the controls not given keep theirs.
void ApplyGivenPositions(const TArguments& arguments, TLookPositions& positions);
