#include "grading/GradeFile.h"

#include "clip/ClipFile.h"
#include "clip/ImageSequence.h"
#include "clip/SequenceReader.h"
#include "engine/base/Error.h"
#include "imageio/GradedPictureFile.h"

namespace {

void GradeClipFrame(const TGradeSource& source, const std::string& output, const TLUT& lut,
                    const TFootageConversion* footage) {
    TFrameChoice frame;
    frame.Number = source.Frame;
    frame.Text = std::to_string(source.Frame);
    TDeepImage picture = LoadClipFrame(source.File, frame);
    if (footage != nullptr && !ClipFrameTakesFootage(picture, output))
        throw EFootageFrame("\"" + source.File +
                            "\": footage is converted for 8-bit frames saved as 8-bit pictures only");
    GradeClipFrameInto(output, std::move(picture), source.File, lut, footage);
}

}  // namespace

std::string SequenceFrameFile(const std::string& sequence, std::int64_t frame) {
    const auto pattern = SequenceOfName(sequence);
    if (!pattern) throw EError("\"" + sequence + "\" is no image sequence");
    const TSequenceReader reader(*pattern, SequenceRate());
    if (frame < 0 || frame >= reader.Info().Frames)
        throw EError("\"" + sequence + "\" has no frame " + std::to_string(frame) +
                     " (its frames are numbered from 0 to " + std::to_string(reader.Info().Frames - 1) + ")");
    return reader.FrameFile(frame);
}

void GradeFile(const TGradeSource& source, const std::string& output, const std::function<const TLUT&()>& lut,
               const TFootageConversion* footage, const TOutputProfileChoice& choice) {
    if (source.File.empty() && source.Picture != nullptr) {
        GradePictureInto(output, source.Picture->Clone(), std::string(), lut(), footage);
    } else if (SequenceOfName(source.File)) {
        GradePictureToFile(SequenceFrameFile(source.File, source.Frame), output, lut, footage);
    } else if (IsClipName(source.File)) {
        GradeClipFrame(source, output, lut(), footage);
    } else {
        GradePictureToFile(source.File, output, lut, footage, choice);
    }
}

void GradeFile(const TGradeSource& source, const std::string& output, const TLUT& lut,
               const TFootageConversion* footage, const TOutputProfileChoice& choice) {
    GradeFile(
        source, output, [&]() -> const TLUT& { return lut; }, footage, choice);
}
