#include "clip/YCbCrCoding.h"

#include <algorithm>
#include <cmath>

namespace {

TYCbCrCoding Coding(double kr, double kb, const char* name, int bits, bool fullRange) {
    TYCbCrCoding coding;
    coding.Kr = kr;
    coding.Kb = kb;
    coding.Name = name;
    coding.Bits = bits;
    coding.FullRange = fullRange;
    return coding;
}

}  // namespace

TCodeScale TYCbCrCoding::Scale() const {
    const double step = std::ldexp(1.0, Bits - 8);
    if (FullRange) {
        const double top = std::ldexp(1.0, Bits) - 1;
        return {0, top, std::ldexp(1.0, Bits - 1), top};
    }
    return {16 * step, 219 * step, 128 * step, 224 * step};
}

int TYCbCrCoding::Quantise(double code) const {
    const double top = std::ldexp(1.0, Bits) - 1;
    if (!(code > 0)) return 0;
    return static_cast<int>(std::lround(std::min(code, top)));
}

std::string TYCbCrCoding::Description() const { return Name + (FullRange ? " full" : " limited"); }

TCodeTables::TCodeTables(const TYCbCrCoding& coding, int bits)
    : kr_(coding.Kr), kb_(coding.Kb), greenShare_(1 - coding.Kr - coding.Kb) {
    const TCodeScale s = coding.Scale();
    const std::size_t codes = std::size_t{1} << std::max(bits, coding.Bits);
    luma_.resize(codes);
    red_.resize(codes);
    blue_.resize(codes);
    for (std::size_t code = 0; code < codes; ++code) {
        const double c = static_cast<double>(code);
        luma_[code] = (c - s.LumaOffset) / s.LumaScale;
        const double diff = (c - s.ChromaOffset) / s.ChromaScale;
        red_[code] = 2 * (1 - coding.Kr) * diff;
        blue_[code] = 2 * (1 - coding.Kb) * diff;
    }
}

TYCbCrCoding Bt601Coding(int bits, bool fullRange) { return Coding(0.299, 0.114, "BT.601", bits, fullRange); }

TYCbCrCoding Bt709Coding(int bits, bool fullRange) { return Coding(0.2126, 0.0722, "BT.709", bits, fullRange); }

TYCbCrCoding Bt2020Coding(int bits, bool fullRange) { return Coding(0.2627, 0.0593, "BT.2020", bits, fullRange); }
