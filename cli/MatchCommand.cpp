#include <cstdio>
#include <memory>

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/FittedLook.h"
#include "cli/FootageOptions.h"
#include "cli/HelpTexts.h"
#include "cli/OutputChoice.h"
#include "cli/ShotMatchInput.h"
#include "engine/lut/LUT.h"
#include "formats/LutConvert.h"
#include "grading/ExportLook.h"
#include "grading/ShotMatching.h"

// match GRADED_FRAME FRAME -o LUT: the LUT that grades FRAME like
// GRADED_FRAME, another frame of the same scene, fitted to the pixels the
// two share (ShotMatching.h); written and reported as 'learn' writes and
// reports its look.

int RunMatch(const std::vector<std::string>& words) {
    std::vector<TOptionSpec> options = {{"output", true, 'o'}, {"profile", true}, {"size", true},
                                        {"bits", true},        {"footage", true}, {"config", true}};
    for (TOptionSpec option : ShotMatchOptionSpecs()) options.push_back(std::move(option));
    const TArguments arguments(words, options);
    if (arguments.HelpAsked()) return PrintHelp(kMatchHelp);
    arguments.ExpectPositionals(2, "the graded frame and the frame to match (GRADED_FRAME FRAME)");
    const std::string& gradedFile = arguments.Positionals()[0];
    const std::string& frameFile = arguments.Positionals()[1];
    const std::string output = OutputFile(arguments);
    CheckOutputIsNoInput(output, {gradedFile, frameFile});

    const TFittedOutput written = FittedOutputFrom(arguments, output);
    TShotMatching settings = ShotMatchingFrom(arguments);
    settings.Size = written.Size;
    const auto footage = FootageFrom(arguments);
    RefuseSceneLinear(footage.get(), "match");
    settings.Footage = footage.get();

    const TMatchedShot shot = MatchShotFiles(gradedFile, frameFile, settings);
    ExportLutFile(*shot.Lut, {output, written.Profile, written.Size, written.Bits});
    std::printf("matched: %s %% of %s\n", Fixed(100.0 * shot.MatchedShare, 1).c_str(), frameFile.c_str());
    PrintFitReport(shot.Quality, shot.Coverage);
    return 0;
}
