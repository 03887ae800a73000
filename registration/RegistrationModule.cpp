#include "registration/RegistrationModule.h"

#include "fileio/ModuleLoader.h"

// Defined by the module's code, which only a program with the modules linked in holds.
extern "C" const TRegistrationModule* OmbraneRegistrationModule(int* interfaceVersion);

const TRegistrationModule& RegistrationModule() {
    return ModuleObject<TRegistrationModule>("ombrane-opencv.so", kRegistrationModuleEntry, kRegistrationModuleVersion,
                                             "Matching shots", OMBRANE_LINKED_ENTRY(OmbraneRegistrationModule));
}
