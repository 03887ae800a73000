#pragma once
#include <memory>
#include <string>
#include <vector>

#include "FootageCatalog.h"
#include "FootageConversion.h"

// The colour-management work of the footage spaces, done by OpenColorIO in
// the module "ombrane-ocio.so". OcioFootage.h is the interface the program
// uses; this is the narrow road between it and the module.
class TColourModule {
public:
    virtual ~TColourModule() = default;
    // The built-in chain of a camera log.
    virtual std::unique_ptr<TFootageConversion> CameraLogConversion(const TCameraLog& log) const = 0;
    // The colour spaces of the config at `configPath` that convert to its
    // default display and view within 0..1, in the config's order. EError
    // when the config does not load.
    virtual std::vector<std::string> UsableSpaces(const std::string& configPath) const = 0;
    // The conversion of the config's colour space `name`. EError when the
    // config does not load, or the space is unknown or cannot be used.
    virtual std::unique_ptr<TFootageConversion> ConfigConversion(const std::string& name,
                                                                 const std::string& configPath) const = 0;
};

// The module's entry: a C function with this name returning the module.
inline constexpr const char* kColourModuleEntry = "OmbraneColourModule";

// The module, loaded the first time. EError when it is missing.
const TColourModule& ColourModule();
