// The OpenImageIO road on the data of every picture type it reads; the
// first input byte picks the format (in the picture-format table's order),
// the rest is the file. A picture that decodes must lie within the size limits and hold every row it
// claims; a failure must be an EError.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "imageio/DeepImageFile.h"
#include "imageio/ImageFile.h"
#include "imageio/PictureFormats.h"

namespace {

// The library's names of the types the deep road reads, in table order.
std::vector<std::string> DeepFormats() {
    std::vector<std::string> formats;
    for (const TPictureFormat& format : PictureFormats())
        if (format.Depth != TDepthRule::EightBit) formats.emplace_back(format.Library);
    return formats;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static const std::vector<std::string> formats = DeepFormats();
    const std::string& format = formats[data[0] % formats.size()];
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    TDeepImage image;
    fuzz::ExpectOnlyEError("DecodeDeepImage", [&] { image = DecodeDeepImage(bytes, format, "fuzz." + format); });
    if (image.Empty()) return 0;
    const long long width = image.Width(), height = image.Height();
    if (width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPicturePixels)
        fuzz::Fail("DecodeDeepImage",
                   "a picture of " + std::to_string(width) + " x " + std::to_string(height) + " pixels was decoded");
    // Touch every value: rows the storage does not hold show up under
    // AddressSanitizer.
    float sum = 0;
    for (int y = 0; y < image.Height(); ++y) {
        for (long long i = 0; i < width * 3; ++i) sum += image.Row(y)[i];
        if (image.HasAlpha())
            for (long long x = 0; x < width; ++x) sum += image.AlphaRow(y)[x];
    }
    (void)sum;
    return 0;
}
