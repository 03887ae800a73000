#include "registration/RegistrationModule.h"

#ifdef OMBRANE_LINKED_MODULES

// The module's code is linked into this program.
extern "C" const TRegistrationModule* OmbraneRegistrationModule(int* interfaceVersion);

const TRegistrationModule& RegistrationModule() {
    int version = 0;
    return *OmbraneRegistrationModule(&version);
}

#else

#include "fileio/ModuleLoader.h"

const TRegistrationModule& RegistrationModule() {
    return ModuleObject<TRegistrationModule>("ombrane-opencv.so", kRegistrationModuleEntry, kRegistrationModuleVersion,
                                             "Matching shots");
}

#endif
