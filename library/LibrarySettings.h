#pragma once
#include <string>

// Where the reference library lives: the per-user setting "lib"
// (organisation "tarnwerk", application "Ombrane"); when it is empty, the
// folder "lib" beside the executable if that folder already exists or the
// program runs from its build tree (a portable copy), otherwise the per-user
// data folder's "lib" (an installed program never writes into the folder of
// programs). The default folder is created when missing; a folder named in
// the setting is used as it is, a missing one is not created. The setting is
// never written. EError naming the settings file when it cannot be read (a
// named pipe, a device).
std::string ReadLibraryFolder();

// The choice behind ReadLibraryFolder with its three inputs given.
std::string ResolveLibraryFolder(const std::string& configured, const std::string& programFolder,
                                 const std::string& userDataFolder);

// Raises EError "The library "<folder>" is not a folder." when the name
// exists as something other than a folder (a missing one passes).
void CheckLibraryFolderKind(const std::string& folder);
