#include "footage/OcioFootage.h"

#include <cstdlib>

#include "engine/base/Error.h"
#include "fileio/FileRead.h"
#include "footage/ColourModule.h"
#include "footage/FootageCatalog.h"

namespace {

// No config comes near this; the largest known are a few megabytes.
constexpr std::uint64_t kMaxConfigBytes = 64ull * 1024 * 1024;

// The config read through the file layer: a regular file of sane size only.
TConfigSource ConfigSource(const std::string& path) {
    if (const std::string problem = RegularFileProblem(path, kMaxConfigBytes); !problem.empty())
        throw EError("The OpenColorIO config \"" + path + "\" does not load: " + problem);
    return {path, ReadFileBytes(path, kMaxConfigBytes),
            [](const std::string& file) { return RegularFileProblem(file, kMaxLutFileBytes); }};
}

}  // namespace

std::string FootageConfigPath(const std::string& configFile) {
    if (!configFile.empty()) return configFile;
    const char* environment = std::getenv("OCIO");
    return environment ? environment : "";
}

std::vector<TFootageSpaceEntry> FootageSpaces(const std::string& configPath) {
    std::vector<TFootageSpaceEntry> spaces = {{kDisplayFootageKey, kDisplayFootageLabel}};
    for (const TCameraLog& log : CameraLogs()) spaces.push_back({log.Key, log.Label});
    for (const TLinearSpace& space : LinearSpaces()) spaces.push_back({space.Key, space.Label});
    if (configPath.empty()) return spaces;
    for (const std::string& name : ColourModule().UsableSpaces(ConfigSource(configPath)))
        spaces.push_back({name, name});
    return spaces;
}

std::unique_ptr<TFootageConversion> MakeFootageConversion(const std::string& name, const std::string& configPath) {
    if (IsDisplayFootage(name)) return nullptr;
    if (const TCameraLog* log = FindCameraLog(name)) return ColourModule().CameraLogConversion(*log);
    if (const TLinearSpace* space = FindLinearSpace(name)) return ColourModule().LinearConversion(*space);
    if (configPath.empty())
        throw EError("Unknown footage space \"" + name +
                     "\": name a camera log, or a colour space of an OpenColorIO config.");
    return ColourModule().ConfigConversion(name, ConfigSource(configPath));
}
