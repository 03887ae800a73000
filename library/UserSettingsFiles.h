#pragma once
#include <string>

// The files the user's settings are read from (this program's and the
// organisation's, where the settings store keeps them) are checked before
// anything reads them: a named pipe or a device there would keep the
// settings store waiting for ever, and no settings file comes near the size
// limit.

// The checks for the files in a folder: "" when each is missing or a
// readable regular file of at most the limit, else the first problem as
// "Cannot read file "FILE": REASON." naming it.
std::string SettingsFilesProblem(const std::string& folder);

// The same for the folder the settings store uses now.
std::string UserSettingsProblem();

// From now on this run reads and keeps its settings in an empty folder of
// its own, removed at the end, and never touches the user's settings files.
void SetUserSettingsAside();
