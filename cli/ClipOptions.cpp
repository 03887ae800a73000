#include "cli/ClipOptions.h"

#include <utility>

#include "clip/ClipPicture.h"
#include "clip/ImageSequence.h"
#include "engine/base/Error.h"
#include "imageio/PictureFormats.h"

namespace {

TClipOptions& Options() {
    static TClipOptions options;
    return options;
}

TFrameChoice Choice(const TArguments& arguments, const std::string& name) {
    try {
        return ParseFrameChoice(arguments.Value(name));
    } catch (const EError& error) {
        std::string message = error.what();
        if (name != "frame") message.replace(message.find("--frame"), 7, "--" + name);
        throw EUsageError(message);
    }
}

TDeepImage LoadChosen(const std::string& fileName, const TFrameChoice& choice) {
    TClip clip(fileName);
    return clip.Frame(ClipFrameNumber(choice, clip));
}

// --sequence opens the numbered file the clip is taken from as its whole
// run: the value of --match where it names a file, else the last positional.
void TakeSequenceFile(const TArguments& arguments) {
    OpenRunOfFile(std::string());
    if (!arguments.Switch("sequence")) return;
    const std::vector<std::string>& positionals = arguments.Positionals();
    if (!arguments.Has("match") && positionals.empty()) return;
    const std::string& file = arguments.Has("match") ? arguments.Value("match") : positionals.back();
    if (!TSequencePattern::OfNumberedFile(file) || !IsPictureName(file, TPictureRole::Read))
        throw EUsageError("--sequence needs a numbered picture file of the run, like shot_0001.dpx, not \"" + file +
                          "\"");
    OpenRunOfFile(file);
}

void TakeSequenceRate(const TArguments& arguments) {
    if (!arguments.Has("fps")) {
        SetSequenceRate(TSequenceRate());
        return;
    }
    try {
        SetSequenceRate(ParseSequenceRate(arguments.Value("fps")));
    } catch (const EUsageError&) {
        throw;
    } catch (const EError& error) {
        throw EUsageError(error.what());
    }
}

}  // namespace

std::vector<TOptionSpec> ClipInputOptionSpecs() { return {{"frame", true}, {"sequence", false}, {"fps", true}}; }

std::vector<TOptionSpec> RenderOptionSpecs() {
    std::vector<TOptionSpec> options = ClipInputOptionSpecs();
    for (TOptionSpec option :
         {TOptionSpec{"in", true}, TOptionSpec{"out", true}, TOptionSpec{"codec", true}, TOptionSpec{"crf", true}})
        options.push_back(std::move(option));
    return options;
}

void TakeClipOptions(const TArguments& arguments) {
    TClipOptions options;
    if (arguments.Has("frame")) options.Frame = Choice(arguments, "frame");
    for (const auto& [name, field] : {std::pair{"in", &TClipOptions::In}, std::pair{"out", &TClipOptions::Out},
                                      std::pair{"match-frame", &TClipOptions::MatchFrame}})
        if (arguments.Has(name)) options.*field = Choice(arguments, name);
    if (arguments.Has("codec")) options.Codec = arguments.Value("codec");
    if (arguments.Has("crf")) options.Crf = arguments.IntValue("crf", 0, 63, -1);
    TakeSequenceRate(arguments);
    TakeSequenceFile(arguments);
    Options() = std::move(options);
}

const TClipOptions& ClipOptions() { return Options(); }

std::int64_t ClipFrameNumber(const TFrameChoice& choice, TClip& clip) {
    try {
        return clip.NumberOf(choice);
    } catch (const EError& error) {
        throw EUsageError(error.what());
    }
}

TImage LoadClipPicture(const std::string& fileName) { return ClipFrameToImage(LoadClipDeep(fileName)); }

TDeepImage LoadClipDeep(const std::string& fileName) { return LoadChosen(fileName, Options().Frame); }
