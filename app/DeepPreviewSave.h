#pragma once
#include <QString>
#include <string>

class TFootageConversion;
class TLUT;

// "Save Graded Image": what the save dialog offers for the frame shown and
// the writing of a preview opened from a picture of more than 8 bits (TIFF,
// 16-bit PNG, DPX, OpenEXR, ...). Every other frame takes the command
// line's road (imageio/GradedPictureFile.h).

// The save dialog's extra filter entry, "|the preview's own format and
// depth|*.<ext>", or an empty text for any other preview.
QString OwnFormatFilter(const std::string& previewFile);

// What the save dialog offers for the preview: for such a picture its own
// format first (the filter chosen at the start) and its extension for the
// suggested name; for a frame of a clip of more than 8 bits (clipBits) the
// 16-bit TIFF and PNG that keep its depth first, .tif suggested; then the
// picture types written, JPEG first, which any other preview starts with,
// .jpeg suggested.
struct TGradedSaveOffer {
    QString Filter;
    QString NameExtension;
};
TGradedSaveOffer GradedSaveOffer(const std::string& previewFile, int clipBits = 0);

// The name the save dialog suggests for the graded picture:
// "PREVIEW - LOOK.ext" (either part left out when it is empty, "graded"
// when both are), safe for a file name.
QString GradedPictureName(const std::string& previewFile, const QString& lookName, const QString& extension);

// Refuses (EError naming the file) a target whose extension no picture
// writer takes.
void CheckGradedTarget(const std::string& target);

// When the preview file is such a picture and target's extension is one
// written at more than 8 bits, grades the full-size file at full precision
// and writes it at the preview's format and depth (or the extension's),
// returning true. With footage the picture is converted from it in float
// first, as the command line's grade does, and so is it for an 8-bit
// target (JPEG, BMP). False, with nothing done, for any other preview or
// target.
bool SaveGradedAtOwnDepth(const TLUT& lut, const std::string& previewFile, const std::string& target,
                          const TFootageConversion* footage = nullptr);
// Without footage, such a preview written to an 8-bit type is its 24-bit
// picture graded with the LUT's 8-bit tables, as the viewer shows it, in
// the file's own colour space. False, with nothing done, for any other
// preview.
bool SaveDeepPreviewAtEightBits(const TLUT& lut, const std::string& previewFile, const std::string& target);
