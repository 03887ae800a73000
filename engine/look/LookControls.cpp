#include "engine/look/LookControls.h"

#include <string>

#include "engine/base/Error.h"

namespace {

constexpr double kGainNumerator = 5.0;
constexpr float kPositionScale = 100.0f;
constexpr double kStrengthScale = 100.0;

using P = TLookPositions;
using F = TSaturationFactors;
constexpr TLookGroup kGeneral = TLookGroup::General;
constexpr TLookGroup kSat = TLookGroup::Saturation;
constexpr int kMin = kTrackBarMin;
constexpr int kMax = kTrackBarMax;
constexpr int kDef = kTrackBarDefault;

constexpr TLookControl kControls[] = {
    {"gain", "Color Gain", "Color Gain", kGeneral, "tbrColorGain", "lblColorGain", "Color Gain", kMin, kMax, kDef,
     &P::Gain, nullptr, true, nullptr},
    {"saturation", "Overall", "Overall saturation", kSat, "tbrSaturation", "lblSatOverall", "overall saturation", kMin,
     kMax, kDef, &P::Saturation, &F::Overall, true, nullptr},
    {"yellow", "Yellow Tones", "Yellow Tones", kSat, "tbrYellow", "lblSatYellow", nullptr, kMin, kMax, kDef, &P::Yellow,
     &F::Yellow, true, nullptr},
    {"orange", "Orange Tones", "Orange Tones", kSat, "tbrOrange", "lblSatOrange", nullptr, kMin, kMax, kDef, &P::Orange,
     &F::Orange, true, nullptr},
    {"red", "Red Tones", "Red Tones", kSat, "tbrRed", "lblSatRed", nullptr, kMin, kMax, kDef, &P::Red, &F::Red, true,
     nullptr},
    {"violet", "Violet Tones", "Violet Tones", kSat, "tbrViolet", "lblSatViolet", nullptr, kMin, kMax, kDef, &P::Violet,
     &F::Violet, true, nullptr},
    {"blue", "Blue Tones", "Blue Tones", kSat, "tbrBlue", "lblSatBlue", nullptr, kMin, kMax, kDef, &P::Blue, &F::Blue,
     true, nullptr},
    {"green", "Green Tones", "Green Tones", kSat, "tbrGreen", "lblSatGreen", "saturation of the six hue families", kMin,
     kMax, kDef, &P::Green, &F::Green, true, nullptr},
    {"low", "Low Tones", "Low Tones", kSat, "tbrLow", "lblSatLow", nullptr, kMin, kMax, kDef, &P::Low, &F::Low, true,
     nullptr},
    {"middle", "Middle Tones", "Middle Tones", kSat, "tbrMiddle", "lblSatMid", nullptr, kMin, kMax, kDef, &P::Middle,
     &F::Middle, true, nullptr},
    {"high", "Hi Tones", "Hi Tones", kSat, "tbrHi", "lblSatHi", "saturation of low, middle and high tones", kMin, kMax,
     kDef, &P::High, &F::High, true, nullptr},
    {"strength", "Look Strength", "Look Strength", kGeneral, "tbrStrength", "lblStrength",
     "Look Strength, 0..100 (default 100): 0 leaves colours as\nthey are, 50 goes half the way to the look",
     kStrengthMin, kStrengthMax, kStrengthDefault, &P::Strength, nullptr, false, "strength %1%"},
};

constexpr TLookSwitch kSwitches[] = {
    {"basic-analysis", "Advanced Color Analysis", "cbxLevels",
     "Calculate the color statistics for Low, Middle and High ranges separately",
     "turn \"Advanced Color Analysis\" off", &P::AdvancedAnalysis, false, true},
    {"compress-saturation", "Compress Saturation", "CheckBox1",
     "Compress the saturation of incoming colors to prevent the oversaturation", "turn \"Compress Saturation\" on",
     &P::CompressSaturation, true, false},
};

constexpr TLookSwitch kMatchPreview = {"match-preview",
                                       "Match Preview Colours",
                                       "cbxMatchPreview",
                                       "Take the preview's own color cast and spread out before the reference's go in",
                                       nullptr,
                                       nullptr,
                                       true,
                                       false};

int Checked(const TLookControl& control, int position) {
    if (position < control.Min || position > control.Max)
        throw EError(std::string("The ") + control.Name + " position " + std::to_string(position) +
                     " is outside the range " + std::to_string(control.Min) + " to " + std::to_string(control.Max) +
                     ".");
    return position;
}

}  // namespace

std::span<const TLookControl> LookControls() { return kControls; }

std::span<const TLookSwitch> LookSwitches() { return kSwitches; }

const TLookSwitch& MatchPreviewSwitch() { return kMatchPreview; }

TLookSettings MakeLookSettings(const TColorStats& stats, const TLookPositions& positions) {
    TLookSettings s;
    s.Stats = stats;
    for (const TLookControl& control : kControls) {
        const int position = Checked(control, positions.*control.Position);
        if (control.Factor) s.Factors.*control.Factor = static_cast<float>(position) / kPositionScale;
    }
    s.Gain = positions.Gain > 0 ? kGainNumerator / positions.Gain : 0.0;
    s.AdvancedAnalysis = positions.AdvancedAnalysis;
    s.CompressSaturation = positions.CompressSaturation;
    s.Strength = positions.Strength / kStrengthScale;
    return s;
}
