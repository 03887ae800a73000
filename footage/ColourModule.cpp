#include "ColourModule.h"

#ifdef OMBRANE_LINKED_MODULES

// The module's code is linked into this program.
extern "C" const TColourModule* OmbraneColourModule();

const TColourModule& ColourModule() {
    return *OmbraneColourModule();
}

#else

#include "ModuleLoader.h"

const TColourModule& ColourModule() {
    return ModuleObject<TColourModule>("ombrane-ocio.so", kColourModuleEntry, "Converting footage colour spaces");
}

#endif
