#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "engine/picture/DeepImage.h"

// Pictures at their own depth through OpenImageIO: TIFF (8/16-bit, float),
// PNG at 16 bits, DPX (8/10/12/16-bit), OpenEXR (half, float), Radiance HDR,
// Targa and the portable any-maps. JPEG, BMP and 8-bit PNG go
// through the 24-bit loaders of ImageFile.h as before.
//
// Reading takes regular files only, through the file layer (FileRead.h). It
// refuses before decoding a picture beyond the size limits of PictureSize.h,
// one whose header declares more pixel data than the file can hold, and one
// the program would write back with less than it holds: more parts than
// one, channels other than grey or red, green and blue with alpha where the
// file marks it. A damaged picture is refused with the first line of the
// library's message (EError). Decoding takes its memory from the pixel
// budget of PixelBudget.h. Writing is atomic: the whole file is encoded in memory
// and then written to a temporary file that is renamed over the target.

// The file name's extension (any case) is one that only this road reads.
bool IsDeepPictureName(const std::string& fileName);
// That, or a PNG file whose header declares 16-bit samples.
bool IsDeepPictureFile(const std::string& fileName);
// The extension is one SaveDeepImageFile writes at more than 8 bits:
// .tif, .tiff, .exr, .dpx, .png.
bool IsDeepOutputName(const std::string& fileName);
// The extensions (without the dot) pictures are written with, in the
// writer's order.
std::vector<std::string> WrittenPictureExtensions();

TDeepImage LoadDeepImageFile(const std::string& fileName);
// Decodes a file held in memory; format is the library's format name
// ("tiff", "openexr", ...). fileName only names the picture in messages.
TDeepImage DecodeDeepImage(std::string_view bytes, const std::string& format, const std::string& fileName);

// The storage a picture of the given source storage is written with to
// fileName: the source's own format and depth when the extension names the
// source's format, else the extension's default: .tif/.tiff 16-bit, .exr
// half, .dpx 10-bit, .png 16-bit, .jpg/.jpeg and .bmp 8-bit. EError for an
// extension that is not written.
TPictureDepth OutputDepthFor(const std::string& fileName, const TPictureDepth& source);

// Writes the picture with the given storage (JPEG at quality 100 and BMP
// through the 24-bit writers, alpha laid on white there). The storage's
// profile is embedded and the pixels converted into it, but a grey profile,
// which cannot describe the red, green and blue written, is left out.
void SaveDeepImageFile(const std::string& fileName, const TDeepImage& image, const TPictureDepth& depth);
// The file's bytes, for formats written through OpenImageIO.
std::string EncodeDeepImage(const TDeepImage& image, const TPictureDepth& depth);
