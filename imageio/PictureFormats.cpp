#include "imageio/PictureFormats.h"

#include "imageio/JpegCodec.h"
#include "imageio/QtPictureFile.h"

namespace {

constexpr TEightBitCoding kJpegCoding{DecodeJpegPicture, EncodeJpegPicture, true};
constexpr TEightBitCoding kBitmapCoding{DecodeBmpPicture, EncodeBmpPicture, false};
constexpr TEightBitCoding kPngCoding{DecodePngPicture, EncodePngPicture, true};

using enum TDepthRule;
using enum TSampleKind;

constexpr const char* kDeepLabel = "TIFF, OpenEXR, DPX";

// clang-format off
constexpr TPictureFormat kFormats[] = {
    // dialog label       extensions         library    depth rule    24-bit road     default   writer  reference
    {"JPEG Image File",   "jpg jpeg",        "jpeg",    EightBit,     &kJpegCoding,   Integer, 8,  5,  true},
    {"Bitmaps",           "bmp",             "bmp",     EightBit,     &kBitmapCoding, Integer, 8,  6,  true},
    {"PNG Image File",    "png",             "png",     EightOrDeep,  &kPngCoding,    Integer, 16, 4,  false},
    {kDeepLabel,          "tif tiff",        "tiff",    Deep,         nullptr,        Integer, 16, 1,  false},
    {kDeepLabel,          "exr",             "openexr", Deep,         nullptr,        Half,    16, 2,  false},
    {kDeepLabel,          "dpx",             "dpx",     Deep,         nullptr,        Integer, 10, 3,  false},
    {kDeepLabel,          "hdr",             "hdr",     DeepReadOnly, nullptr,        Float,   32, 0,  false},
    {kDeepLabel,          "tga",             "targa",   DeepReadOnly, nullptr,        Integer, 8,  0,  false},
    {kDeepLabel,          "ppm pgm pnm pfm", "pnm",     DeepReadOnly, nullptr,        Integer, 8,  0,  false},
};
// clang-format on

}  // namespace

std::vector<std::string> PictureExtensionsOf(const TPictureFormat& format) {
    std::vector<std::string> extensions;
    std::string_view rest = format.Extensions;
    while (!rest.empty()) {
        const std::size_t blank = rest.find(' ');
        extensions.emplace_back(rest.substr(0, blank));
        rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
    }
    return extensions;
}

namespace {

std::string Patterns(const std::vector<std::string>& extensions) {
    std::string patterns;
    for (const std::string& extension : extensions) patterns += (patterns.empty() ? "*." : ";*.") + extension;
    return patterns;
}

}  // namespace

std::span<const TPictureFormat> PictureFormats() { return kFormats; }

std::string FileExtension(std::string_view fileName) {
    const std::size_t dot = fileName.find_last_of('.');
    const std::size_t slash = fileName.find_last_of('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return std::string();
    return std::string(fileName.substr(dot + 1));
}

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

std::string LowerExtension(std::string_view fileName) { return LowerAscii(FileExtension(fileName)); }

const TPictureFormat* FindPictureFormat(std::string_view fileName) {
    const std::string extension = LowerExtension(fileName);
    if (extension.empty()) return nullptr;
    for (const TPictureFormat& format : kFormats)
        for (const std::string& own : PictureExtensionsOf(format))
            if (own == extension) return &format;
    return nullptr;
}

bool HasRole(const TPictureFormat& format, TPictureRole role) {
    switch (role) {
        case TPictureRole::Read:
            return true;
        case TPictureRole::Written:
            return format.WriterPlace > 0;
        case TPictureRole::WrittenDeep:
            return format.Depth == EightOrDeep || format.Depth == Deep;
        case TPictureRole::DeepOnly:
            return format.Depth == Deep;
        case TPictureRole::EightBitRead:
            return format.EightBit != nullptr;
        case TPictureRole::EightBitWritten:
            return format.EightBit != nullptr && format.EightBit->Encode != nullptr;
        case TPictureRole::Reference:
            return format.Reference;
    }
    return false;
}

std::vector<std::string> PictureExtensions(TPictureRole role) {
    std::vector<std::string> extensions;
    for (const TPictureFormat& format : kFormats)
        if (HasRole(format, role))
            for (std::string& extension : PictureExtensionsOf(format)) extensions.push_back(std::move(extension));
    return extensions;
}

bool IsPictureName(std::string_view fileName, TPictureRole role) {
    const TPictureFormat* format = FindPictureFormat(fileName);
    return format != nullptr && HasRole(*format, role);
}

std::string ListOfExtensions(const std::vector<std::string>& extensions, std::string_view prefix) {
    std::string list;
    for (std::size_t i = 0; i < extensions.size(); ++i) {
        if (i > 0) list += i + 1 == extensions.size() ? " or " : ", ";
        list += prefix;
        list += extensions[i];
    }
    return list;
}

std::string PicturePatterns(TPictureRole role) { return Patterns(PictureExtensions(role)); }

std::string PictureTypeFilters() { return PictureTypeFilters(TPictureRole::Read); }

std::string PictureTypeFilters(TPictureRole role, std::string_view except) {
    std::string filters;
    const std::span<const TPictureFormat> formats = kFormats;
    for (std::size_t i = 0; i < formats.size();) {
        const std::string_view label = formats[i].DialogLabel;
        std::vector<std::string> extensions;
        for (; i < formats.size() && formats[i].DialogLabel == label; ++i)
            if (HasRole(formats[i], role) && formats[i].Library != except)
                for (std::string& extension : PictureExtensionsOf(formats[i]))
                    extensions.push_back(std::move(extension));
        if (extensions.empty()) continue;
        if (!filters.empty()) filters += '|';
        filters += std::string(label) + '|' + Patterns(extensions);
    }
    return filters;
}
