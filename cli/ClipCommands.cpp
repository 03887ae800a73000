#include "cli/ClipCommands.h"

#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>

#include "cli/ErrorStream.h"
#include "clip/ClipFile.h"
#include "clip/ClipPicture.h"
#include "clip/ClipRender.h"
#include "engine/DeepGrade.h"
#include "engine/FootageLook.h"
#include "engine/GradingRoad.h"
#include "engine/LUT.h"
#include "engine/SourceMatch.h"
#include "imageio/DeepImageFile.h"
#include "imageio/GradedPictureFile.h"
#include "imageio/ImageFile.h"

namespace {

// "frame 12/240, 23.5 fps, 8 s left" on the user's terminal, over itself.
class TProgressLine {
public:
    TProgressLine() : shown_(isatty(ErrorStreamDescriptor()) == 1), start_(std::chrono::steady_clock::now()) {}
    ~TProgressLine() {
        if (shown_ && written_) WriteToErrorStream("\n");
    }
    void operator()(std::int64_t done, std::int64_t total) {
        if (!shown_) return;
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        const double rate = seconds > 0 ? done / seconds : 0;
        char line[160];
        if (total > 0 && rate > 0)
            std::snprintf(line, sizeof line, "\rframe %lld/%lld, %.1f fps, %.0f s left   ",
                          static_cast<long long>(done), static_cast<long long>(total), rate,
                          std::max(0.0, (total - done) / rate));
        else
            std::snprintf(line, sizeof line, "\rframe %lld, %.1f fps   ", static_cast<long long>(done), rate);
        WriteToErrorStream(line);
        written_ = true;
    }

private:
    bool shown_;
    bool written_ = false;
    std::chrono::steady_clock::time_point start_;
};

TClipRenderSettings RenderSettings(const std::string& input, const std::string& output) {
    TClipRenderSettings settings;
    settings.OutputName = output;
    settings.Codec = ClipOptions().Codec;
    settings.Crf = ClipOptions().Crf;
    if (ClipOptions().In || ClipOptions().Out) {
        TClip clip(input);
        if (ClipOptions().In) settings.In = ClipFrameNumber(*ClipOptions().In, clip);
        if (ClipOptions().Out) settings.Out = ClipFrameNumber(*ClipOptions().Out, clip);
        if (settings.Out >= 0 && settings.Out <= settings.In) throw EUsageError("--out must name a frame after --in");
    }
    return settings;
}

void Render(const std::string& input, const std::string& output, const TFrameGrader& grade) {
    if (!IsClipName(input)) throw EUsageError("\"" + output + "\" is a clip; only a clip is rendered to one");
    const TClipRenderSettings settings = RenderSettings(input, output);
    TProgressLine progress;
    RenderClip(input, settings, grade, [&](std::int64_t done, std::int64_t total) { progress(done, total); });
}

void MatchToFrame(TLookSettings& settings, const TDeepImage& frame, const std::string& name,
                  const TFootageConversion* footage) {
    TImage prepared = PrepareFrame(ClipFrameToImage(frame));
    if (footage != nullptr) ConvertFootageImage(*footage, prepared);
    MatchLookToFrame(settings, FrameStatistics(prepared), name);
}

// The frame a look is matched to once: the chosen one, or the first rendered.
std::int64_t MatchFrameNumber(TClip& clip, bool chosen) {
    if (chosen) return ClipFrameNumber(*ClipOptions().MatchFrame, clip);
    return ClipOptions().In ? ClipFrameNumber(*ClipOptions().In, clip) : 0;
}

}  // namespace

TImage ClipMatchFrame(const std::string& input) {
    TClip clip(input);
    return ClipFrameToImage(clip.Frame(MatchFrameNumber(clip, ClipOptions().MatchFrame.has_value())));
}

void GradeClipFile(const std::string& input, const std::string& output, const std::function<const TLUT&()>& lut,
                   const TFootageConversion* footage) {
    if (IsClipName(output)) {
        Render(input, output, [&](TDeepImage& frame, std::int64_t) { GradeClipFrame(lut(), frame, footage); });
        return;
    }
    TDeepImage frame = LoadClipDeep(input);
    if (footage != nullptr && !ClipFrameTakesFootage(frame, output))
        throw EError("\"" + input + "\": --footage converts 8-bit frames only");
    GradeClipFrameInto(output, std::move(frame), input, lut(), footage);
}

void RenderGradedClip(const std::string& input, const std::string& output, const TLookSettings& settings,
                      TClipMatch match, const TFootageConversion* footage, const std::function<void(TLUT&)>& prepare) {
    const auto makeLut = [&](const TLookSettings& look) {
        std::unique_ptr<TLUT> lut = MakeLookLut(look);
        if (prepare) prepare(*lut);
        return lut;
    };
    std::shared_ptr<TLUT> shared;
    if (match != TClipMatch::EachFrame) {
        TLookSettings matched = settings;
        if (match != TClipMatch::None) {
            TClip clip(input);
            MatchToFrame(matched, clip.Frame(MatchFrameNumber(clip, match == TClipMatch::ChosenFrame)), input, footage);
        }
        shared = makeLut(matched);
    }
    Render(input, output, [&](TDeepImage& frame, std::int64_t) {
        if (shared) {
            GradeClipFrame(*shared, frame, footage);
            return;
        }
        TLookSettings matched = settings;
        MatchToFrame(matched, frame, input, footage);
        GradeClipFrame(*makeLut(matched), frame, footage);
    });
}
