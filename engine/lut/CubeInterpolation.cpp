#include "engine/lut/CubeInterpolation.h"

#include <algorithm>
#include <string>

#include "engine/lut/CurveOperation.h"

namespace {

// The LUT's own tables as a chain: its curve, then its cube.
std::shared_ptr<TLutChain> TablesAsChain(const TLUT& lut) {
    auto chain = std::make_shared<TLutChain>();
    if (lut.Kind == lkCurveThenCube)
        chain->Append(std::make_shared<TCurveOperation>(std::vector<TRGBDouble>(lut.Curve, lut.Curve + lut.CurveSize),
                                                        TRGBDouble{0, 0, 0}, TRGBDouble{1, 1, 1}));
    auto table = std::make_shared<TLUT>();
    const int n = std::clamp(lut.CubeSize, 2, kMaxCubeSize);
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g) std::copy(lut.Cube[r][g], lut.Cube[r][g] + n, table->Cube[r][g]);
    table->CubeSize = n;
    table->Kind = lkCube;
    chain->Append(std::make_shared<TCubeOperation>(std::move(table), TCubeInterpolation::Trilinear));
    return chain;
}

}  // namespace

void UseCubeInterpolation(TLUT& lut, TCubeInterpolation interpolation) {
    if (interpolation == TCubeInterpolation::Trilinear && !lut.Chain) return;  // the tables' own lookup
    std::shared_ptr<const TLutChain> source = lut.Chain;
    if (!source) {
        if (lut.Kind != lkCube && lut.Kind != lkCurveThenCube) return;
        source = TablesAsChain(lut);
    }
    auto chain = std::make_shared<TLutChain>();
    for (std::size_t i = 0; i < source->Size(); ++i) {
        const auto* cube = dynamic_cast<const TCubeOperation*>(&source->At(i));
        if (cube != nullptr && !cube->InterpolationNamedByFile)
            chain->Append(cube->WithInterpolation(interpolation));
        else
            chain->Append(source->Share(i));
    }
    lut.Chain = std::move(chain);
}

bool CubeInterpolationFromName(const std::string& name, TCubeInterpolation& interpolation) {
    if (name == "trilinear")
        interpolation = TCubeInterpolation::Trilinear;
    else if (name == "tetrahedral")
        interpolation = TCubeInterpolation::Tetrahedral;
    else
        return false;
    return true;
}
