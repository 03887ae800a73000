#pragma once
#include <QString>
#include <memory>

#include "engine/look/LookControls.h"
#include "engine/lut/LUT.h"

// A look a session grades with: the chosen reference (its library
// file) or a previewed LUT, the control positions with the strength, the
// footage space (its entry in the Footage combo) and Match Preview Colours.
// Undo steps and snapshots keep looks; a previewed LUT is shared, not copied.
struct TLook {
    QString Reference;
    std::shared_ptr<const TLUT> Lut;
    QString LutName;
    TLookPositions Positions;
    int Footage = 0;
    bool Match = false;
};

bool SameLook(const TLook& a, const TLook& b);
// The control of the table that alone tells two looks apart, or -1 when they
// differ otherwise, in more than one control or not at all.
int OnlyControlChanged(const TLook& from, const TLook& to);
