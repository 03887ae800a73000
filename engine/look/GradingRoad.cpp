#include "engine/look/GradingRoad.h"

#include "engine/colour/ColorSpace.h"
#include "engine/footage/FootageLook.h"
#include "engine/lut/LUT.h"
#include "engine/picture/Image.h"

TLookSettings LookFromReference(const TImage& referenceCell, const TLookPositions& positions) {
    TColorStats stats{};
    ComputeColorStats(referenceCell, stats);
    return MakeLookSettings(stats, positions);
}

void BuildLookLut(const TLookSettings& settings, TLUT& lut, int size, const TFootageConversion* footage) {
    lut.Kind = lkCube;
    lut.CubeSize = size;
    if (footage == nullptr) {
        BuildLookCube(settings, settings.Factors, lut);
        return;
    }
    BuildFootageLookCube(settings, settings.Factors, *footage, lut);
    lut.Comments.push_back("input: " + footage->Label());
}

std::unique_ptr<TLUT> MakeLookLut(const TLookSettings& settings, int size, const TFootageConversion* footage) {
    auto lut = std::make_unique<TLUT>();
    BuildLookLut(settings, *lut, size, footage);
    return lut;
}

void GradePicture(const TLUT& look, TImage& picture, const TFootageConversion* footage) {
    if (footage != nullptr) ConvertFootageImage(*footage, picture);
    look.ApplyToImage(picture);
}
