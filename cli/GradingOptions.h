#pragma once
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "engine/look/LookControls.h"

// The grading options of the commands that build a look: one for each
// slider and each switch of the look controls, and their help lines.

// An option for each slider and each switch of the look controls.
std::vector<TOptionSpec> GradingOptionSpecs();
// Slider positions from the grading options (100 and the window's switch
// defaults where an option is absent).
TLookPositions PositionsFrom(const TArguments& arguments);
// The options' title, naming each control's range and default, and their
// help lines, in their order.
std::string GradingOptionsHelp();
