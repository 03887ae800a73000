#pragma once
#include <string>
#include <string_view>

#include "engine/picture/Image.h"

// JPEG through libjpeg, whole pictures in memory.

// Decoding delivers colour and greyscale sources as 24-bit images; a damaged
// stream fails with "JPEG error #<libjpeg's error number>". Any warning of
// libjpeg refuses the stream.
std::string EncodeJpeg(const TImage& image, int quality);
void DecodeJpeg(std::string_view bytes, TImage& target);

// Writes the image as a baseline JPEG file through WriteFileAtomically, as
// LUT files are written: the file is replaced only after a complete write,
// a write-protected file is refused, a link is replaced itself.
void SaveJpegFile(const std::string& fileName, const TImage& image, int quality = 100);

// The picture-format table's coding of JPEG files: decoding as DecodeJpeg
// but leaving std::bad_alloc to the caller, encoding at quality 100 with the
// colour profile icc embedded when it is not empty.
void DecodeJpegPicture(const std::string& bytes, TImage& target);
std::string EncodeJpegPicture(const TImage& image, const std::string& icc);
