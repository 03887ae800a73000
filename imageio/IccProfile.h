#pragma once
#include <string>
#include <string_view>
#include <vector>

// The colour description a picture file carries, read from the file's bytes
// without decoding the picture: the ICC profile of a JPEG file (APP2
// "ICC_PROFILE" segments, one profile split over up to 255 of them) and of a
// PNG file (iCCP, or the sRGB chunk, or cHRM and gAMA). Pictures at their own
// depth (TIFF, 16-bit PNG, ...) give theirs through the picture library
// (TPictureDepth::IccProfile). Only the containers are read here;
// TColourProfile (ColourProfile.h) judges the profile itself.
//
// Damaged containers of a profile (segments missing, repeated or numbered
// beyond their count, an iCCP chunk that does not inflate) raise EError "the colour profile is damaged"; the caller puts
// the file's name in front.

// What a picture's pixels hold, which the data colour space of its profile
// must agree with.
enum class TPixelColours { Unknown, Grey, Rgb, Cmyk };

// A PNG file's colour chunks other than iCCP.
struct TPngColourChunks {
    bool Srgb = false;      // an sRGB chunk
    bool HasGamma = false;  // gAMA: the encoding exponent
    double Gamma = 0.0;
    bool HasPrimaries = false;  // cHRM: white, red, green, blue as x, y
    double Primaries[8] = {};
};

struct TEmbeddedProfile {
    std::string Icc;  // the ICC profile's bytes; empty when the file has none
    TPngColourChunks Png;
    // From the JPEG frame header's component count or the PNG colour type.
    TPixelColours Pixels = TPixelColours::Unknown;

    // Nothing but sRGB or no description at all.
    bool Untagged() const { return Icc.empty() && !Png.HasGamma && !Png.HasPrimaries; }
};

// An ICC profile larger than this is refused: the largest display and
// printer profiles stay well below it.
constexpr std::size_t kMaxIccProfileBytes = 16u * 1024 * 1024;

// Raises EError "the colour profile is too large (more than 16 MiB)".
[[noreturn]] void RaiseProfileTooLarge();

// The message of a profile the program cannot use for a picture.
inline constexpr const char* kUnusableProfile = "the colour profile is not usable";

// The data colour space an ICC profile's header names ("RGB ", "GRAY",
// "CMYK", ...); empty for bytes too short to hold it.
inline std::string_view IccColourSpace(std::string_view icc) {
    return icc.size() >= 20 ? icc.substr(16, 4) : std::string_view();
}

// True when the profile describes pixels of another kind than the picture's:
// a grey or CMYK profile on colour pixels, a CMYK one on grey pixels, a grey
// or RGB one on CMYK pixels. Grey pixels may carry an RGB profile: they are
// taken as equal red, green and blue in its space. A colour space the program
// does not know is left to the profile's own reading to refuse.
inline bool ProfileContradicts(std::string_view icc, TPixelColours pixels) {
    const std::string_view space = IccColourSpace(icc);
    switch (pixels) {
        case TPixelColours::Rgb:
            return space == "GRAY" || space == "CMYK";
        case TPixelColours::Grey:
            return space == "CMYK";
        case TPixelColours::Cmyk:
            return space == "GRAY" || space == "RGB ";
        case TPixelColours::Unknown:
            break;
    }
    return false;
}

// The profile a JPEG or PNG file's bytes carry, the container told by
// its signature, with what the file's pixels hold; a file of another kind
// carries none. An iCCP chunk that inflates beyond kMaxIccProfileBytes
// raises RaiseProfileTooLarge's EError.
TEmbeddedProfile ReadEmbeddedProfile(std::string_view fileBytes);

// Joins the payloads of a JPEG file's APP2 segments (each after its marker
// and length) into one ICC profile; segments other than ICC_PROFILE ones are
// skipped. Empty when there is none.
std::string JoinJpegIccSegments(const std::vector<std::string_view>& app2Payloads);

// The bytes of a PNG file with an iCCP chunk of the profile placed after
// IHDR; EError for bytes that do not start with a PNG header.
std::string PngWithProfile(std::string_view pngBytes, std::string_view icc);
