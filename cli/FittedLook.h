#pragma once
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "engine/fit/LutFit.h"

struct TLutOutputProfile;
class TFootageConversion;

// What the commands that fit a look to pixels ('learn', 'match') share:
// the LUT file they write, the fit's options and the report of the fit.

// The LUT file a fitted look is written as: a 3D profile (--profile or the
// output's extension), its bit depth (--bits) and grid size (--size, where
// the profile and its writer take it). EUsageError otherwise.
struct TFittedOutput {
    const TLutOutputProfile* Profile = nullptr;
    int Size = 0;
    int Bits = 0;
};
TFittedOutput FittedOutputFrom(const TArguments& arguments, const std::string& output);

// Refuses an output that names one of the inputs (the same file by any
// path, or the same name when it does not exist yet).
void CheckOutputIsNoInput(const std::string& output, const std::vector<std::string>& inputs);

// Parses a whole finite decimal number (nothing else in the text); false
// when the text is not one.
bool ParseFiniteNumber(const std::string& text, double& value);

// --smoothness W: a number above 0 and up to 1000000, or the default.
double SmoothnessFrom(const TArguments& arguments);

// Refuses scene-linear footage: a fitted look maps 0..1 values.
void RefuseSceneLinear(const TFootageConversion* footage, const std::string& command);

// The value with a fixed number of decimals, with a "." point.
std::string Fixed(double value, int decimals);

// The report of a fit on standard output ("fit: mean ΔE2000 ..., 99th
// percentile ...", "covered: ... % of the grid's colour volume"), and the
// warning on standard error when too many pixels are far off.
void PrintFitReport(const TFitQuality& quality, const TFitCoverage& coverage);
