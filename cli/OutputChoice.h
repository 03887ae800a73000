#pragma once
#include <string>

#include "cli/Arguments.h"

struct TOutputProfileChoice;
struct TLutOutputProfile;

// What a writing command writes: the output file, the LUT output profile
// and bit depth, the picture output and its colour profile.

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

// --output-profile srgb|source|FILE (source when absent); EUsageError for a
// value that is neither a keyword nor an existing file, EError for a file
// that is not a usable RGB profile.
TOutputProfileChoice OutputProfileFrom(const TArguments& arguments);
