#include "DeepCodec.h"

#include "ModuleLoader.h"

const TDeepCodec& DeepCodec()
{
    return ModuleObject<TDeepCodec>("ombrane-oiio.so", kDeepCodecEntry,
                                    "Reading and writing pictures at more than 8 bits");
}
