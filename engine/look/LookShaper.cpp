#include "engine/look/LookShaper.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "engine/footage/FootageLook.h"
#include "engine/lut/LUT.h"

namespace {

constexpr double kMidGrey = 0.18;

// The footage as the cube sees it: grid colours are shaper codes, turned
// back into linear values before the footage's own conversion.
class TShapedFootage : public TFootageConversion {
public:
    TShapedFootage(const TFootageConversion& footage, const TLookShaper& shaper) : footage_(footage), shaper_(shaper) {}
    std::string Label() const override { return footage_.Label(); }
    void Convert(float* rgb, std::size_t count) const override {
        for (std::size_t i = 0; i < count * 3; ++i) rgb[i] = static_cast<float>(shaper_.FromShaper(rgb[i]));
        footage_.Convert(rgb, count);
    }

private:
    const TFootageConversion& footage_;
    const TLookShaper& shaper_;
};

std::string Number(double value, const char* format) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

double TLookShaper::Low() const { return kMidGrey * std::exp2(LowStops); }
double TLookShaper::High() const { return kMidGrey * std::exp2(HighStops); }

double TLookShaper::ToShaper(double linear) const {
    if (!(linear > Low())) return 0.0;
    if (linear >= High()) return 1.0;
    return (std::log2(linear / kMidGrey) - LowStops) / (HighStops - LowStops);
}

double TLookShaper::FromShaper(double code) const {
    return kMidGrey * std::exp2(LowStops + code * (HighStops - LowStops));
}

std::string TLookShaper::Description() const {
    return "shaper: log2, " + Number(LowStops, "%+g") + " to " + Number(HighStops, "%+g") +
           " stops around 0.18 (linear " + Number(Low(), "%.9g") + " to " + Number(High(), "%.9g") + ")";
}

const TLookShaper& LinearFootageShaper() {
    static const TLookShaper shaper;
    return shaper;
}

void BuildShapedLookLut(const TLookSettings& settings, const TFootageConversion& footage, const TLookShaper& shaper,
                        int size, TLUT& lut) {
    lut.CubeSize = size;
    BuildFootageLookCube(settings, settings.Factors, TShapedFootage(footage, shaper), lut);
    const double step = (shaper.High() - shaper.Low()) / (shaper.Entries - 1);
    for (int i = 0; i < shaper.Entries; ++i) {
        const double v = shaper.ToShaper(shaper.Low() + i * step);
        lut.Curve[i] = TRGBDouble{v, v, v};
    }
    lut.CurveSize = shaper.Entries;
    lut.Kind = lkCurveThenCube;
    lut.Comments.push_back("input: " + footage.Label());
    lut.Comments.push_back(shaper.Description());
}
