#pragma once
#include <memory>

#include "engine/look/LookControls.h"
#include "engine/look/LookTransfer.h"
#include "engine/lut/LUT.h"

// The look cube of the given size that the settings make.
inline std::unique_ptr<TLUT> LookCubeOf(const TLookSettings& s, int size) {
    auto lut = std::make_unique<TLUT>();
    lut->Kind = lkCube;
    lut->CubeSize = size;
    BuildLookCube(s, s.Factors, *lut);
    return lut;
}
