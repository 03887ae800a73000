#include "cli/ClipOptions.h"

#include <utility>

#include "clip/ClipPicture.h"
#include "engine/Error.h"

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

}  // namespace

std::vector<TOptionSpec> RenderOptionSpecs() {
    return {{"frame", true}, {"in", true}, {"out", true}, {"codec", true}, {"crf", true}};
}

void TakeClipOptions(const TArguments& arguments) {
    TClipOptions options;
    if (arguments.Has("frame")) options.Frame = Choice(arguments, "frame");
    for (const auto& [name, field] : {std::pair{"in", &TClipOptions::In}, std::pair{"out", &TClipOptions::Out},
                                      std::pair{"match-frame", &TClipOptions::MatchFrame}})
        if (arguments.Has(name)) options.*field = Choice(arguments, name);
    if (arguments.Has("codec")) options.Codec = arguments.Value("codec");
    if (arguments.Has("crf")) options.Crf = arguments.IntValue("crf", 0, 63, -1);
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
