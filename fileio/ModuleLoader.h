#pragma once
#include <mutex>
#include <string>

// Code modules loaded on first use. The parts of the program that need large
// libraries (pictures at more than 8 bits, colour management) are built as
// modules beside the program, so that a command which never touches them
// does not pay for loading those libraries when it starts.
//
// Returns the address of `entryName` in the module file `moduleName`, which
// is taken from the program's module folder (lib/ombrane beside the
// installed program, or modules/ of the build tree the program runs from) and
// loaded once; it stays loaded until the program ends. `purpose` says what the module is for in the
// message of the EError raised when it cannot be loaded.
void* ModuleEntry(const std::string& moduleName, const char* entryName, const std::string& purpose);

// The object that a module's entry returns, the module loaded the first
// time; one object per interface T. The entry is a C function taking the
// address of an int, where it puts the version of the interface its object
// has, and returning the object; a module whose entry gives another version
// than interfaceVersion (one built for another version of the program) is
// refused before its object is used. A failed load raises out of call_once,
// so that the next call tries again and raises its own message.
//
// linked is the entry itself where the module's code is linked into the
// program (OMBRANE_LINKED_ENTRY gives it), and then no file is loaded.
const void* ModuleInterface(const std::string& moduleName, const char* entryName, int interfaceVersion,
                            const std::string& purpose, const void* (*linked)(int*) = nullptr);

template <class T>
const T& ModuleObject(const char* moduleName, const char* entryName, int interfaceVersion, const char* purpose,
                      const T* (*linked)(int*) = nullptr) {
    static std::once_flag once;
    static const T* object = nullptr;
    std::call_once(once, [&] {
        const auto entry = reinterpret_cast<const void* (*)(int*)>(linked);
        object = static_cast<const T*>(ModuleInterface(moduleName, entryName, interfaceVersion, purpose, entry));
    });
    return *object;
}

// The module's entry function in a program built with the modules linked
// in, nullptr where they are loaded (the function then exists nowhere).
#ifdef OMBRANE_LINKED_MODULES
#define OMBRANE_LINKED_ENTRY(entry) (&entry)
#else
#define OMBRANE_LINKED_ENTRY(entry) nullptr
#endif
