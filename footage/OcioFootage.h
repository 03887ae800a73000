#pragma once
#include <memory>
#include <string>
#include <vector>

#include "engine/footage/FootageConversion.h"

// The footage spaces a user can choose, and their conversions to display
// colours through OpenColorIO processors built once per space.

// One entry of the footage space list.
struct TFootageSpaceEntry {
    std::string Key;    // what --footage takes
    std::string Label;  // what the window shows
};

// The config to read the user's colour spaces from: `configFile` when it is
// not empty, else the OCIO environment variable, else "" (none).
std::string FootageConfigPath(const std::string& configFile);

// The display default, the camera logs, the scene-linear spaces, then, for a config path that is not
// empty, every colour space of that config that converts to its default
// display and view within 0..1. EError when the config does not load.
std::vector<TFootageSpaceEntry> FootageSpaces(const std::string& configPath);

// The conversion of the footage space `name` (a key or label of the list):
// null for the display default; a camera log's or linear space's built-in
// chain; or a colour space of the config at `configPath`. EError for an
// unknown space, a config that does not load, a data space or a config whose
// display results are not 0..1.
std::unique_ptr<TFootageConversion> MakeFootageConversion(const std::string& name, const std::string& configPath);
