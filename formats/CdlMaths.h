#pragma once
#include <string>

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
void ApplyCDL(const TCDLData& data, float inRed, float inGreen, float inBlue,
              float& outRed, float& outGreen, float& outBlue);
