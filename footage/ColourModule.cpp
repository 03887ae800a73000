#include "footage/ColourModule.h"

#include "fileio/ModuleLoader.h"

// Defined by the module's code, which only a program with the modules linked in holds.
extern "C" const TColourModule* OmbraneColourModule(int* interfaceVersion);

const TColourModule& ColourModule() {
    return ModuleObject<TColourModule>("ombrane-ocio.so", kColourModuleEntry, kColourModuleVersion,
                                       "Converting footage colour spaces", OMBRANE_LINKED_ENTRY(OmbraneColourModule));
}
