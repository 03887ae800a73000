#pragma once
#include <string>

#include "engine/picture/Image.h"
#include "imageio/PictureFormats.h"

class TColourProfile;

// Picture files of the types the 24-bit road reads and writes (see
// PictureFormats.h), read through ReadFileBytes (regular files only, at most
// kMaxPictureFileBytes) and written through WriteFileAtomically.

// Reads a picture of a type with a 24-bit coding. A type that carries a
// colour profile is converted from it to sRGB, and profile is the file's
// (sRGB when it has none); a damaged profile is refused naming the file.
TImage LoadEightBitPicture(const std::string& fileName, const TEightBitCoding& coding, TColourProfile& profile);

// Writes by the file name's extension a type the 24-bit road writes,
// converted into the profile and written with it embedded where the type
// carries one (else in sRGB). EError for any other extension and for an
// empty image.
void SaveEightBitPicture(const std::string& fileName, const TImage& image, const TColourProfile& profile);
