#include "ColourModule.h"

#include <mutex>

#include "ModuleLoader.h"

const TColourModule& ColourModule() {
    static std::once_flag once;
    static const TColourModule* module = nullptr;
    // A failed load raises out of call_once, which lets the next call try
    // again and raise its own message.
    std::call_once(once, [] {
        const auto entry = reinterpret_cast<TColourModuleEntry>(
            ModuleEntry("ombrane-ocio.so", kColourModuleEntry, "Converting footage colour spaces"));
        module = entry();
    });
    return *module;
}
