#include "imageio/DeepCodec.h"

#ifdef OMBRANE_LINKED_MODULES

// The module's code is linked into this program.
extern "C" const TDeepCodec* OmbraneDeepCodec(int* interfaceVersion);

const TDeepCodec& DeepCodec() {
    int version = 0;
    return *OmbraneDeepCodec(&version);
}

#else

#include "fileio/ModuleLoader.h"

const TDeepCodec& DeepCodec() {
    return ModuleObject<TDeepCodec>("ombrane-oiio.so", kDeepCodecEntry, kDeepCodecVersion,
                                    "Reading and writing pictures at more than 8 bits");
}

#endif
