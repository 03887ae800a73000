#pragma once
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
