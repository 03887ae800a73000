#pragma once
#include <string>

#include "engine/look/LookShaper.h"

class TLUT;
struct TLutOutputProfile;

// The files of a look for scene-linear footage: a shaper (TLookShaper),
// then the cube. Only some formats hold a 1D table before their cube over an
// input range of their own:
// - Cube 3D Davinci: LUT_1D_SIZE with LUT_1D_INPUT_RANGE, then LUT_3D_SIZE;
// - Academy/ASC CLF: a Range from the shaper's linear range to 0..1, a
//   LUT1D, a LUT3D;
// - Cinespace 3D: the pre-LUT, its input points evenly in stops;
// - Sony Imageworks spi3d: the cube, with the shaper as an spi1d of the same
//   name beside it (a pair a colour config chains).

// True when the profile's format holds a shaper.
bool HoldsShaper(const TLutOutputProfile& profile);

// The message refusing a profile whose format holds no shaper, naming the
// footage and the profiles that do.
std::string ShaperRefusal(const TLutOutputProfile& profile, const std::string& footage);

// The file names written for a shaped look saved as fileName: fileName,
// and for spi3d the spi1d beside it first.
std::string ShaperCompanion(const TLutOutputProfile& profile, const std::string& fileName);

// Writes the LUT (curve = shaper at shaper.Entries points over Low()..High(),
// then cube, from BuildShapedLookLut) in the profile's format. EError for a
// format that holds no shaper.
void SaveShapedLook(const TLutOutputProfile& profile, const TLUT& lut, const TLookShaper& shaper,
                    const std::string& fileName);

// Writes a LUT of a curve over 0..1 then a cube (lkCurveThenCube) in the
// profile's format, one that HoldsShaper: the curve as the 1D table before
// the cube (Cinespace: as each channel's pre-LUT; spi3d: as the spi1d beside
// it, ShaperCompanion). EError for another format.
void SaveCurveThenCube(const TLutOutputProfile& profile, const TLUT& lut, const std::string& fileName);
