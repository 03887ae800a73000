#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "formats/LutFormat.h"

// One export choice: a format reached by index, with the user-facing name,
// the file extension (without the leading dot) and the default grid size and
// bit depth (0 for formats that store decimal numbers).
struct TLutOutputProfile {
    std::string Name;
    std::string Extension;
    int FormatIndex = 0;
    int DefaultSize = 0;
    int DefaultBits = 0;
    bool SizeSelectable = false;
    bool BitsSelectable = false;
};

// The one instance of every LUT format, in fixed order; a format is known by
// its index and by its id. Built on first use and freed at process exit.
const std::vector<std::unique_ptr<TLUTFormat>>& LutFormats();

// The output profiles, in the order the export dialog lists them.
const std::vector<std::unique_ptr<TLutOutputProfile>>& LutOutputProfiles();

// The format at the index, or nullptr when the index is outside the list.
TLUTFormat* GetLutFormat(int index);

// Every format index in the order detection tries them: list order, except
// that a format naming another in DetectedBefore comes just before it.
const std::vector<int>& LutDetectionOrder();

// The index of the format with this id (TLutFormatInfo::Id), or -1.
int LutFormatIndex(std::string_view id);
// The format with this id, or nullptr.
TLUTFormat* FindLutFormat(std::string_view id);

// The profile at the index; EError for an index outside the list.
TLutOutputProfile* GetLutOutputProfile(int index);

// Appends a profile to the profile list and returns it.
TLutOutputProfile* AddLutOutputProfile(const std::string& name, const std::string& extension, int formatIndex,
                                       int defaultSize, int defaultBits, bool sizeSelectable, bool bitsSelectable);
