#pragma once
#include <string>

#include "engine/look/LookTransfer.h"
#include "engine/picture/Image.h"

class TColourProfile;
class TFootageConversion;
struct TLookPositions;

// The pictures a command reads: frames with their colour profile, and
// references measured by their library cells.

// Loads a picture file; a loader's message that does not name the file
// gets it in front, since a command may read two pictures.
TImage LoadPicture(const std::string& fileName);
// The same, giving the colour profile of the file, from which the picture was
// converted to sRGB.
TImage LoadPicture(const std::string& fileName, TColourProfile& profile);

// The 150 x 150 thumbnail cell a look is built from for this reference: a
// picture within 150 x 150 is taken as a library file; a larger one is
// reduced as adding it to the library does.
TImage ReferenceCell(const std::string& fileName);
// The cell's statistics and the positions as look settings.
TLookSettings ReferenceLook(const std::string& fileName, const TLookPositions& positions);
// Matches the look to a frame file, measured at the preview size (fitted
// into 1000 x 500 with Lanczos3, then converted from the footage when one
// is given).
void MatchToFrameFile(TLookSettings& settings, const std::string& frameFile,
                      const TFootageConversion* footage = nullptr);
