#include "imageio/DeepCodec.h"

#include "fileio/ModuleLoader.h"

// Defined by the module's code, which only a program with the modules linked in holds.
extern "C" const TDeepCodec* OmbraneDeepCodec(int* interfaceVersion);

const TDeepCodec& DeepCodec() {
    return ModuleObject<TDeepCodec>("ombrane-oiio.so", kDeepCodecEntry, kDeepCodecVersion,
                                    "Reading and writing pictures at more than 8 bits",
                                    OMBRANE_LINKED_ENTRY(OmbraneDeepCodec));
}
