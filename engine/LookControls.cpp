#include "LookControls.h"

#include <string>

#include "Error.h"

namespace {

constexpr double kGainNumerator = 5.0;
constexpr float kPositionScale = 100.0f;

int Checked(const char* name, int position, int low = kTrackBarMin, int high = kTrackBarMax) {
    if (position < low || position > high)
        throw EError(std::string("The ") + name + " position " + std::to_string(position) +
                     " is outside the range " + std::to_string(low) + " to " + std::to_string(high) + ".");
    return position;
}

float Factor(const char* name, int position) {
    return static_cast<float>(Checked(name, position)) / kPositionScale;
}

}  // namespace

TLookSettings MakeLookSettings(const TColorStats& stats, const TLookPositions& positions) {
    TLookSettings s;
    s.Stats = stats;
    const int gain = Checked("Color Gain", positions.Gain);
    s.Gain = gain > 0 ? kGainNumerator / gain : 0.0;
    s.AdvancedAnalysis = positions.AdvancedAnalysis;
    s.CompressSaturation = positions.CompressSaturation;
    TSaturationFactors& f = s.Factors;
    f.Overall = Factor("Overall saturation", positions.Saturation);
    f.Yellow = Factor("Yellow Tones", positions.Yellow);
    f.Orange = Factor("Orange Tones", positions.Orange);
    f.Red = Factor("Red Tones", positions.Red);
    f.Violet = Factor("Violet Tones", positions.Violet);
    f.Blue = Factor("Blue Tones", positions.Blue);
    f.Green = Factor("Green Tones", positions.Green);
    f.Low = Factor("Low Tones", positions.Low);
    f.Middle = Factor("Middle Tones", positions.Middle);
    f.High = Factor("Hi Tones", positions.High);
    s.Strength = Checked("Look Strength", positions.Strength, kStrengthMin, kStrengthMax) / 100.0;
    return s;
}
