// The reading of colour profiles: the first input byte picks the road, the
// rest is the data. 0: an ICC profile as LittleCMS opens it, and a usable
// one converting a picture both ways; 1: a JPEG or PNG file's profile
// as the picture loaders find it; 2: the data cut into APP2 segments of a
// JPEG file, joined back. A failure must be an EError.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "imageio/ColourProfile.h"
#include "imageio/IccProfile.h"

namespace {

void Convert(const TColourProfile& profile) {
    TImage picture(7, 3);
    for (int y = 0; y < picture.Height(); ++y)
        for (int i = 0; i < picture.Width() * 3; ++i) picture.Row(y)[i] = static_cast<std::uint8_t>(41 * i + 97 * y);
    profile.ToSrgb(picture);
    profile.FromSrgb(picture);
    TDeepImage deep(5, 2, false);
    profile.ToSrgb(deep);
    profile.FromSrgb(deep);
}

// Pieces of the data as APP2 payloads: the byte before each piece gives its
// length, the next its number and count.
std::vector<std::string_view> Segments(std::string_view data) {
    std::vector<std::string_view> segments;
    while (!data.empty() && segments.size() < 300) {
        const std::size_t length = std::min<std::size_t>(static_cast<unsigned char>(data[0]), data.size() - 1);
        segments.push_back(data.substr(1, length));
        data.remove_prefix(1 + length);
    }
    return segments;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] % 3) {
        case 0:
            fuzz::ExpectOnlyEError("TColourProfile::FromIcc",
                                   [&] { Convert(TColourProfile::FromIcc(std::string(bytes))); });
            break;
        case 1:
            fuzz::ExpectOnlyEError("ReadEmbeddedProfile",
                                   [&] { Convert(TColourProfile::FromEmbedded(ReadEmbeddedProfile(bytes))); });
            break;
        default: {
            // Payloads that start with the ICC signature, so that the joining is reached.
            std::vector<std::string> payloads;
            for (std::string_view piece : Segments(bytes))
                payloads.push_back(std::string("ICC_PROFILE\0", 12) + std::string(piece));
            std::vector<std::string_view> views(payloads.begin(), payloads.end());
            fuzz::ExpectOnlyEError("JoinJpegIccSegments", [&] { JoinJpegIccSegments(views); });
        }
    }
    return 0;
}
