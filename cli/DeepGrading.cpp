#include "cli/DeepGrading.h"

#include <algorithm>

#include "cli/Arguments.h"
#include "cli/ClipOptions.h"
#include "cli/PictureInput.h"
#include "clip/ClipFile.h"
#include "engine/DeepGrade.h"
#include "engine/Error.h"
#include "engine/FootageLook.h"
#include "engine/LUT.h"
#include "imageio/ColourProfile.h"
#include "imageio/DeepImageFile.h"
#include "imageio/ImageFile.h"
#include "imageio/PictureFormats.h"

namespace {

// The library's format name of an 8-bit picture file, for its depth record.
std::string EightBitFormat(const std::string& fileName) {
    const TPictureFormat* format = FindPictureFormat(fileName);
    return format != nullptr ? format->Library : LowerExtension(fileName);
}

}  // namespace

TDeepImage LoadDeep(const std::string& fileName) {
    if (IsClipName(fileName)) return LoadClipDeep(fileName);
    if (!IsDeepPictureFile(fileName)) {
        TColourProfile profile;
        TDeepImage picture = DeepFromImage(LoadPicture(fileName, profile), EightBitFormat(fileName));
        picture.Depth.IccProfile = profile.Icc();
        return picture;
    }
    try {
        return LoadDeepImageFile(fileName);
    } catch (const EError& error) {
        const std::string message = error.what();
        if (message.find(fileName) != std::string::npos) throw;
        throw EError("\"" + fileName + "\": " + message);
    }
}

void CheckGradedOutput(const std::string& fileName) {
    const std::vector<std::string> known = WrittenPictureExtensions();
    if (IsClipName(fileName)) return;
    if (std::find(known.begin(), known.end(), LowerExtension(fileName)) != known.end()) return;
    std::string offered;
    for (std::size_t i = 0; i < known.size(); ++i)
        offered += (i == 0 ? "." : i + 1 == known.size() ? " or ." : ", .") + known[i];
    throw EUsageError("cannot write pictures like \"" + fileName + "\": use " + offered);
}

bool NeedsDeepGrading(const std::string& input, const std::string& output) {
    const bool eightBitPng = IsDeepOutputName(output) && !IsDeepPictureName(output);
    return IsDeepPictureFile(input) || (IsDeepOutputName(output) && !eightBitPng);
}

void GradeDeepPictureFile(const TLUT& lut, const std::string& input, const std::string& output,
                          const TFootageConversion* footage, const TOutputProfileChoice& choice) {
    TDeepImage picture = LoadDeep(input);
    TPictureDepth depth = OutputDepthFor(output, picture.Depth);
    depth.IccProfile = choice.IccFor(picture.Depth.IccProfile);
    if (footage != nullptr)
        ConvertFootageDeep(*footage, picture, &lut);
    else
        GradeDeepImage(lut, picture);
    SaveDeepImageFile(output, picture, depth);
}
