#pragma once
#include "LookStrength.h"
#include "LookTransfer.h"

constexpr int kTrackBarMin = 0;
constexpr int kTrackBarMax = 200;
constexpr int kTrackBarDefault = 100;

// The positions of the grading controls, as both front ends hold them:
// track bars run 0..200 with 100 as the neutral default.
struct TLookPositions {
    int Gain = kTrackBarDefault;
    int Saturation = kTrackBarDefault;
    int Yellow = kTrackBarDefault;
    int Orange = kTrackBarDefault;
    int Red = kTrackBarDefault;
    int Violet = kTrackBarDefault;
    int Blue = kTrackBarDefault;
    int Green = kTrackBarDefault;
    int Low = kTrackBarDefault;
    int Middle = kTrackBarDefault;
    int High = kTrackBarDefault;
    bool AdvancedAnalysis = true;
    bool CompressSaturation = false;
    int Strength = kStrengthDefault;  // Look Strength, 0..100
};

// Turns control positions into look settings: Gain = 5 / p (0 when p = 0),
// every factor = position / 100 as a 32-bit float (Overall from Saturation),
// Strength = its position / 100. Throws EError when a position lies outside
// 0..200 (the strength outside 0..100).
TLookSettings MakeLookSettings(const TColorStats& stats, const TLookPositions& positions);
