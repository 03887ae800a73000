#include "clip/ClipModule.h"

#ifdef OMBRANE_LINKED_MODULES

// The module's code is linked into this program.
extern "C" const TClipModule* OmbraneClipModule(int* interfaceVersion);

const TClipModule& ClipModule() {
    int version = 0;
    return *OmbraneClipModule(&version);
}

#else

#include "fileio/ModuleLoader.h"

const TClipModule& ClipModule() {
    return ModuleObject<TClipModule>("ombrane-ffmpeg.so", kClipModuleEntry, kClipModuleVersion,
                                     "Reading and writing clips");
}

#endif
