#include <memory>

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/FittedLook.h"
#include "cli/FootageOptions.h"
#include "cli/HelpTexts.h"
#include "cli/OutputChoice.h"
#include "cli/PictureInput.h"
#include "engine/fit/LutFit.h"
#include "engine/lut/LUT.h"
#include "formats/FormatRegistry.h"
#include "grading/ExportLook.h"
#include "grading/LearnLook.h"

// learn BEFORE AFTER -o LUT: the LUT that turns a frame into its graded
// version, fitted to every pixel of the pair (grading/LearnLook.h).

int RunLearn(const std::vector<std::string>& words) {
    const TArguments arguments(words, {{"output", true, 'o'},
                                       {"profile", true},
                                       {"size", true},
                                       {"bits", true},
                                       {"footage", true},
                                       {"config", true},
                                       {"smoothness", true}});
    if (arguments.HelpAsked()) return PrintHelp(kLearnHelp);
    arguments.ExpectPositionals(2, "the picture before and after grading (BEFORE AFTER)");
    const std::string& beforeFile = arguments.Positionals()[0];
    const std::string& afterFile = arguments.Positionals()[1];
    const std::string output = OutputFile(arguments);
    CheckOutputIsNoInput(output, {beforeFile, afterFile});

    const TFittedOutput written = FittedOutputFrom(arguments, output);
    const double smoothness = SmoothnessFrom(arguments);
    const auto footage = FootageFrom(arguments);
    RefuseSceneLinear(footage.get(), "learn");

    const TLearnedLook learned = LearnLookFromPair(beforeFile, afterFile, {written.Size, smoothness, footage.get()});
    ExportLutFile(*learned.Lut, {output, written.Profile, written.Size, written.Bits});
    PrintFitReport(learned.Quality, learned.Coverage);
    return 0;
}
