#include "OcioFootage.h"

#include <cstdlib>

#include "ColourModule.h"
#include "Error.h"
#include "FootageCatalog.h"

std::string FootageConfigPath(const std::string& configFile) {
    if (!configFile.empty()) return configFile;
    const char* environment = std::getenv("OCIO");
    return environment ? environment : "";
}

std::vector<TFootageSpaceEntry> FootageSpaces(const std::string& configPath) {
    std::vector<TFootageSpaceEntry> spaces = {{kDisplayFootageKey, kDisplayFootageLabel}};
    for (const TCameraLog& log : CameraLogs()) spaces.push_back({log.Key, log.Label});
    if (configPath.empty()) return spaces;
    for (const std::string& name : ColourModule().UsableSpaces(configPath)) spaces.push_back({name, name});
    return spaces;
}

std::unique_ptr<TFootageConversion> MakeFootageConversion(const std::string& name,
                                                          const std::string& configPath) {
    if (IsDisplayFootage(name)) return nullptr;
    if (const TCameraLog* log = FindCameraLog(name)) return ColourModule().CameraLogConversion(*log);
    if (configPath.empty())
        throw EError("Unknown footage space \"" + name +
                     "\": name a camera log, or a colour space of an OpenColorIO config.");
    return ColourModule().ConfigConversion(name, configPath);
}
