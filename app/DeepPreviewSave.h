#pragma once
#include <QString>
#include <string>

class TFootageConversion;
class TLUT;

// "Save Graded Image" for a preview opened from a picture of more than 8
// bits (TIFF, 16-bit PNG, DPX, OpenEXR, ...).

// The save dialog's extra filter entry, "|the preview's own format and
// depth|*.<ext>", or an empty text for any other preview.
QString OwnFormatFilter(const std::string& previewFile);

// When the preview file is such a picture and target's extension is one
// written at more than 8 bits, grades the full-size file at full precision
// and writes it at the preview's format and depth (or the extension's),
// returning true. With footage the picture is converted from it in float
// first, as the command line's grade does, and so is it for an 8-bit
// target (JPEG, BMP). False, with nothing done, for the JPEG road.
bool SaveGradedAtOwnDepth(const TLUT& lut, const std::string& previewFile, const std::string& target,
                          const TFootageConversion* footage = nullptr);
