#pragma once
#include <stdexcept>
#include <string>

#include "formats/FormatRegistry.h"

// The output profile of the given name; a test that names one that does
// not exist fails.
inline const TLutOutputProfile& ProfileNamed(const std::string& name) {
    for (const auto& profile : LutOutputProfiles())
        if (profile->Name == name) return *profile;
    throw std::runtime_error("no profile " + name);
}
