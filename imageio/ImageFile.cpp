#include "imageio/ImageFile.h"

#include <new>

#include "engine/base/Error.h"
#include "engine/picture/DeepGrade.h"
#include "fileio/FileNames.h"
#include "imageio/ColourProfile.h"
#include "imageio/DeepImageFile.h"
#include "imageio/EightBitPictureFile.h"
#include "imageio/PictureFormats.h"

namespace {

TImage LoadInSrgb(const std::string& fileName, TColourProfile& profile) {
    const TPictureFormat* format = FindPictureFormat(fileName);
    if (format != nullptr && (format->Depth == TDepthRule::Deep || format->Depth == TDepthRule::DeepReadOnly)) {
        TDeepImage deep = LoadDeepImageFile(fileName);
        // Converted when read; the profile is built again for the caller.
        if (!deep.Depth.IccProfile.empty()) profile = TColourProfile::FromIcc(deep.Depth.IccProfile);
        return DeepToImage(deep);
    }
    if (format == nullptr || format->EightBit == nullptr) {
        const std::string extension = FileExtension(fileName);
        throw EError("Unknown picture file extension (" + (extension.empty() ? "." : extension) + ")");
    }
    return LoadEightBitPicture(fileName, *format->EightBit, profile);
}

}  // namespace

void LoadImageFile(const std::string& fileName, TImage& target, TColourProfile& profile) {
    try {
        TColourProfile own;
        target = LoadInSrgb(fileName, own);
        profile = own;
    } catch (const std::bad_alloc&) {
        throw EError("Not enough memory to load the picture \"" + fileName + "\"");
    }
}

void LoadImageFile(const std::string& fileName, TImage& target) {
    TColourProfile profile;
    LoadImageFile(fileName, target, profile);
}

void SaveImageFile(const std::string& fileName, const TImage& image) {
    SaveImageFile(fileName, image, TColourProfile());
}

void SaveImageFile(const std::string& fileName, const TImage& image, const TColourProfile& profile) {
    SaveEightBitPicture(fileName, image, profile);
}
