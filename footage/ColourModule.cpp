#include "ColourModule.h"

#include "ModuleLoader.h"

const TColourModule& ColourModule() {
    return ModuleObject<TColourModule>("ombrane-ocio.so", kColourModuleEntry, "Converting footage colour spaces");
}
