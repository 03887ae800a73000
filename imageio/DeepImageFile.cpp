#include "DeepImageFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "AtomicFile.h"
#include "ColourProfile.h"
#include "DeepCodec.h"
#include "DeepGrade.h"
#include "Error.h"
#include "FileRead.h"
#include "ImageFile.h"
#include "PixelBudget.h"

namespace {

struct TFormatName {
    const char* Extension;
    const char* Format;
};

// The extensions read only through this road, with their formats.
constexpr TFormatName kDeepReads[] = {
    {"tif", "tiff"}, {"tiff", "tiff"}, {"exr", "openexr"}, {"dpx", "dpx"},   {"hdr", "hdr"},
    {"tga", "targa"}, {"ppm", "pnm"},  {"pgm", "pnm"},     {"pnm", "pnm"},   {"pfm", "pnm"},
};

// The extensions written, with their formats.
constexpr TFormatName kWrites[] = {
    {"tif", "tiff"}, {"tiff", "tiff"}, {"exr", "openexr"}, {"dpx", "dpx"},
    {"png", "png"},  {"jpg", "jpeg"},  {"jpeg", "jpeg"},   {"bmp", "bmp"},
};

std::string LowerExtension(const std::string& fileName) {
    const auto dot = fileName.find_last_of('.');
    const auto slash = fileName.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
    std::string extension = fileName.substr(dot + 1);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return extension;
}

template <std::size_t N>
const char* FormatOf(const TFormatName (&table)[N], const std::string& fileName) {
    const std::string extension = LowerExtension(fileName);
    for (const TFormatName& entry : table)
        if (extension == entry.Extension) return entry.Format;
    return nullptr;
}

const char* ReadFormatOf(const std::string& fileName) {
    if (const char* format = FormatOf(kDeepReads, fileName)) return format;
    return LowerExtension(fileName) == "png" ? "png" : nullptr;
}

// Closes the file when it goes.
struct TFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The depth a format can hold nearest to the one asked for.
TPictureDepth WritableStorage(TPictureDepth depth) {
    const std::string& f = depth.Format;
    if (f == "jpeg" || f == "bmp") return {f, TSampleKind::Integer, 8, std::string()};
    if (f == "png") return {f, TSampleKind::Integer, depth.Kind == TSampleKind::Integer && depth.Bits <= 8 ? 8 : 16,
                            depth.Compression};
    if (f == "openexr") {
        if (depth.Kind == TSampleKind::Integer) depth = {f, TSampleKind::Half, 16, depth.Compression};
        return depth;
    }
    if (depth.Kind == TSampleKind::Half && f == "dpx") depth = {f, TSampleKind::Float, 32, depth.Compression};
    if (depth.Kind != TSampleKind::Integer) return depth;
    if (f == "dpx") {
        static const int kDpxBits[] = {8, 10, 12, 16};
        const int* bits = std::lower_bound(std::begin(kDpxBits), std::end(kDpxBits), depth.Bits);
        depth.Bits = bits == std::end(kDpxBits) ? 16 : *bits;
    } else {
        depth.Bits = depth.Bits <= 8 ? 8 : 16;
    }
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

bool IsDeepPictureName(const std::string& fileName) { return FormatOf(kDeepReads, fileName) != nullptr; }

bool IsDeepPictureFile(const std::string& fileName) {
    if (IsDeepPictureName(fileName)) return true;
    if (LowerExtension(fileName) != "png") return false;
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
    static const unsigned char kStart[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    return got == static_cast<ssize_t>(sizeof head) && std::equal(std::begin(kStart), std::end(kStart), head) && head[24] == 16;
}

bool IsDeepOutputName(const std::string& fileName) {
    const char* format = FormatOf(kWrites, fileName);
    return format != nullptr && std::string_view(format) != "jpeg" && std::string_view(format) != "bmp";
}

std::vector<std::string> WrittenPictureExtensions() {
    std::vector<std::string> extensions;
    for (const TFormatName& entry : kWrites) extensions.emplace_back(entry.Extension);
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
    const char* format = FormatOf(kWrites, fileName);
    if (!format) throw EError("Unknown picture file extension (." + LowerExtension(fileName) + ")");
    if (source.Format == format) return Writable(source);
    const std::string name = format;
    if (name == "openexr") return {name, TSampleKind::Half, 16, std::string()};
    if (name == "dpx") return {name, TSampleKind::Integer, 10, std::string()};
    if (name == "tiff" || name == "png") return {name, TSampleKind::Integer, 16, std::string()};
    return {name, TSampleKind::Integer, 8, std::string()};
}

}  // namespace

TPictureDepth OutputDepthFor(const std::string& fileName, const TPictureDepth& source) {
    TPictureDepth depth = OutputStorageFor(fileName, source);
    depth.IccProfile = source.IccProfile;
    return depth;
}

std::string EncodeDeepImage(const TDeepImage& image, const TPictureDepth& depth) {
    try {
        if (depth.IccProfile.empty()) return DeepCodec().Encode(image, Writable(depth));
        TDeepImage converted = image;
        TColourProfile::FromIcc(depth.IccProfile).FromSrgb(converted);
        return DeepCodec().Encode(converted, Writable(depth));
    } catch (const std::bad_alloc&) {
        throw EError("Not enough memory to encode the picture");
    }
}

void SaveDeepImageFile(const std::string& fileName, const TDeepImage& image, const TPictureDepth& depth) {
    if (depth.Format == "jpeg" || depth.Format == "bmp") {
        const TColourProfile profile = depth.IccProfile.empty() ? TColourProfile() : TColourProfile::FromIcc(depth.IccProfile);
        return SaveImageFile(fileName, DeepToImage(image), profile);
    }
    const std::string bytes = EncodeDeepImage(image, depth);
    WriteFileAtomically(fileName, bytes);
}
