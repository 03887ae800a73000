// The picture loader on JPEG, BMP and PNG files; the first input byte picks
// the extension, the rest is the file. A picture that loads must be a
// consistent 24-bit image within the size limits; a failure must be an
// EError and leave the target as it was. A JPEG file also goes through the
// strip road of JPEG-to-JPEG grading, which must accept exactly the files
// the loader accepts and write what grading the loaded picture writes.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/picture/Image.h"
#include "fuzz/FuzzSupport.h"
#include "imageio/ImageFile.h"
#include "imageio/JpegStripGrading.h"

namespace {

const char* const kExtensions[] = {".jpg", ".bmp", ".png", ".JPEG"};

const TImage& Marker() {
    static const TImage marker = [] {
        TImage image(3, 2);
        for (int y = 0; y < image.Height(); ++y)
            for (int i = 0; i < image.Width() * 3; ++i) image.Row(y)[i] = static_cast<unsigned char>(40 * y + i);
        return image;
    }();
    return marker;
}

void Invert(TImage& image) {
    for (int y = 0; y < image.Height(); ++y)
        for (int i = 0; i < image.Width() * 3; ++i) image.Row(y)[i] = static_cast<unsigned char>(255 - image.Row(y)[i]);
}

std::string ReadBack(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The strip road against the whole-picture road on the same file.
void CheckStripRoad(const std::string& fileName, TImage* loaded) {
    const std::string strips = fileName + ".strips.jpg";
    std::remove(strips.c_str());
    bool graded = false;
    fuzz::ExpectOnlyEError("GradeJpegFile", [&] {
        GradeJpegFile(fileName, strips, Invert);
        graded = true;
    });
    if (graded != (loaded != nullptr))
        fuzz::Fail("GradeJpegFile", graded ? "graded a file the loader refuses" : "refused a file the loader reads");
    if (!graded) return;
    const std::string whole = fileName + ".whole.jpg";
    Invert(*loaded);
    SaveJpegFile(whole, *loaded);
    if (ReadBack(strips) != ReadBack(whole))
        fuzz::Fail("GradeJpegFile", "the strip road wrote another file than the whole picture's");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string extension = kExtensions[data[0] % std::size(kExtensions)];
    const std::string fileName = fuzz::WriteScratchFile(data + 1, size - 1, extension);

    TImage target = Marker().Clone();
    bool loaded = false;
    fuzz::ExpectOnlyEError("LoadImageFile", [&] {
        LoadImageFile(fileName, target);
        loaded = true;
    });
    const bool jpeg = extension == ".jpg" || extension == ".JPEG";
    if (!loaded) {
        if (!target.SamePixels(Marker())) fuzz::Fail("LoadImageFile", "a failed load changed the target");
        if (jpeg) CheckStripRoad(fileName, nullptr);
        return 0;
    }
    const long long width = target.Width(), height = target.Height();
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide ||
        width * height > kMaxPicturePixels)
        fuzz::Fail("LoadImageFile",
                   "a picture of " + std::to_string(width) + " x " + std::to_string(height) + " pixels was loaded");
    if (static_cast<long long>(target.Stride()) < width * 3) fuzz::Fail("LoadImageFile", "rows shorter than the width");
    // Read every pixel byte: rows that the image's storage does not really
    // hold show up under AddressSanitizer.
    unsigned sum = 0;
    for (int y = 0; y < target.Height(); ++y)
        for (long long i = 0; i < width * 3; ++i) sum += target.Row(y)[i];
    (void)sum;
    if (jpeg) CheckStripRoad(fileName, &target);
    return 0;
}
