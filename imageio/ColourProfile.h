#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "engine/picture/DeepImage.h"
#include "engine/picture/Image.h"

struct TEmbeddedProfile;
enum class TPixelColours;
class TMatrixShaperTransform;

// The creation date written into the header of every profile the program
// builds (from a PNG file's chromaticities and gamma), so that a picture
// written with it has the same bytes whenever it is written.
struct TProfileDate {
    std::uint16_t Year, Month, Day, Hour, Minute, Second;
};
inline constexpr TProfileDate kBuiltProfileDate{2000, 1, 1, 0, 0, 0};

// The colour space a picture's numbers are in, and the conversions between
// it and sRGB (LittleCMS 2, relative colorimetric with black-point
// compensation). The program measures and grades sRGB numbers: a picture in
// another space is converted to sRGB when it is read and, when written,
// back to the space asked for.
//
// The default profile is sRGB. A profile that maps every sRGB code value on
// a grid to within one code value of itself counts as sRGB, so that a
// picture tagged with any sRGB profile is read exactly as an untagged one.
// The transforms are built once with the profile and may be used from
// several threads at once.
class TColourProfile {
public:
    TColourProfile() = default;

    // An RGB or grey ICC profile; EError "the colour profile is damaged",
    // "... is not usable" or "... is too large (more than 16 MiB)" (the
    // caller names the file).
    static TColourProfile FromIcc(const std::string& icc);
    // A picture file's description (IccProfile.h): its ICC profile, or a
    // profile built from PNG chromaticities and gamma (none when they are
    // sRGB's, within libpng's tolerance). A CMYK picture's CMYK profile
    // gives sRGB (its inks are taken as stored); a profile that contradicts
    // the pixels (ProfileContradicts) is not usable.
    static TColourProfile FromEmbedded(const TEmbeddedProfile& embedded);
    // An .icc/.icm file; EError naming the file.
    static TColourProfile FromIccFile(const std::string& fileName);

    bool IsSrgb() const { return state_ == nullptr; }
    bool IsGrey() const;
    // The profile a picture of red, green and blue is written with: this
    // one, or sRGB for a grey profile, which cannot describe such pixels.
    TColourProfile ForColourPixels() const { return IsGrey() ? TColourProfile() : *this; }
    // The profile's bytes, as written into pictures; empty for sRGB.
    const std::string& Icc() const;

    // 24-bit pictures, in place.
    void ToSrgb(TImage& image) const;
    void FromSrgb(TImage& image) const;
    // Pictures at their own depth, in place; alpha is not touched.
    void ToSrgb(TDeepImage& image) const;
    void FromSrgb(TDeepImage& image) const;

    struct TState;

private:
    static TColourProfile FromPictureIcc(const std::string& icc, TPixelColours pixels);

    std::shared_ptr<const TState> state_;
};

// Converts a picture just read at its own depth into sRGB from the profile
// its file carries (Depth.IccProfile), which is dropped when it is sRGB; EError
// naming the file for a damaged or unusable profile. Returns the profile.
TColourProfile DeepFileToSrgb(TDeepImage& picture, const std::string& fileName);

// What `--output-profile` asks for a graded picture: the source's own space
// (the default), sRGB, or the profile of a file.
struct TOutputProfileChoice {
    enum class TKind { Source, Srgb, File } Kind = TKind::Source;
    TColourProfile File;

    // "srgb", "source" or the name of an ICC file; EError for a file that
    // is not a usable profile or is a grey one (outputs are colour pictures).
    static TOutputProfileChoice Parse(const std::string& value);
    TColourProfile For(const TColourProfile& source) const;
    // The same for the ICC bytes of a source's profile (empty for sRGB).
    std::string IccFor(const std::string& sourceIcc) const;
};

// A transform of 24-bit sRGB pixels into a display's profile, for drawing.
// Without a profile (or with an sRGB one) it is empty and Apply copies.
// A matrix/TRC display profile is drawn through TMatrixShaperTransform
// where that gives LittleCMS's bytes for every colour (checked when the
// transform is built, a few hundred milliseconds of both cores); any other
// through LittleCMS. Either way every pixel is LittleCMS's.
class TDisplayTransform {
public:
    TDisplayTransform() = default;
    explicit TDisplayTransform(const TColourProfile& display);

    bool Empty() const { return transform_ == nullptr; }
    // Converts count pixels of 3 bytes, blue first; source and target may
    // be the same.
    void Apply(const unsigned char* source, unsigned char* target, std::size_t count) const;
    TImage Apply(const TImage& image) const;
    // The same into out, whose pixels are reused when it has the picture's
    // size (a view converted at every regrade allocates nothing then); out
    // may be the picture itself.
    void Apply(const TImage& image, TImage& out) const;
    // True when the pixels go the matrix/TRC road.
    bool MatrixShaper() const { return matrixShaper_ != nullptr; }
    // Different for every transform built (copies share it), 0 when empty:
    // what a converted picture was converted with.
    std::uint64_t Id() const { return id_; }

private:
    std::uint64_t id_ = 0;
    std::shared_ptr<void> transform_;
    std::shared_ptr<const TMatrixShaperTransform> matrixShaper_;
};
