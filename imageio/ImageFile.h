#pragma once
#include <functional>
#include <string>
#include <string_view>

#include "Image.h"

class TColourProfile;
struct TOutputProfileChoice;

// Picture files. The type is chosen by the file name's extension, compared
// without regard to case: ".jpg" and ".jpeg" through libjpeg, ".bmp" and
// ".png" through Qt's readers. Every failure is raised as EError with a
// message for the user; a failure leaves the target image unchanged.
//
// A picture that declares more than kMaxPictureSide pixels on a side or more
// than kMaxPicturePixels pixels in all is refused before it is decoded.
constexpr int kMaxPictureSide = 30000;
constexpr long long kMaxPicturePixels = 400LL * 1000 * 1000;

// Reads a JPEG, BMP or PNG file into a 24-bit image at its own size, through
// ReadFileBytes (regular files only, at most kMaxPictureFileBytes). A JPEG
// with any damage libjpeg warns about, or a bitmap with less pixel data than
// its header declares, is refused.
//
// A picture whose file carries a colour profile other than sRGB (JPEG and
// PNG files, see IccProfile.h; TIFF and the other deep formats through the
// picture library) is converted to sRGB; a damaged or unusable profile is
// refused naming the file. The second form gives the file's profile (sRGB
// when it has none).
void LoadImageFile(const std::string& fileName, TImage& target);
void LoadImageFile(const std::string& fileName, TImage& target, TColourProfile& profile);

// Writes the image as a baseline JPEG file through WriteFileAtomically, as
// LUT files are written: the file is replaced only after a complete write,
// a write-protected file is refused, a link is replaced itself.
void SaveJpegFile(const std::string& fileName, const TImage& image, int quality = 100);

// Writes by extension: ".jpg"/".jpeg" JPEG at quality 100, ".bmp" 24-bit
// bitmap, ".png". Any other extension is refused. Atomic like SaveJpegFile.
void SaveImageFile(const std::string& fileName, const TImage& image);
// The same for an sRGB picture converted into the profile and written with it
// embedded (JPEG and PNG; a bitmap is written in sRGB). An sRGB profile
// writes what the form above writes.
void SaveImageFile(const std::string& fileName, const TImage& image, const TColourProfile& profile);

// JPEG in memory. Decoding delivers colour and greyscale sources as 24-bit
// images; a damaged stream fails with "JPEG error #<libjpeg's error number>".
std::string EncodeJpeg(const TImage& image, int quality);
void DecodeJpeg(std::string_view bytes, TImage& target);

// Grades a JPEG file into a JPEG file at quality 100 in strips of rows,
// without holding the whole picture: grade is called once for each strip (a
// short image of the picture's width), from one of two threads, and may run
// on two strips at once. The file
// written is the same as loading the picture, grading it whole and saving
// it with SaveJpegFile when grade treats each row on its own.
// The strips are graded in sRGB: a picture in another colour space is
// converted before grade and, after it, into the space the choice gives,
// which the file written carries.
void GradeJpegFile(const std::string& input, const std::string& output,
                   const std::function<void(TImage&)>& grade);
void GradeJpegFile(const std::string& input, const std::string& output,
                   const std::function<void(TImage&)>& grade, const TOutputProfileChoice& choice);
