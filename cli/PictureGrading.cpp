#include "cli/PictureGrading.h"

#include "cli/ClipCommands.h"
#include "cli/ClipOptions.h"
#include "cli/SequenceRender.h"
#include "clip/ClipFile.h"

TGradeSource ChosenSource(const std::string& input) {
    TGradeSource source{input};
    const TFrameChoice& choice = ClipOptions().Frame;
    source.Frame = choice.Number;
    if (!IsClipName(input) || choice.Kind == TFrameChoice::TKind::Number) return source;
    if (IsSequenceInput(input)) {
        source.Frame = ChosenSequenceFrame(input);
    } else {
        TClip clip(input);
        source.Frame = ClipFrameNumber(choice, clip);
    }
    return source;
}

void GradePictureFile(const std::string& input, const std::string& output, const TLUT& lut,
                      const TFootageConversion* footage, const TOutputProfileChoice& choice) {
    GradePictureFile(
        input, output, [&]() -> const TLUT& { return lut; }, footage, choice);
}

void GradePictureFile(const std::string& input, const std::string& output, const std::function<const TLUT&()>& lut,
                      const TFootageConversion* footage, const TOutputProfileChoice& choice) {
    if (IsClipName(output)) {
        GradeClipFile(input, output, lut, footage);
        return;
    }
    try {
        GradeFile(ChosenSource(input), output, lut, footage, choice);
    } catch (const EFootageFrame&) {
        throw EError("\"" + input + "\": --footage converts 8-bit frames only");
    }
}
