#include "CdlMaths.h"

#include <cmath>

namespace {

float ApplySOP(const TCDLChannel& channel, float x)
{
    const float v = x * channel.Slope + channel.Offset;
    return v > 0.0f ? std::pow(v, channel.Power) : 0.0f;
}

} // namespace

void ApplyCDL(const TCDLData& data, float inRed, float inGreen, float inBlue,
              float& outRed, float& outGreen, float& outBlue)
{
    const float red = ApplySOP(data.Red, inRed);
    const float green = ApplySOP(data.Green, inGreen);
    const float blue = ApplySOP(data.Blue, inBlue);
    const float sum = red + green + blue;
    const float luma = sum / 3.0f;
    const float rest = 1.0f - data.Saturation;
    const float grey = rest * luma;
    outRed = red * data.Saturation + grey;
    outGreen = green * data.Saturation + grey;
    outBlue = blue * data.Saturation + grey;
}
