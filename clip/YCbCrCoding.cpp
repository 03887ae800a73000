#include "YCbCrCoding.h"

#include <algorithm>
#include <cmath>

namespace {

struct TScale {
    double LumaOffset, LumaScale, ChromaOffset, ChromaScale;
};

TScale ScaleOf(const TYCbCrCoding& coding)
{
    const double step = std::ldexp(1.0, coding.Bits - 8);
    if (coding.FullRange) {
        const double top = std::ldexp(1.0, coding.Bits) - 1;
        return {0, top, std::ldexp(1.0, coding.Bits - 1), top};
    }
    return {16 * step, 219 * step, 128 * step, 224 * step};
}

TYCbCrCoding Coding(double kr, double kb, const char* name, int bits, bool fullRange)
{
    TYCbCrCoding coding;
    coding.Kr = kr;
    coding.Kb = kb;
    coding.Name = name;
    coding.Bits = bits;
    coding.FullRange = fullRange;
    return coding;
}

} // namespace

void TYCbCrCoding::ToRgb(double y, double cb, double cr, float rgb[3]) const
{
    const TScale s = ScaleOf(*this);
    const double luma = (y - s.LumaOffset) / s.LumaScale;
    const double blueDiff = (cb - s.ChromaOffset) / s.ChromaScale;
    const double redDiff = (cr - s.ChromaOffset) / s.ChromaScale;
    const double red = luma + 2 * (1 - Kr) * redDiff;
    const double blue = luma + 2 * (1 - Kb) * blueDiff;
    const double green = (luma - Kr * red - Kb * blue) / (1 - Kr - Kb);
    rgb[0] = static_cast<float>(red);
    rgb[1] = static_cast<float>(green);
    rgb[2] = static_cast<float>(blue);
}

void TYCbCrCoding::ToCodes(const float rgb[3], double& y, double& cb, double& cr) const
{
    const TScale s = ScaleOf(*this);
    const double red = rgb[0], green = rgb[1], blue = rgb[2];
    const double luma = Kr * red + (1 - Kr - Kb) * green + Kb * blue;
    y = s.LumaOffset + s.LumaScale * luma;
    cb = s.ChromaOffset + s.ChromaScale * ((blue - luma) / (2 * (1 - Kb)));
    cr = s.ChromaOffset + s.ChromaScale * ((red - luma) / (2 * (1 - Kr)));
}

int TYCbCrCoding::Quantise(double code) const
{
    const double top = std::ldexp(1.0, Bits) - 1;
    if (!(code > 0))
        return 0;
    return static_cast<int>(std::lround(std::min(code, top)));
}

std::string TYCbCrCoding::Description() const
{
    return Name + (FullRange ? " full" : " limited");
}

TYCbCrCoding Bt601Coding(int bits, bool fullRange)
{
    return Coding(0.299, 0.114, "BT.601", bits, fullRange);
}

TYCbCrCoding Bt709Coding(int bits, bool fullRange)
{
    return Coding(0.2126, 0.0722, "BT.709", bits, fullRange);
}

TYCbCrCoding Bt2020Coding(int bits, bool fullRange)
{
    return Coding(0.2627, 0.0593, "BT.2020", bits, fullRange);
}
