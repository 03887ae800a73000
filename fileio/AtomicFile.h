#pragma once
#include <functional>
#include <string>
#include <string_view>

#include "engine/base/Error.h"

// Every output of the program (LUT files and pictures) is written here: to a
// temporary file in the target's folder, flushed to the disk, and renamed
// over the target only when complete. A failed write (full disk, read-only
// folder, interruption) keeps the old file and removes the temporary one.
//
// The rules for the target:
// - a write-protected file (no write permission for this user, or no write
//   permission bit at all) is refused, not replaced;
// - a symbolic link is replaced by the new file, as mv does: the file the
//   link points to is never written;
// - an existing regular file passes its permission bits on to the new one.
// On SIGINT, SIGTERM or SIGHUP during a write the temporary file is removed
// (every one of every thread) before the program ends (after SIGKILL it stays; IsTemporaryFileName
// recognises it). Every failure raises EError naming the file and the
// system's reason.
void WriteFileAtomically(const std::string& fileName, std::string_view bytes);

// As WriteFileAtomically for content written in pieces: content writes to
// the temporary file's descriptor and returns 0 or the errno of a failure.
// When it fails or raises, the old file stays and the temporary one goes.
void WriteFileAtomicallyFrom(const std::string& fileName, const std::function<int(int fd)>& content);

// Writes every byte to the descriptor, retrying after interruptions and
// short writes; 0 or the errno of the failure (no progress counts as a full
// disk).
int WriteFully(int fd, std::string_view bytes);

// As WriteFileAtomically, but the final step never replaces anything: when
// the name exists at that moment (whatever was checked before), nothing is
// written and the result is false.
bool WriteNewFileAtomically(const std::string& fileName, std::string_view bytes);

// Raised by a write that must not replace when its name exists at the final
// step.
class EFileExists : public EError {
public:
    using EError::EError;
};

// While an object of this class lives, the writes of its thread through
// WriteFileAtomically and WriteFileAtomicallyFrom never replace anything:
// when the name exists at the final step (whatever was checked before,
// another program may have written it since), nothing is written and
// EFileExists is raised.
class TNoReplacingWrites {
public:
    TNoReplacingWrites();
    ~TNoReplacingWrites();
    TNoReplacingWrites(const TNoReplacingWrites&) = delete;
    TNoReplacingWrites& operator=(const TNoReplacingWrites&) = delete;

private:
    bool previous_;
};

// True for the name (without folder) of a temporary file these functions
// write: ".<target name, maybe shortened>.~ombrane-<pid>-<n>.tmp".
bool IsTemporaryFileName(std::string_view name);

// Renames within one file system without ever replacing an existing file;
// false (nothing changed) when newName exists. Other failures raise EError
// naming oldName and the system's reason.
bool RenameWithoutReplacing(const std::string& oldName, const std::string& newName);

// Raises EError with "<action> "<file>": <system reason for errnum>".
[[noreturn]] void RaiseFileError(const char* action, const std::string& fileName, int errnum);
