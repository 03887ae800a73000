#include "cli/PictureGrading.h"

#include <algorithm>

#include "cli/ClipCommands.h"
#include "cli/DeepGrading.h"
#include "cli/PictureInput.h"
#include "clip/ClipFile.h"
#include "engine/Error.h"
#include "engine/FootageGrading.h"
#include "engine/GradingRoad.h"
#include "imageio/ImageFile.h"
#include "imageio/JpegStripGrading.h"
#include "imageio/PictureFormats.h"

namespace {

bool IsJpegName(const std::string& fileName) {
    const TPictureFormat* format = FindPictureFormat(fileName);
    return format != nullptr && std::string_view(format->Library) == "jpeg";
}

}  // namespace

void GradePictureFile(const std::string& input, const std::string& output, const TLUT& lut,
                      const TFootageConversion* footage, const TOutputProfileChoice& choice) {
    GradePictureFile(
        input, output, [&]() -> const TLUT& { return lut; }, footage, choice);
}

void GradePictureFile(const std::string& input, const std::string& output, const std::function<const TLUT&()>& lut,
                      const TFootageConversion* footage, const TOutputProfileChoice& choice) {
    if (IsClipName(input) || IsClipName(output)) {
        GradeClipFile(input, output, lut, footage);
        return;
    }
    if (NeedsDeepGrading(input, output)) {
        GradeDeepPictureFile(lut(), input, output, footage, choice);
        return;
    }
    // One look for the whole picture: with footage its colours are graded
    // once each, for every strip.
    const TFootageGrading grading(footage);
    const auto grade = [&](TImage& picture) { grading.Apply(lut(), picture); };
    if (IsJpegName(input) && IsJpegName(output)) {
        try {
            GradeJpegFile(input, output, grade, choice);
        } catch (const std::exception& error) {
            // As LoadPicture does: a message that does not name the file gets it in front.
            const std::string message = error.what();
            if (message.find(input) != std::string::npos || message.find(output) != std::string::npos) throw;
            throw EError("\"" + input + "\": " + message);
        }
        return;
    }
    TColourProfile source;
    TImage picture = LoadPicture(input, source);
    grade(picture);
    SaveImageFile(output, picture, choice.For(source));
}
