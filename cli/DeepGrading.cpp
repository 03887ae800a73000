#include "cli/DeepGrading.h"

#include <algorithm>

#include "cli/Arguments.h"
#include "cli/ClipOptions.h"
#include "clip/ClipFile.h"
#include "imageio/DeepImageFile.h"
#include "imageio/GradedPictureFile.h"
#include "imageio/PictureFormats.h"

TDeepImage LoadDeep(const std::string& fileName) {
    if (IsClipName(fileName)) return LoadClipDeep(fileName);
    return LoadNamedDeepPicture(fileName);
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
