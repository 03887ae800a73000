#pragma once
#include <string>

#include "cli/Arguments.h"
#include "cli/CommandLook.h"

class TLUT;

// Look documents on the command line: `look ... --save-look FILE.olook`
// writes one, `look --look FILE.olook -o OUTPUT` exports it, `look-info`
// prints it (Commands.h).

// Writes the look of the command (REFERENCE with the grading options,
// --match FRAME and --footage SPACE, or the document of --look with the
// options on top) as the look document --save-look names.
void SaveCommandLook(const TArguments& arguments, const TCommandLook& look);

// Writes a document's kept LUT as `convert` writes a LUT: the profile of
// --profile or of OUTPUT's extension, at its own size unless --size.
void ExportKeptLut(const TArguments& arguments, const TLUT& lut, const std::string& output);
