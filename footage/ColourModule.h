#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/footage/FootageConversion.h"
#include "footage/FootageCatalog.h"

// The colour-management work of the footage spaces, done by OpenColorIO in
// the module "ombrane-ocio.so". OcioFootage.h is the interface the program
// uses; this is the narrow road between it and the module.
// A user's config as the module takes it: its text, read by the program's
// file layer, and a check for each file the config names, which the module
// makes before the library reads the file.
struct TConfigSource {
    std::string Path;  // names the config in messages; relative files start from its folder
    std::string Text;
    // Why the file cannot be read (not a regular file, too large, ...), or "".
    std::function<std::string(const std::string& fileName)> FileProblem;
};

class TColourModule {
public:
    virtual ~TColourModule() = default;
    // The built-in chain of a camera log.
    virtual std::unique_ptr<TFootageConversion> CameraLogConversion(const TCameraLog& log) const = 0;
    // The built-in chain of a scene-linear space (SceneLinear() is true).
    virtual std::unique_ptr<TFootageConversion> LinearConversion(const TLinearSpace& space) const = 0;
    // The colour spaces of the config that convert to its default display
    // and view within 0..1 (scene-linear ones too), in the config's order. EError when the config
    // does not load.
    virtual std::vector<std::string> UsableSpaces(const TConfigSource& config) const = 0;
    // The conversion of the config's colour space `name`. EError when the
    // config does not load, or the space is unknown or cannot be used.
    virtual std::unique_ptr<TFootageConversion> ConfigConversion(const std::string& name,
                                                                 const TConfigSource& config) const = 0;
};

// The module's entry: a C function with this name returning the module and
// putting this interface's version where its argument points.
inline constexpr const char* kColourModuleEntry = "OmbraneColourModule";
inline constexpr int kColourModuleVersion = 3;

// The module, loaded the first time. EError when it is missing.
const TColourModule& ColourModule();
