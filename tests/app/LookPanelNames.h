#pragma once

// The look panel's saturation bars and its percentage labels by object name,
// written out here so that a test does not take them from the panel's own
// control table.
inline constexpr const char* kSaturationBars[] = {"tbrSaturation", "tbrYellow", "tbrOrange", "tbrRed",    "tbrViolet",
                                                  "tbrBlue",       "tbrGreen",  "tbrLow",    "tbrMiddle", "tbrHi"};
inline constexpr const char* kPercentLabels[] = {"lblColorGain", "lblSatOverall", "lblSatYellow", "lblSatOrange",
                                                 "lblSatRed",    "lblSatViolet",  "lblSatBlue",   "lblSatGreen",
                                                 "lblSatLow",    "lblSatMid",     "lblSatHi"};
