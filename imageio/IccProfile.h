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

    // Nothing but sRGB or no description at all.
    bool Untagged() const { return Icc.empty() && !Png.HasGamma && !Png.HasPrimaries; }
};

// An ICC profile larger than this is refused: the largest display and
// printer profiles stay well below it.
constexpr std::size_t kMaxIccProfileBytes = 16u * 1024 * 1024;

// The profile a JPEG or PNG file's bytes carry, the container told by
// its signature; a file of another kind carries none.
TEmbeddedProfile ReadEmbeddedProfile(std::string_view fileBytes);

// True for a profile whose data colour space is CMYK.
bool IsCmykProfile(std::string_view icc);

// Joins the payloads of a JPEG file's APP2 segments (each after its marker
// and length) into one ICC profile; segments other than ICC_PROFILE ones are
// skipped. Empty when there is none.
std::string JoinJpegIccSegments(const std::vector<std::string_view>& app2Payloads);

// The bytes of a PNG file with an iCCP chunk of the profile placed after
// IHDR; EError for bytes that do not start with a PNG header.
std::string PngWithProfile(std::string_view pngBytes, std::string_view icc);
