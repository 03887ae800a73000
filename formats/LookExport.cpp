#include "formats/LookExport.h"

#include <memory>

#include "engine/look/GradingRoad.h"
#include "engine/look/LookShaper.h"
#include "engine/lut/LUT.h"
#include "formats/ShapedLookExport.h"

void ExportLook(const TLookSettings& settings, const TLutOutputProfile& profile, int size, int bits,
                const std::string& fileName, const TFootageConversion* footage) {
    if (size < 2 || size > kMaxCubeSize)
        throw EError("The LUT dimension size must be a number from 2 to " + std::to_string(kMaxCubeSize) + ".");
    TLUTFormat* format = GetLutFormat(profile.FormatIndex);
    if (format == nullptr) throw EError("The output profile \"" + profile.Name + "\" names no LUT format.");
    if (!format->Is3D)
        throw EError("The output profile \"" + profile.Name + "\" writes a 1D curve; a look needs a 3D LUT format.");
    const bool shaped = footage != nullptr && footage->SceneLinear();
    if (shaped && !HoldsShaper(profile)) throw EError(ShaperRefusal(profile, footage->Label()));
    // A LUT of its own, so the caller's LUT keeps its size and contents.
    std::unique_ptr<TLUT> lut = std::make_unique<TLUT>();
    if (shaped)
        BuildShapedLookLut(settings, *footage, LinearFootageShaper(), size, *lut);
    else
        BuildLookLut(settings, *lut, size, footage);
    // A matched look belongs to its frame; the file says which.
    if (settings.MatchSource)
        lut->Comments.push_back("matched to " +
                                (settings.MatchedTo.empty() ? std::string("a pasted picture") : settings.MatchedTo));
    if (shaped)
        SaveShapedLook(profile, *lut, LinearFootageShaper(), fileName);
    else
        format->SaveToFile(fileName, *lut, bits);
}
