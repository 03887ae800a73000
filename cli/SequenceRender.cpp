#include "cli/SequenceRender.h"

#include <utility>

#include "cli/Arguments.h"
#include "cli/ClipOptions.h"
#include "cli/InputFiles.h"
#include "cli/ProgressLine.h"
#include "clip/ImageSequence.h"
#include "clip/SequenceReader.h"
#include "clip/SequenceWriter.h"
#include "engine/base/Error.h"
#include "imageio/GradedPictureFile.h"
#include "imageio/PixelBudget.h"

namespace {

TSequenceReader OpenSequence(const std::string& input) {
    const auto pattern = SequenceOfName(input);
    if (!pattern) throw EError("\"" + input + "\" is no image sequence");
    return TSequenceReader(*pattern, SequenceRate());
}

// Refuses, before anything is written, an output file that is one of the
// range's input files.
void CheckNoInputWritten(const TSequenceReader& reader, const TSequenceWriter& writer, std::int64_t in,
                         std::int64_t end) {
    TInputFiles inputs;
    for (std::int64_t frame = in; frame < end; ++frame) inputs.Add(reader.FrameFile(frame));
    for (std::int64_t frame = in; frame < end; ++frame) inputs.CheckOutput(writer.FileName(reader.FileNumber(frame)));
}

std::int64_t RangeEnd(const std::string& input, const TSequenceReader& reader, std::int64_t in, std::int64_t out) {
    const std::int64_t frames = reader.Info().Frames;
    if (out > frames)
        throw EError("\"" + input + "\" ends before frame " + std::to_string(frames) +
                     ", within the range asked for (--out " + std::to_string(out) + ")");
    if (in >= frames) throw EError("\"" + input + "\" has no frame " + std::to_string(in));
    return out >= 0 ? out : frames;
}

}  // namespace

bool IsSequenceInput(const std::string& name) { return SequenceOfName(name).has_value(); }

void RenderSequence(const std::string& input, const std::string& output, std::int64_t in, std::int64_t out,
                    const TSequenceFrameGrader& grade) {
    TSequenceReader reader = OpenSequence(input);
    const TSequenceWriter writer(output);
    const std::int64_t end = RangeEnd(input, reader, in, out);
    CheckNoInputWritten(reader, writer, in, end);
    TProgressLine progress;
    reader.Seek(in);
    for (std::int64_t frame = in; frame < end; ++frame) {
        const TPixelJob job;  // the frame's memory stays reserved until it is written
        TDeepImage image;
        std::int64_t number = 0;
        if (!reader.Read(image, number)) break;
        grade(image, reader.FrameFile(number), writer.FileName(reader.FileNumber(number)));
        progress(frame + 1 - in, end - in);
    }
}

void GradeSequenceFrame(TDeepImage& frame, const std::string& file, const std::string& output, const TLUT& lut,
                        const TFootageConversion* footage) {
    if (NeedsDeepGrading(file, output)) {
        GradeDeepPictureInto(output, std::move(frame), lut, footage);
        return;
    }
    GradePictureToFile(file, output, lut, footage);
}

namespace {

// The frame chosen by number or by time, as a clip's frame is chosen.
std::int64_t SequenceFrameNumber(const TFrameChoice& choice, TSequenceReader& reader) {
    if (choice.Kind == TFrameChoice::TKind::Number) return choice.Number;
    try {
        return reader.FrameAt(FrameTimeOf(choice, reader.Info()));
    } catch (const EError& error) {
        throw EUsageError(error.what());
    }
}

}  // namespace

std::int64_t ChosenSequenceFrame(const std::string& input) {
    TSequenceReader reader = OpenSequence(input);
    return SequenceFrameNumber(ClipOptions().Frame, reader);
}
