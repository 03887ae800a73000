#include "imageio/DeepImageFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <new>
#include <vector>

#include "engine/base/Error.h"
#include "engine/picture/DeepGrade.h"
#include "fileio/AtomicFile.h"
#include "fileio/FileRead.h"
#include "imageio/ColourProfile.h"
#include "imageio/DeepCodec.h"
#include "imageio/EightBitPictureFile.h"
#include "imageio/IccProfile.h"
#include "imageio/PictureFormats.h"
#include "imageio/PixelBudget.h"

namespace {

// The library's format name of a type with the given depth rules, or nullptr.
const char* LibraryFormatOf(const std::string& fileName, std::initializer_list<TDepthRule> rules) {
    const TPictureFormat* format = FindPictureFormat(fileName);
    if (format == nullptr || std::find(rules.begin(), rules.end(), format->Depth) == rules.end()) return nullptr;
    return format->Library;
}

// The types the deep road reads, by their names alone or by their header.
const char* ReadFormatOf(const std::string& fileName) {
    return LibraryFormatOf(fileName, {TDepthRule::Deep, TDepthRule::DeepReadOnly, TDepthRule::EightOrDeep});
}

// Closes the file when it goes.
struct TFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The smallest of the integer sizes held that takes `bits`, else the largest.
int IntegerBitsFor(const TStorageRule& rule, int bits) {
    int largest = 0;
    for (const int held : rule.IntegerBits) {
        if (held == 0) break;
        if (held >= bits) return held;
        largest = held;
    }
    return largest;
}

// The depth a format can hold nearest to the one asked for.
TPictureDepth WritableStorage(TPictureDepth depth) {
    const TStorageRule& rule = StorageRuleOf(depth.Format);
    if (!rule.KeepsCompression) depth.Compression.clear();
    if (depth.Kind == TSampleKind::Integer) {
        if (rule.IntegerBits[0] == 0) return {depth.Format, TSampleKind::Half, 16, depth.Compression};
        depth.Bits = IntegerBitsFor(rule, depth.Bits);
        return depth;
    }
    const TSampleKind held = depth.Kind == TSampleKind::Half ? rule.HalfAs : rule.FloatAs;
    if (held == TSampleKind::Integer) return {depth.Format, held, IntegerBitsFor(rule, INT_MAX), depth.Compression};
    if (held != depth.Kind) return {depth.Format, held, 32, depth.Compression};
    return depth;
}

// Decoding takes its memory from the program's pixel budget; the
// reservation is kept while the picture's job goes on.
class TBudgetGate final : public TPixelGate {
public:
    void Admit(std::uint64_t bytes) override { held_ = PicturePixelBudget().Reserve(bytes); }
    ~TBudgetGate() override = default;
    void KeepForJob() { ::KeepForJob(std::move(held_)); }

private:
    TPixelReservation held_;
};

// The same with the file's colour profile kept.
TPictureDepth Writable(const TPictureDepth& depth) {
    TPictureDepth writable = WritableStorage(depth);
    writable.IccProfile = depth.IccProfile;
    return writable;
}

template <class TSource>
TDeepImage DecodeWithin(const TSource& source, const char* format, const std::string& fileName) {
    TBudgetGate gate;
    try {
        TDeepImage image = DeepCodec().Decode(source, format, fileName, gate);
        DeepFileToSrgb(image, fileName);
        gate.KeepForJob();
        return image;
    } catch (const std::bad_alloc&) {
        throw EError("Not enough memory to load the picture \"" + fileName + "\"");
    }
}

}  // namespace

bool IsDeepPictureName(const std::string& fileName) {
    return LibraryFormatOf(fileName, {TDepthRule::Deep, TDepthRule::DeepReadOnly}) != nullptr;
}

bool IsDeepPictureFile(const std::string& fileName) {
    if (IsDeepPictureName(fileName)) return true;
    if (LibraryFormatOf(fileName, {TDepthRule::EightOrDeep}) == nullptr) return false;
    // Signature, IHDR length and name, width, height, then the bit depth.
    unsigned char head[25] = {};
    int file = -1;
    try {
        file = OpenRegularFile(fileName, UINT64_MAX);
    } catch (const EError&) {
        return false;  // the loader that reads it says why
    }
    const ssize_t got = read(file, head, sizeof head);
    close(file);
    static const unsigned char kStart[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n',
                                           0,    0,   0,   13,  'I',  'H',  'D',  'R'};
    return got == static_cast<ssize_t>(sizeof head) && std::equal(std::begin(kStart), std::end(kStart), head) &&
           head[24] == 16;
}

bool IsDeepOutputName(const std::string& fileName) { return IsPictureName(fileName, TPictureRole::WrittenDeep); }

std::vector<std::string> WrittenPictureExtensions() {
    std::vector<std::string> extensions;
    for (const TPictureFormat* format : PictureFormatsByPlace(&TPictureFormat::WriterPlace)) {
        const std::vector<std::string> own = PictureExtensionsOf(*format);
        extensions.insert(extensions.end(), own.begin(), own.end());
    }
    return extensions;
}

TDeepImage DecodeDeepImage(std::string_view bytes, const std::string& format, const std::string& fileName) {
    return DecodeWithin(bytes, format.c_str(), fileName);
}

TDeepImage LoadDeepImageFile(const std::string& fileName) {
    const char* format = ReadFormatOf(fileName);
    if (!format) throw EError("Unknown picture file extension (." + LowerExtension(fileName) + ")");
    // Read in pieces, not held whole: the file's size needs no limit here.
    const int fd = OpenRegularFile(fileName, UINT64_MAX);
    std::unique_ptr<std::FILE, TFileCloser> file(fdopen(fd, "rb"));
    if (!file) {
        const int error = errno;
        close(fd);
        RaiseFileError("Cannot open file", fileName, error);
    }
    std::FILE* const stream = file.get();
    return DecodeWithin(stream, format, fileName);
}

namespace {

TPictureDepth OutputStorageFor(const std::string& fileName, const TPictureDepth& source) {
    const TPictureFormat* format = FindPictureFormat(fileName);
    if (format == nullptr || !HasRole(*format, TPictureRole::Written))
        throw EError("Unknown picture file extension (." + LowerExtension(fileName) + ")");
    if (source.Format == format->Library) return Writable(source);
    return {format->Library, format->DefaultKind, format->DefaultBits, std::string()};
}

}  // namespace

TPictureDepth OutputDepthFor(const std::string& fileName, const TPictureDepth& source) {
    TPictureDepth depth = OutputStorageFor(fileName, source);
    depth.IccProfile = source.IccProfile;
    return depth;
}

std::string EncodeDeepImage(const TDeepImage& image, const TPictureDepth& depth) {
    try {
        TPictureDepth written = Writable(depth);
        // The pixels written are red, green and blue: a grey profile cannot describe them.
        if (IccColourSpace(written.IccProfile) == "GRAY") written.IccProfile.clear();
        if (written.IccProfile.empty()) return DeepCodec().Encode(image, written);
        TDeepImage converted = image;
        TColourProfile::FromIcc(written.IccProfile).FromSrgb(converted);
        return DeepCodec().Encode(converted, written);
    } catch (const std::bad_alloc&) {
        throw EError("Not enough memory to encode the picture");
    }
}

void SaveDeepImageFile(const std::string& fileName, const TDeepImage& image, const TPictureDepth& depth) {
    const TPictureFormat* format = FindPictureFormatByLibrary(depth.Format);
    if (format != nullptr && format->Depth == TDepthRule::EightBit) {
        const TColourProfile profile =
            depth.IccProfile.empty() ? TColourProfile() : TColourProfile::FromIcc(depth.IccProfile);
        return SaveEightBitPicture(fileName, DeepToImage(image), profile);
    }
    const std::string bytes = EncodeDeepImage(image, depth);
    WriteFileAtomically(fileName, bytes);
}
