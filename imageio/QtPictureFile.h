#pragma once
#include <string>

#include "engine/picture/Image.h"

// BMP and PNG pictures through Qt's readers and writers, the format forced
// by the file's type rather than guessed from its bytes. A picture whose
// declared size is beyond the limits of PictureSize.h is refused before it
// is decoded; a damaged one fails with "Bitmap image is not valid" or "PNG
// image is not valid" (a bitmap with less pixel data than its header
// declares too). Encoding fails with "Cannot encode the picture: <reason>".
void DecodeBmpPicture(const std::string& bytes, TImage& target);
void DecodePngPicture(const std::string& bytes, TImage& target);
std::string EncodeBmpPicture(const TImage& image, const std::string& icc);
// With the colour profile icc embedded when it is not empty.
std::string EncodePngPicture(const TImage& image, const std::string& icc);
