#pragma once
#include <string>

#include "engine/colour/ColorSpace.h"
#include "engine/lut/LUT.h"

class TLUT;

// Saturation factors, 1.0 leaves saturation unchanged. The hue factors are
// anchored at Red 0 (and 360), Orange 30, Yellow 60, Green 120, Blue 240,
// Violet 300 degrees; the tone factors at lightness 0, 0.5 and 1.
struct TSaturationFactors {
    float Overall = 1.0f;
    float Yellow = 1.0f;
    float Orange = 1.0f;
    float Red = 1.0f;
    float Violet = 1.0f;
    float Blue = 1.0f;
    float Green = 1.0f;
    float Low = 1.0f;
    float Middle = 1.0f;
    float High = 1.0f;
};

// Everything a look is built from.
struct TLookSettings {
    TColorStats Stats;                // statistics of the reference image
    double Gain = 0.05;               // chroma gain divisor; 0 switches the transfer off
    bool AdvancedAnalysis = true;     // blend the ranges by luma, else their plain average
    bool CompressSaturation = false;  // compress saturation above 0.4 before the transfer
    TSaturationFactors Factors;
    // Look Strength 0..1: each entry moves from its grid colour toward the
    // look by this share (ApplyLookStrength); 1 is the look as built.
    double Strength = 1.0;
    // Match Preview Colours: SourceStats are the statistics of the frame the
    // look is matched to (FrameStatistics); its own cast and spread are
    // taken out before the reference's are put in (TransferChroma).
    bool MatchSource = false;
    TColorStats SourceStats;
    // The frame's file name without its folder, for the comment line of
    // exported LUTs ("matched to NAME"); empty for a pasted frame.
    std::string MatchedTo;
};

constexpr int kMinLookCubeSize = 2;

// Fills Cube entries [0..N-1]^3, N = lut.CubeSize, with the look: every grid
// colour's chroma is scaled by the reference's spread and moved to its mean,
// then its saturation is adjusted by the factors, and last the look is dosed
// by its strength. Nothing else of the LUT is changed. Throws EError when CubeSize is outside 2..101.
void BuildLookCube(const TLookSettings& settings, const TSaturationFactors& factors, TLUT& lut);

// The look at one colour (channels 0..1): exactly what BuildLookCube stores
// at a grid point of that colour before the look strength doses it, so a
// cube can be filled at other points.
TRGBDouble LookColour(const TLookSettings& settings, const TSaturationFactors& factors, const TRGBDouble& colour);

// The saturation stage of one colour (in place).
void AdjustSaturation(const TSaturationFactors& factors, double& R, double& G, double& B);
