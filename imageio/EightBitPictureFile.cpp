#include "imageio/EightBitPictureFile.h"

#include "engine/base/Error.h"
#include "fileio/AtomicFile.h"
#include "fileio/FileRead.h"
#include "imageio/ColourProfile.h"
#include "imageio/IccProfile.h"

namespace {

// The profile the file's bytes carry, a damaged one refused naming the file.
TColourProfile EmbeddedProfileOf(std::string_view bytes, const std::string& fileName) {
    try {
        return TColourProfile::FromEmbedded(ReadEmbeddedProfile(bytes));
    } catch (const EError& error) {
        throw EError("\"" + fileName + "\": " + error.what());
    }
}

}  // namespace

TImage LoadEightBitPicture(const std::string& fileName, const TEightBitCoding& coding, TColourProfile& profile) {
    const std::string bytes = ReadFileBytes(fileName, kMaxPictureFileBytes);
    TImage picture;
    coding.Decode(bytes, picture);
    if (!coding.Profiled) return picture;
    profile = EmbeddedProfileOf(bytes, fileName);
    profile.ToSrgb(picture);
    return picture;
}

void SaveEightBitPicture(const std::string& fileName, const TImage& image, const TColourProfile& profile) {
    const TPictureFormat* format = FindPictureFormat(fileName);
    if (format == nullptr || !HasRole(*format, TPictureRole::EightBitWritten))
        throw EError("Unknown picture file extension (." + LowerExtension(fileName) + ")");
    if (image.Empty()) throw EError("There is no picture to write");
    const TEightBitCoding& coding = *format->EightBit;
    const TColourProfile written = profile.ForColourPixels();
    if (written.IsSrgb() || !coding.Profiled) return WriteFileAtomically(fileName, coding.Encode(image, std::string()));
    TImage converted = image.Clone();
    written.FromSrgb(converted);
    WriteFileAtomically(fileName, coding.Encode(converted, written.Icc()));
}
