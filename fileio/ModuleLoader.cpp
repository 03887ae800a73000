#include "fileio/ModuleLoader.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <climits>
#include <cstdlib>
#include <mutex>

#include "engine/base/Error.h"

namespace {

// The folder of the running program, or "" when the system does not say.
std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return std::string();
    const std::string program(path, static_cast<std::size_t>(length));
    return program.substr(0, program.rfind('/'));
}

bool IsWithin(const std::string& path, const char* folder) {
    char real[PATH_MAX];
    if (realpath(folder, real) == nullptr) return false;
    const std::string prefix = std::string(real) + "/";
    return path.compare(0, prefix.size(), prefix) == 0;
}

// The module folder: beside the installed program, or in the build tree for
// a program that runs from there. Never the current folder or a search path.
std::string ModuleFolder() {
    const std::string program = ProgramFolder();
    if (!program.empty() && IsWithin(program + "/", OMBRANE_BUILD_DIR)) return OMBRANE_MODULE_BUILD_DIR;
    return program + "/" + OMBRANE_MODULE_INSTALL_REL;
}

std::string LoaderReason() {
    const char* reason = dlerror();
    return reason ? reason : "no reason given";
}

// Why the module file cannot be loaded before the loader opens it, or "":
// the loader's own open would wait for a writer on a named pipe. A file that
// cannot be opened is left to the loader, which says why.
std::string NotLoadable(const std::string& path) {
    const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (file < 0) return std::string();
    struct stat st {};
    const bool regular = fstat(file, &st) == 0 && S_ISREG(st.st_mode);
    close(file);
    return regular ? std::string() : "it is not a regular file";
}

}  // namespace

void* ModuleEntry(const std::string& moduleName, const char* entryName, const std::string& purpose) {
    // dlerror keeps one message a thread; the lock keeps the load and its
    // message together when two threads ask at once.
    static std::mutex lock;
    const std::lock_guard<std::mutex> held(lock);
    const std::string path = ModuleFolder() + "/" + moduleName;
    if (const std::string reason = NotLoadable(path); !reason.empty())
        throw EError(purpose + " needs the module \"" + path + "\", which cannot be loaded: " + reason);
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr)
        throw EError(purpose + " needs the module \"" + path + "\", which cannot be loaded: " + LoaderReason());
    void* entry = dlsym(module, entryName);
    if (entry == nullptr)
        throw EError(purpose + " needs the module \"" + path + "\", which is damaged: " + LoaderReason());
    return entry;
}

const void* ModuleInterface(const std::string& moduleName, const char* entryName, int interfaceVersion,
                            const std::string& purpose, const void* (*linked)(int*)) {
    using TEntry = const void* (*)(int*);
    const auto entry = linked ? linked : reinterpret_cast<TEntry>(ModuleEntry(moduleName, entryName, purpose));
    // An entry from before versions were given leaves the 0 in place.
    int given = 0;
    const void* object = entry(&given);
    if (given != interfaceVersion)
        throw EError(purpose + " needs the module \"" + ModuleFolder() + "/" + moduleName +
                     "\", which is of another version (interface " + std::to_string(given) + ", not " +
                     std::to_string(interfaceVersion) + ")");
    return object;
}
