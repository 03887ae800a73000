#include "clip/ClipModule.h"

#include "fileio/ModuleLoader.h"

// Defined by the module's code, which only a program with the modules linked in holds.
extern "C" const TClipModule* OmbraneClipModule(int* interfaceVersion);

const TClipModule& ClipModule() {
    return ModuleObject<TClipModule>("ombrane-ffmpeg.so", kClipModuleEntry, kClipModuleVersion,
                                     "Reading and writing clips", OMBRANE_LINKED_ENTRY(OmbraneClipModule));
}
