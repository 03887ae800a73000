#pragma once
#include <string>

class TLUTFormat;
struct TLutOutputProfile;

// Looking up formats and output profiles by index, name, number or file name.

// Whether the format at this index can read files (three 1D formats are
// writers only) and whether it can write them (four formats are readers
// only; exactly those have no output profile).
bool FormatReads(int formatIndex);
bool FormatWrites(int formatIndex);

// The format an output profile writes with; EError when its index is stale.
TLUTFormat& ProfileFormat(const TLutOutputProfile& profile);
bool ProfileIs3D(const TLutOutputProfile& profile);

// The profile with exactly this name, or with this 1-based number in list
// order; nullptr when there is none.
const TLutOutputProfile* FindOutputProfile(const std::string& nameOrNumber);

// The first profile in list order of the given kind (3D or 1D) whose
// extension ends the file name after a dot, compared without regard to
// ASCII case; nullptr when there is none.
const TLutOutputProfile* FindProfileForFile(const std::string& fileName, bool want3D);
