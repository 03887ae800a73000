#pragma once
#include <memory>
#include <string>

#include "engine/lut/LUT.h"

class TLutChain;

// One slope/offset/power colour correction with a saturation.
struct TCDLChannel {
    float Slope = 1.0f;
    float Offset = 0.0f;
    float Power = 1.0f;
};

struct TCDLData {
    TCDLChannel Red, Green, Blue;
    float Saturation = 1.0f;
    std::string Id;
};

// Maps one colour through the correction, in 32-bit float arithmetic: slope,
// offset and power per channel (0 for a result of 0 or below), then the
// saturation around the plain mean of the three channels.
void ApplyCDL(const TCDLData& data, float inRed, float inGreen, float inBlue, float& outRed, float& outGreen,
              float& outBlue);

// The correction as other programs read a colour decision file by default:
// saturation around Rec. 709 luma, and values at or below zero passed
// through the power unchanged, with no clamp. Raises ELUTError when a power
// is not above 0.
std::shared_ptr<const TLutChain> CdlFileChain(const TCDLData& data);

// The LUT of a colour decision file: the chain, baked for the writers into
// a cube of 33 points (the comments are the caller's).
void SetCdlFileLut(const TCDLData& data, TLUT& lut);
