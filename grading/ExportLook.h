#pragma once
#include <string>

#include "engine/look/LookTransfer.h"

class TFootageConversion;
class TLUT;
struct TLutOutputProfile;

// The one road from a look to a LUT file, for the command line's 'look',
// 'learn', 'match' and 'convert' and for the window's "Create 3D LUT" and
// the learned look's "Export LUT...": the same look and choices give the
// same bytes from either.

// The file written: its name, the output profile whose format writes it,
// the grid size (points per axis, or the curve's entries) and the bits
// (0: the profile's default).
struct TLutFile {
    std::string Name;
    const TLutOutputProfile* Profile = nullptr;
    int Size = 0;
    int Bits = 0;
};

// The look built from its settings at the file's size; with footage, for
// that footage space (formats/LookExport.h says how).
void ExportLookFile(const TLookSettings& settings, const TLutFile& file, const TFootageConversion* footage = nullptr);
// A LUT already made (learned, matched, kept, read) prepared for the
// profile and resampled to the file's size.
void ExportLutFile(const TLUT& lut, const TLutFile& file);
