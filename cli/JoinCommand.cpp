#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/HelpTexts.h"
#include "cli/InputFiles.h"
#include "cli/OutputChoice.h"
#include "clip/ClipFile.h"
#include "clip/ClipJoin.h"

// join PARTS... -o OUTPUT [--source CLIP]: clips rendered over ranges of one
// source joined into the clip one render of the whole range gives.

namespace {

// The source named on the command line, else the one the first part records.
std::string SourceOf(const TArguments& arguments) {
    if (arguments.Has("source")) return arguments.Value("source");
    const std::string& part = arguments.Positionals().front();
    const std::string source = RecordedClipSource(part);
    if (source.empty())
        throw EError("\"" + part +
                     "\" records no range of a source (parts are rendered with --in/--out to .mov, .mp4 or .mkv)");
    return source;
}

}  // namespace

int RunJoin(const std::vector<std::string>& words) {
    const TArguments arguments(words, {{"output", true, 'o'}, {"source", true}});
    if (arguments.HelpAsked()) return PrintHelp(kJoinHelp);
    arguments.ExpectAtLeast(1, "the parts (PART...)");
    const std::string output = OutputFile(arguments);
    CheckFileOutput(output);
    if (!IsClipName(output)) throw EUsageError("\"" + output + "\" is no clip; the parts are joined into a clip");
    TInputFiles inputs = InputFilesOf(arguments, {"source"});
    inputs.CheckOutput(output);
    const std::string source = SourceOf(arguments);
    inputs.Add(source);
    inputs.CheckOutput(output);
    JoinClipParts(arguments.Positionals(), source, output);
    return 0;
}
