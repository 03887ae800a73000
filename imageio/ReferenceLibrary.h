#pragma once
#include <string>
#include <vector>

#include "Image.h"

// The library folder: the per-user setting "lib" (organisation "tarnwerk",
// application "Ombrane"); when it is empty, the folder "lib" beside the
// executable, or the per-user application data folder's "lib" when that one
// cannot be written. The default folder is created when missing; a folder
// named in the setting is used as it is. The setting is never written.
std::string ReadLibraryFolder();

// The choice behind ReadLibraryFolder with its three inputs given.
std::string ResolveLibraryFolder(const std::string& configured, const std::string& programFolder,
                                 const std::string& userDataFolder);

// The files of the reference library folder: one picture per reference,
// written by the program as JPEG of at most 150 x 150 pixels with the
// extension ".jpeg". Every failure is raised as EError with a message.
class TReferenceLibrary {
public:
    explicit TReferenceLibrary(std::string folder);

    const std::string& Folder() const { return folder_; }
    // Full path of a file of the folder.
    std::string PathOf(const std::string& fileName) const;

    // Names of the files in the folder (hidden ones included, directories
    // skipped) in the order the file system gives them; empty when the
    // folder is missing.
    std::vector<std::string> Files() const;

    // The caption shown for a file: its name without the last extension.
    static std::string CaptionOf(const std::string& fileName);
    // The library name a picture gets when added: its stem plus ".jpeg".
    std::string NameForAdd(const std::string& sourceFile) const;
    bool Contains(const std::string& fileName) const;

    // Loads the picture, fits it into 150 x 150 (Lanczos3, never enlarged)
    // and stores it as JPEG quality 100 under NameForAdd. An existing file of
    // that name is replaced: callers ask first.
    void Add(const std::string& sourceFile);

    // Renames a file to newCaption plus the file's own extension. Refuses an
    // empty caption, one with a path separator or characters the file system
    // refuses, and a name already taken (by that file name or by another
    // file shown under the same caption). Returns the new file name.
    std::string Rename(const std::string& fileName, const std::string& newCaption);

    // Deletes a file; a refusal carries the system's reason.
    void Remove(const std::string& fileName);

    // The file's 150 x 150 thumbnail cell (picture centred unscaled on white).
    TImage LoadCell(const std::string& fileName) const;

private:
    std::string folder_;
};

// What a picture becomes in the library and back: fitted into 150 x 150,
// JPEG quality 100 encoded and decoded again, exactly as Add followed by
// LoadImageFile gives it.
TImage ReduceLikeLibrary(const TImage& picture);
