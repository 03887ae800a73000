#pragma once
#include <string>

#include "engine/picture/Image.h"
#include "imageio/JpegCodec.h"
#include "imageio/PictureSize.h"

class TColourProfile;

// Picture files as 24-bit images. The type is chosen by the file name's
// extension, compared without regard to case, from the table of
// PictureFormats.h: JPEG through libjpeg, BMP and PNG through Qt's readers,
// the other types through the deep road of DeepImageFile.h. Every failure
// is raised as EError with a message for the user; a failure leaves the
// target image unchanged.
//
// A picture whose declared size is beyond the limits of PictureSize.h is
// refused before it is decoded.

// Reads a picture file into a 24-bit image at its own size, through
// ReadFileBytes (regular files only, at most kMaxPictureFileBytes). A JPEG
// with any damage libjpeg warns about, or a bitmap with less pixel data than
// its header declares, is refused.
//
// A picture whose file carries a colour profile other than sRGB (JPEG and
// PNG files, see IccProfile.h; TIFF and the other deep formats through the
// picture library) is converted to sRGB; a damaged or unusable profile, or
// one of other pixels than the file's (ProfileContradicts), is refused
// naming the file. The second form gives the file's profile (sRGB
// when it has none).
void LoadImageFile(const std::string& fileName, TImage& target);
void LoadImageFile(const std::string& fileName, TImage& target, TColourProfile& profile);

// Writes by extension: ".jpg"/".jpeg" JPEG at quality 100, ".bmp" 24-bit
// bitmap, ".png". Any other extension is refused. Atomic like SaveJpegFile.
void SaveImageFile(const std::string& fileName, const TImage& image);
// The same for an sRGB picture converted into the profile and written with it
// embedded (JPEG and PNG; a bitmap is written in sRGB). An sRGB or a grey
// profile writes what the form above writes.
void SaveImageFile(const std::string& fileName, const TImage& image, const TColourProfile& profile);
