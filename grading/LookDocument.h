#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/colour/ColorSpace.h"
#include "engine/look/LookControls.h"
#include "engine/picture/Image.h"

class TLUT;

// A look as a document: everything that makes a grade, so that it can be
// saved, opened again, handed on and applied by the command line without
// the library, the frame or the LUT file it was made from.
//
// On disk it is NAME.olook, a small versioned JSON document written and read
// only here. Reading refuses a damaged or foreign document, naming the file
// and the field; a document of an older version reads; one of a newer
// version is refused as "made by a newer version".

// The version this program writes.
constexpr int kLookDocumentVersion = 1;
extern const char* const kLookDocumentExtension;  // ".olook"
extern const char* const kLookDocumentMimeType;   // "application/x-ombrane-look"
// The largest document read: room for a kept 101-point cube in exact
// decimals (see EmbeddedLut.h) and four snapshots of small looks.
constexpr std::uint64_t kMaxLookDocumentBytes = 128ull * 1024 * 1024;

// One look: the current one, or one kept in a snapshot slot.
struct TLookRecipe {
    // The reference, when the look has one: the library file's name, the
    // SHA-256 of that file's bytes (hex), and its 150 x 150 thumbnail cell,
    // which the look is built from (kept in the document as PNG).
    std::string ReferenceName;
    std::string ReferenceHash;
    TImage ReferenceCell;

    // Every control's position and switch, the strength included.
    TLookPositions Positions;

    // Match Preview Colours, with the statistics of the frame it matched and
    // that frame's name (for the comments of exported LUTs).
    bool Match = false;
    TColorStats MatchStats{};
    std::string MatchedTo;

    // The footage space (its key; empty for the display default) and, for a
    // space of an OpenColorIO config, that config's file (as the OCIO
    // variable gave it when the look was made: a document names its config
    // and never takes the environment's).
    std::string Footage;
    std::string FootageConfig;

    // How the look's cube is interpolated: "trilinear" or "tetrahedral".
    std::string Interpolation = "trilinear";

    // A previewed or learned LUT that grades instead of the reference's
    // look, kept in the document as CLF with its values exactly as read, and
    // the name it is shown under.
    std::shared_ptr<const TLUT> Lut;
    std::string LutName;

    bool HasReference() const { return !ReferenceCell.Empty(); }
    // A copy (the cell's pixels are copied only on request, as TImage's are).
    TLookRecipe Clone() const;
};

struct TLookDocument {
    TLookRecipe Look;
    std::array<std::optional<TLookRecipe>, 4> Snapshots;  // A to D
    std::string Description;
    std::string ProgramVersion;  // of the program that wrote it
    std::string Date;            // when it was written, ISO 8601 in UTC
};

// The document's text. The same document always gives the same bytes, and a
// document read from a text gives that text again.
std::string LookDocumentText(const TLookDocument& document);
// Writes the document atomically (AtomicFile). EError naming the file.
void SaveLookDocument(const TLookDocument& document, const std::string& fileName);

// Reads a document from its text; fileName names it in messages. EError
// "\"FILE\": FIELD ..." for a damaged, foreign or newer document.
TLookDocument LookDocumentFromText(const std::string& text, const std::string& fileName);
// Reads the file (a regular file within the read limit). EError naming it.
TLookDocument LoadLookDocument(const std::string& fileName);

// True for a name ending in ".olook" (ASCII case ignored).
bool IsLookDocumentName(const std::string& fileName);

// This program's version, as a document it writes records it.
std::string LookProgramVersion();
// Now in UTC as ISO 8601 ("2026-12-09T20:15:00Z"); with SOURCE_DATE_EPOCH
// set (seconds since 1970), that moment instead, so that a build or a test
// can write byte-identical documents.
std::string LookDocumentDate();
