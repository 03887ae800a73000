#include "imageio/PictureFormats.h"

#include <algorithm>

#include "fileio/FileNames.h"
#include "imageio/JpegCodec.h"
#include "imageio/QtPictureFile.h"

namespace {

constexpr TEightBitCoding kJpegCoding{DecodeJpegPicture, EncodeJpegPicture, true};
constexpr TEightBitCoding kBitmapCoding{DecodeBmpPicture, EncodeBmpPicture, false};
constexpr TEightBitCoding kPngCoding{DecodePngPicture, EncodePngPicture, true};

using enum TDepthRule;
using enum TSampleKind;

constexpr const char* kDeepLabel = "TIFF, OpenEXR, DPX";

constexpr TStorageRule kEightBitOnly{{8}, Integer, Integer, false};
constexpr TStorageRule kPngStorage{{8, 16}, Integer, Integer, true};
constexpr TStorageRule kExrStorage{{}, Half, Float, true};
constexpr TStorageRule kDpxStorage{{8, 10, 12, 16}, Float, Float, true};
constexpr TStorageRule kEightOrSixteen{{8, 16}, Half, Float, true};

using enum THelpExtensions;

// clang-format off
constexpr TPictureFormat kFormats[] = {
    // dialog label       extensions         library    depth rule    24-bit road     default  writer reference storage          help name     deep help place, depth help, desktop MIME types and place
    {"JPEG Image File",   "jpg jpeg",        "jpeg",    EightBit,     &kJpegCoding,   Integer, 8,  5,  true,      kEightBitOnly,   "JPEG",       0,         Own,  "image/jpeg",                                                                1},
    {"Bitmaps",           "bmp",             "bmp",     EightBit,     &kBitmapCoding, Integer, 8,  6,  true,      kEightBitOnly,   "BMP",        0,         None, "image/bmp",                                                                 3},
    {"PNG Image File",    "png",             "png",     EightOrDeep,  &kPngCoding,    Integer, 16, 4,  false,     kPngStorage,     "PNG",        2,         Own,  "image/png",                                                                 2},
    {kDeepLabel,          "tif tiff",        "tiff",    Deep,         nullptr,        Integer, 16, 1,  false,     kEightOrSixteen, "TIFF",       1,         All,  "image/tiff",                                                                4},
    {kDeepLabel,          "exr",             "openexr", Deep,         nullptr,        Half,    16, 2,  false,     kExrStorage,     "OpenEXR",    4,         Own,  "image/x-exr",                                                               5},
    {kDeepLabel,          "dpx",             "dpx",     Deep,         nullptr,        Integer, 10, 3,  false,     kDpxStorage,     "DPX",        3,         Own,  "",                                                                          0},
    {kDeepLabel,          "hdr",             "hdr",     DeepReadOnly, nullptr,        Float,   32, 0,  false,     kEightOrSixteen, "HDR",        0,         None, "",                                                                          0},
    {kDeepLabel,          "tga",             "targa",   DeepReadOnly, nullptr,        Integer, 8,  0,  false,     kEightOrSixteen, "Targa",      0,         None, "image/x-tga",                                                               6},
    {kDeepLabel,          "ppm pgm pnm pfm", "pnm",     DeepReadOnly, nullptr,        Integer, 8,  0,  false,     kEightOrSixteen, "PNM",        0,         None, "image/x-portable-anymap image/x-portable-pixmap image/x-portable-graymap", 7},
};
// clang-format on

// The words of a column that lists several, separated by blanks.
std::vector<std::string> Words(std::string_view rest) {
    std::vector<std::string> words;
    while (!rest.empty()) {
        const std::size_t blank = rest.find(' ');
        words.emplace_back(rest.substr(0, blank));
        rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
    }
    return words;
}

std::string Patterns(const std::vector<std::string>& extensions) {
    std::string patterns;
    for (const std::string& extension : extensions) patterns += (patterns.empty() ? "*." : ";*.") + extension;
    return patterns;
}

}  // namespace

std::span<const TPictureFormat> PictureFormats() { return kFormats; }

std::vector<std::string> PictureExtensionsOf(const TPictureFormat& format) { return Words(format.Extensions); }

const TPictureFormat* FindPictureFormatByLibrary(std::string_view library) {
    for (const TPictureFormat& format : kFormats)
        if (format.Library == library) return &format;
    return nullptr;
}

const TStorageRule& StorageRuleOf(std::string_view library) {
    const TPictureFormat* format = FindPictureFormatByLibrary(library);
    return format != nullptr ? format->Storage : kEightOrSixteen;
}

std::vector<const TPictureFormat*> PictureFormatsByPlace(int TPictureFormat::*place) {
    std::vector<const TPictureFormat*> placed;
    for (const TPictureFormat& format : kFormats)
        if (format.*place > 0) placed.push_back(&format);
    std::sort(placed.begin(), placed.end(),
              [place](const TPictureFormat* a, const TPictureFormat* b) { return a->*place < b->*place; });
    return placed;
}

std::string DesktopMimeTypes() {
    std::string types;
    for (const TPictureFormat* format : PictureFormatsByPlace(&TPictureFormat::DesktopPlace))
        for (const std::string& type : Words(format->MimeTypes)) types += type + ';';
    return types;
}

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

std::string LowerExtension(std::string_view fileName) {
    const std::string extension = FileExtension(fileName);
    return LowerAscii(extension.empty() ? extension : extension.substr(1));
}

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
        case TPictureRole::ReadOnly:
            return format.WriterPlace == 0;
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
