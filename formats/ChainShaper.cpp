#include "formats/ChainShaper.h"

#include <cmath>
#include <cstddef>
#include <vector>

#include "engine/lut/LUT.h"
#include "engine/lut/LutChain.h"

namespace {

// How many leading operations work on each channel alone.
std::size_t ShaperLength(const TLutChain& chain) {
    std::size_t length = 0;
    while (length < chain.Size() && chain.At(length).PerChannel()) ++length;
    return length;
}

bool InsideUnit(double v) { return v >= 0.0 && v <= 1.0; }

}  // namespace

bool SplitChainAtShaper(const TLutChain& chain, int cubeSize, TLUT& lut) {
    const std::size_t shaper = ShaperLength(chain);
    if (shaper == 0 || shaper == chain.Size() || cubeSize < 2 || cubeSize > kMaxCubeSize) return false;
    std::vector<TRGBDouble> curve(kChainShaperEntries);
    for (int i = 0; i < kChainShaperEntries; ++i) {
        const double x = static_cast<double>(i) / (kChainShaperEntries - 1);
        TRGBDouble colour{x, x, x};
        for (std::size_t k = 0; k < shaper; ++k) chain.At(k).Apply(colour);
        if (!InsideUnit(colour.Red) || !InsideUnit(colour.Green) || !InsideUnit(colour.Blue)) return false;
        curve[i] = colour;
    }
    const double last = cubeSize - 1;
    for (int r = 0; r < cubeSize; ++r)
        for (int g = 0; g < cubeSize; ++g)
            for (int b = 0; b < cubeSize; ++b) {
                TRGBDouble colour{r / last, g / last, b / last};
                for (std::size_t k = shaper; k < chain.Size(); ++k) chain.At(k).Apply(colour);
                lut.Cube[r][g][b] = colour;
            }
    std::copy(curve.begin(), curve.end(), lut.Curve);
    lut.CurveSize = kChainShaperEntries;
    lut.CubeSize = cubeSize;
    lut.Kind = lkCurveThenCube;
    return true;
}
