#include "cli/PictureInput.h"

#include <exception>
#include <filesystem>

#include "cli/ClipOptions.h"
#include "clip/ClipFile.h"
#include "engine/footage/FootageLook.h"
#include "engine/look/GradingRoad.h"
#include "engine/look/SourceMatch.h"
#include "engine/picture/Thumbnail.h"
#include "imageio/ColourProfile.h"
#include "imageio/GradedPictureFile.h"
#include "imageio/ImageFile.h"
#include "imageio/PictureFormats.h"
#include "library/ReferenceLibrary.h"

TImage LoadPicture(const std::string& fileName) {
    TColourProfile profile;
    return LoadPicture(fileName, profile);
}

TImage LoadPicture(const std::string& fileName, TColourProfile& profile) {
    std::error_code kindError;
    if (IsClipName(fileName) && !std::filesystem::is_directory(fileName, kindError)) return LoadClipPicture(fileName);
    return LoadNamedPicture(fileName, profile);
}

TImage ReferenceCell(const std::string& fileName) {
    TImage picture = LoadPicture(fileName);
    if (picture.Width() > kThumbnailSize || picture.Height() > kThumbnailSize) picture = ReduceLikeLibrary(picture);
    return MakeThumbnailCell(picture);
}

TLookSettings ReferenceLook(const std::string& fileName, const TLookPositions& positions) {
    return LookFromReference(ReferenceCell(fileName), positions);
}

void MatchToFrameFile(TLookSettings& settings, const std::string& frameFile, const TFootageConversion* footage) {
    // Fitted into the preview box first, then converted from the footage.
    TImage frame = PrepareFrame(LoadPicture(frameFile));
    if (footage != nullptr) ConvertFootageImage(*footage, frame);
    MatchLookToFrame(settings, FrameStatistics(frame), frameFile);
}
