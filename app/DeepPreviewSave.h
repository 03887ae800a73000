#pragma once
#include <QString>
#include <string>

// "Save Graded Image": what the save dialog offers for the frame shown, a
// preview opened from a picture of more than 8 bits (TIFF, 16-bit PNG, DPX,
// OpenEXR, ...) among them. The writing is grading/GradeFile.h's.

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
