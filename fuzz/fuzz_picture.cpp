// The picture loader on JPEG, BMP and PNG files; the first input byte picks
// the extension, the rest is the file. A picture that loads must be a
// consistent 24-bit image within the size limits; a failure must be an
// EError and leave the target as it was.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "Image.h"
#include "ImageFile.h"

namespace {

const char* const kExtensions[] = {".jpg", ".bmp", ".png", ".JPEG"};

const TImage& Marker()
{
    static const TImage marker = [] {
        TImage image(3, 2);
        for (int y = 0; y < image.Height(); ++y)
            for (int i = 0; i < image.Width() * 3; ++i)
                image.Row(y)[i] = static_cast<unsigned char>(40 * y + i);
        return image;
    }();
    return marker;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::string extension = kExtensions[data[0] % std::size(kExtensions)];
    const std::string fileName = fuzz::WriteScratchFile(data + 1, size - 1, extension);

    TImage target = Marker().Clone();
    bool loaded = false;
    fuzz::ExpectOnlyEError("LoadImageFile", [&] {
        LoadImageFile(fileName, target);
        loaded = true;
    });
    if (!loaded) {
        if (!target.SamePixels(Marker()))
            fuzz::Fail("LoadImageFile", "a failed load changed the target");
        return 0;
    }
    const long long width = target.Width(), height = target.Height();
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide ||
        width * height > kMaxPicturePixels)
        fuzz::Fail("LoadImageFile", "a picture of " + std::to_string(width) + " x " +
                                        std::to_string(height) + " pixels was loaded");
    if (static_cast<long long>(target.Stride()) < width * 3)
        fuzz::Fail("LoadImageFile", "rows shorter than the width");
    // Read every pixel byte: rows that the image's storage does not really
    // hold show up under AddressSanitizer.
    unsigned sum = 0;
    for (int y = 0; y < target.Height(); ++y)
        for (long long i = 0; i < width * 3; ++i)
            sum += target.Row(y)[i];
    (void)sum;
    return 0;
}
