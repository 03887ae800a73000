#include "GradingRoad.h"

#include "ColorSpace.h"
#include "Image.h"
#include "LUT.h"

TLookSettings LookFromReference(const TImage& referenceCell, const TLookPositions& positions) {
    TColorStats stats{};
    ComputeColorStats(referenceCell, stats);
    return MakeLookSettings(stats, positions);
}

void BuildLookLut(const TLookSettings& settings, TLUT& lut, int size) {
    lut.Kind = lkCube;
    lut.CubeSize = size;
    BuildLookCube(settings, settings.Factors, lut);
}

std::unique_ptr<TLUT> MakeLookLut(const TLookSettings& settings, int size) {
    auto lut = std::make_unique<TLUT>();
    BuildLookLut(settings, *lut, size);
    return lut;
}

void GradePicture(const TLUT& look, TImage& picture) { look.ApplyToImage(picture); }
