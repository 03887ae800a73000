#include "footage/ColourModule.h"

#ifdef OMBRANE_LINKED_MODULES

// The module's code is linked into this program.
extern "C" const TColourModule* OmbraneColourModule(int* interfaceVersion);

const TColourModule& ColourModule() {
    int version = 0;
    return *OmbraneColourModule(&version);
}

#else

#include "fileio/ModuleLoader.h"

const TColourModule& ColourModule() {
    return ModuleObject<TColourModule>("ombrane-ocio.so", kColourModuleEntry, kColourModuleVersion,
                                       "Converting footage colour spaces");
}

#endif
