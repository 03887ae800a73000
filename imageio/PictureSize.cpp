#include "imageio/PictureSize.h"

#include <string>

#include "engine/base/Error.h"

void CheckPictureSize(long long width, long long height) {
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide ||
        width * height > kMaxPicturePixels)
        throw EError("The picture is too large (" + std::to_string(width) + " x " + std::to_string(height) +
                     " pixels)");
}
