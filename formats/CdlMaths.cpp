#include "formats/CdlMaths.h"

#include <cmath>

#include "engine/lut/CdlOperation.h"
#include "formats/LutError.h"

namespace {

float ApplySOP(const TCDLChannel& channel, float x) {
    const float v = x * channel.Slope + channel.Offset;
    return v > 0.0f ? std::pow(v, channel.Power) : 0.0f;
}

}  // namespace

void ApplyCDL(const TCDLData& data, float inRed, float inGreen, float inBlue, float& outRed, float& outGreen,
              float& outBlue) {
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

std::shared_ptr<const TLutChain> CdlFileChain(const TCDLData& data) {
    const TCDLChannel* channels[3] = {&data.Red, &data.Green, &data.Blue};
    TCdlOperation::TValues values;
    for (int c = 0; c < 3; ++c) {
        if (!(channels[c]->Power > 0))
            throw ELUTError("The Power of the correction \"" + data.Id + "\" must be above 0.");
        values.Slope[c] = channels[c]->Slope;
        values.Offset[c] = channels[c]->Offset;
        values.Power[c] = channels[c]->Power;
    }
    values.Saturation = data.Saturation;
    auto chain = std::make_shared<TLutChain>();
    chain->Append(std::make_unique<TCdlOperation>(TCdlStyle::FwdNoClamp, values));
    return chain;
}

void SetCdlFileLut(const TCDLData& data, TLUT& lut) {
    constexpr int kSize = 33;
    auto chain = CdlFileChain(data);
    for (int r = 0; r < kSize; ++r)
        for (int g = 0; g < kSize; ++g)
            for (int b = 0; b < kSize; ++b) {
                TRGBDouble colour{r / 32.0, g / 32.0, b / 32.0};
                chain->Apply(colour);
                lut.Cube[r][g][b] = colour;
            }
    lut.CubeSize = kSize;
    lut.Kind = lkCube;
    lut.Chain = std::move(chain);
}
