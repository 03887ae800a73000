#pragma once
#include <string>
#include <string_view>

// Writes the bytes to a temporary file in the target's folder and renames it
// over the target only after every byte was written and the file was closed,
// so a failed write (full disk, read-only folder) never destroys an existing
// file. Throws EError naming the file and the system's reason.
void WriteFileAtomically(const std::string& fileName, std::string_view bytes);

// Raises EError with "<action> "<file>": <system reason for errnum>".
[[noreturn]] void RaiseFileError(const char* action, const std::string& fileName, int errnum);
