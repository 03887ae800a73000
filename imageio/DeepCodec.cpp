#include "DeepCodec.h"

#include <mutex>

#include "ModuleLoader.h"

const TDeepCodec& DeepCodec()
{
    static std::once_flag once;
    static const TDeepCodec* codec = nullptr;
    // A failed load raises out of call_once, which lets the next call try
    // again and raise its own message.
    std::call_once(once, [] {
        const auto entry = reinterpret_cast<TDeepCodecEntry>(
            ModuleEntry("ombrane-oiio.so", kDeepCodecEntry, "Reading and writing pictures at more than 8 bits"));
        codec = entry();
    });
    return *codec;
}
