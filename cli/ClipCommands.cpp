#include "cli/ClipCommands.h"

#include <memory>
#include <optional>

#include "cli/PictureGrading.h"
#include "cli/ProgressLine.h"
#include "cli/SequenceRender.h"
#include "clip/ClipFile.h"
#include "clip/ClipPicture.h"
#include "clip/ClipRender.h"
#include "clip/SequenceWriter.h"
#include "engine/footage/FootageLook.h"
#include "engine/look/GradingRoad.h"
#include "engine/look/SourceMatch.h"
#include "engine/lut/LUT.h"
#include "engine/picture/DeepGrade.h"
#include "imageio/DeepImageFile.h"
#include "imageio/GradedPictureFile.h"
#include "imageio/ImageFile.h"

namespace {

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

// Renders a clip's frames through `grade`; an image sequence into an image
// sequence through `gradeSequence`.
void Render(const std::string& input, const std::string& output, const TFrameGrader& grade,
            const TSequenceFrameGrader& gradeSequence) {
    if (!IsClipName(input)) throw EUsageError("\"" + output + "\" is a clip; only a clip is rendered to one");
    const TClipRenderSettings settings = RenderSettings(input, output);
    if (IsSequenceInput(input)) {
        if (!IsSequenceOutputName(output))
            throw EUsageError("\"" + input + "\" is an image sequence; it is rendered to an image sequence like " +
                              "out.%04d.exr, not to \"" + output + "\"");
        RenderSequence(input, output, settings.In, settings.Out, gradeSequence);
        return;
    }
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
        Render(
            input, output, [&](TDeepImage& frame, std::int64_t) { GradeClipFrame(lut(), frame, footage); },
            [&](TDeepImage& frame, const std::string& file, const std::string& written) {
                GradeSequenceFrame(frame, file, written, lut(), footage);
            });
        return;
    }
    GradePictureFile(input, output, lut, footage);
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
    const auto lutOf = [&](const TDeepImage& frame) -> std::shared_ptr<TLUT> {
        if (shared) return shared;
        TLookSettings matched = settings;
        MatchToFrame(matched, frame, input, footage);
        return makeLut(matched);
    };
    Render(
        input, output, [&](TDeepImage& frame, std::int64_t) { GradeClipFrame(*lutOf(frame), frame, footage); },
        [&](TDeepImage& frame, const std::string& file, const std::string& written) {
            GradeSequenceFrame(frame, file, written, *lutOf(frame), footage);
        });
}
