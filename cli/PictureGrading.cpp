#include "cli/PictureGrading.h"

#include "cli/ClipCommands.h"
#include "clip/ClipFile.h"
#include "imageio/GradedPictureFile.h"

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
    GradePictureToFile(input, output, lut, footage, choice);
}
