#pragma once
#include <memory>

#include "engine/look/LookControls.h"
#include "engine/look/LookTransfer.h"

class TFootageConversion;
class TImage;
class TLUT;

// The grid size of the look the window shows and grades pictures with.
constexpr int kLookCubeSize = 33;

// The one road from a reference to a graded picture, shared by the window
// and the command line:
//
//   reference cell -> statistics -> settings from the control positions
//     -> cube (BuildLookLut) -> applied to a picture (GradePicture)
//                            -> or written at a size and profile (ExportLook)
//
// The settings are what travels along the road: a new control joins
// TLookPositions, is carried into TLookSettings by MakeLookSettings and takes
// effect in BuildLookLut or GradePicture, so both front ends and the export
// follow without change of their own.

// The statistics of the reference cell with the control positions as look
// settings. EError for a position outside 0..200.
TLookSettings LookFromReference(const TImage& referenceCell, const TLookPositions& positions);

// Makes lut a cube of `size` points per axis holding the look; the LUT's
// curve is left alone. EError for a size outside 2..101. With footage, each
// grid colour is converted from that footage before the look, and the LUT's
// comments name the footage ("input: LABEL").
void BuildLookLut(const TLookSettings& settings, TLUT& lut, int size = kLookCubeSize,
                  const TFootageConversion* footage = nullptr);

// A LUT of its own holding the look at `size` points.
std::unique_ptr<TLUT> MakeLookLut(const TLookSettings& settings, int size = kLookCubeSize,
                                  const TFootageConversion* footage = nullptr);

// Grades a 24-bit picture in place with a look from BuildLookLut (built
// without footage); with footage the picture is first converted from it.
void GradePicture(const TLUT& look, TImage& picture, const TFootageConversion* footage = nullptr);
