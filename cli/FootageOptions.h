#pragma once
#include <memory>
#include <vector>

#include "cli/Arguments.h"
#include "engine/footage/FootageConversion.h"

// The conversion that the footage options of `look` and `grade`
// (--footage SPACE, --config FILE) name: null for the display default (no
// --footage); EUsageError for --config without --footage; EError for an
// unknown space, a config that does not load or a space that cannot be used.
std::unique_ptr<TFootageConversion> FootageFrom(const TArguments& arguments);
