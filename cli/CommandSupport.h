#pragma once
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "engine/Image.h"
#include "engine/LookControls.h"
#include "engine/LookTransfer.h"

class TColourProfile;
class TFootageConversion;
struct TOutputProfileChoice;
struct TLutOutputProfile;

// Pieces several commands share: the grading options, the choice of an
// output profile and bit depth, and the road from a reference picture to
// the look settings.

// An option for each slider and each switch of the look controls.
std::vector<TOptionSpec> GradingOptionSpecs();
// Slider positions from the grading options (100 and the window's switch
// defaults where an option is absent).
TLookPositions PositionsFrom(const TArguments& arguments);
// The help lines of those options, in their order.
std::string GradingOptionsHelp();

// The profile given with --profile (name or number), or else the first one
// whose extension ends the output file name: of the preferred kind first,
// then, unless onlyPreferred, of the other kind. EUsageError when none fits.
const TLutOutputProfile& ChooseProfile(const TArguments& arguments, const std::string& output, bool prefer3D,
                                       bool onlyPreferred);
// --bits where the profile lets the user choose it, else its default.
// EUsageError for a value other than 8, 10, 12, 14, 16 or a profile that
// fixes its bit depth.
int ChooseBits(const TArguments& arguments, const TLutOutputProfile& profile);

// The -o option, which every writing command needs.
std::string OutputFile(const TArguments& arguments);
// Refuses (EUsageError) an output picture whose extension is not one the
// picture writer knows, before any work is done.
void CheckPictureOutput(const std::string& fileName);
// Refuses (EUsageError) a single output named as a folder (a trailing
// slash): the folder is missing or not one, else the batch road takes it.
void CheckFileOutput(const std::string& output);

// Loads a picture file; a loader's message that does not name the file
// gets it in front, since a command may read two pictures.
TImage LoadPicture(const std::string& fileName);
// The same, giving the colour profile of the file, from which the picture was
// converted to sRGB.
TImage LoadPicture(const std::string& fileName, TColourProfile& profile);

// --output-profile srgb|source|FILE (source when absent); EUsageError for a
// value that is neither a keyword nor an existing file, EError for a file
// that is not a usable RGB profile.
TOutputProfileChoice OutputProfileFrom(const TArguments& arguments);

// The 150 x 150 thumbnail cell the window analyses for this reference: a
// picture within 150 x 150 is taken as a library file; a larger one is
// reduced as adding it to the library does.
TImage ReferenceCell(const std::string& fileName);
// The cell's statistics and the positions as look settings.
TLookSettings ReferenceLook(const std::string& fileName, const TLookPositions& positions);
// Matches the look to a frame file, measured as the window measures its
// preview (fitted into 1000 x 500 with Lanczos3, then converted from the
// footage when one is given).
void MatchToFrameFile(TLookSettings& settings, const std::string& frameFile,
                      const TFootageConversion* footage = nullptr);
