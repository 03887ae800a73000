#include "grading/LearnLook.h"

#include <filesystem>

#include "clip/ClipFile.h"
#include "clip/ClipPicture.h"
#include "engine/lut/LUT.h"
#include "imageio/GradedPictureFile.h"

namespace {

// A folder named like a sequence is read as what it is, and refused.
bool IsClipFile(const std::string& fileName) {
    std::error_code kindError;
    return IsClipName(fileName) && !std::filesystem::is_directory(fileName, kindError);
}

TDeepImage ReadDeep(const std::string& fileName) {
    if (IsClipName(fileName)) return LoadClipFrame(fileName, {});
    return LoadNamedDeepPicture(fileName);
}

}  // namespace

TImage ReadPairPicture(const std::string& fileName) {
    if (IsClipFile(fileName)) return ClipFrameToImage(LoadClipFrame(fileName, {}));
    TColourProfile profile;
    return LoadNamedPicture(fileName, profile);
}

TLearnedLook LearnLookFromPair(const std::string& beforeFile, const std::string& afterFile,
                               const TPairLearning& settings) {
    return LearnLookFromFiles(beforeFile, afterFile, settings, {ReadPairPicture, ReadDeep});
}
