#pragma once
#include <span>

#include "engine/look/LookStrength.h"
#include "engine/look/LookTransfer.h"

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

// The window's group box a slider sits in.
enum class TLookGroup { General, Saturation };

// One grading control with a position. The window builds its slider rows,
// the command line its options and help lines, and the settings their keys
// from the table kLookControls; adding a slider is a row there plus the
// engine's use of its position.
struct TLookControl {
    const char* Key;      // the option --KEY and the settings key
    const char* Caption;  // the caption of the window's row
    const char* Name;     // the control as messages name it
    TLookGroup Group;
    const char* Bar;  // object names of the track bar and its percent label
    const char* Label;
    // The help line of the option; nullptr when the option shares the help
    // line of the next one. A '\n' continues the text on an indented line.
    const char* Help;
    int Min;
    int Max;
    int Default;
    int TLookPositions::*Position;
    // The saturation factor the position sets (position / 100), or nullptr
    // for a control the engine takes otherwise (gain, strength).
    float TSaturationFactors::*Factor;
    // The look's strength doses what the control does: at strength 0 the
    // control cannot act (false for the strength itself).
    bool Dosed;
    // The window's status line shows the position with this text ("%1"
    // for the position), or nullptr when it does not show it.
    const char* Status;
};

// A grading switch: a check box of the window, an option without a value on
// the command line. The option sets the position to OptionValue; the
// default is the other value.
struct TLookSwitch {
    const char* Key;
    const char* Caption;
    const char* Box;   // object name of the check box
    const char* Hint;  // the check box's hint
    const char* Help;  // nullptr for a switch with no option of its own
    // The position it sets, or nullptr for a switch the look keeps outside
    // the positions (Match Preview Colours).
    bool TLookPositions::*Position;
    bool OptionValue;
    bool GeneralDefaults;  // the window's General "Defaults" restores it
};

// In the order of the command line's options and help lines; the window
// takes them group by group in this order.
std::span<const TLookControl> LookControls();
std::span<const TLookSwitch> LookSwitches();
// Match Preview Colours: the window's switch that matches the look to the
// frame before the reference's statistics go in. The look keeps it beside
// the positions; the command line matches to a frame it names (--match).
const TLookSwitch& MatchPreviewSwitch();

// Turns control positions into look settings: Gain = 5 / p (0 when p = 0),
// every factor = position / 100 as a 32-bit float (Overall from Saturation),
// Strength = its position / 100. Throws EError when a position lies outside
// its control's range (0..200, the strength 0..100).
TLookSettings MakeLookSettings(const TColorStats& stats, const TLookPositions& positions);
