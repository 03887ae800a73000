#pragma once
#include <string>
#include <vector>

#include "engine/base/Error.h"
#include "engine/picture/Image.h"

// Raised when a picture is added without permission to replace and its name
// is taken at the moment it would be written.
class ELibraryNameTaken : public EError {
public:
    using EError::EError;
};

// The files of the reference library folder: one picture per reference,
// written by the program as JPEG of at most 150 x 150 pixels with the
// extension ".jpeg", and look documents (".olook"), kept as they are. Every operation names a file of the folder by its name
// alone (never a path) and touches nothing outside the folder. Every failure
// is raised as EError with a message.
class TReferenceLibrary {
public:
    explicit TReferenceLibrary(std::string folder);

    const std::string& Folder() const { return folder_; }
    // Full path of a file of the folder.
    std::string PathOf(const std::string& fileName) const;

    // Names of the files in the folder (hidden ones included, directories
    // and the temporary files of unfinished writes skipped) in the order the
    // file system gives them; empty when the folder is missing. A folder
    // that cannot be read raises EError with the system's reason.
    std::vector<std::string> Files() const;

    // The caption shown for a file: its name without the last extension.
    static std::string CaptionOf(const std::string& fileName);
    // The library name a picture gets when added: its stem plus ".jpeg"
    // (".olook" for a look document), with control characters replaced by '_'.
    std::string NameForAdd(const std::string& sourceFile) const;
    // True when fileName is a name (not a path) taken in the folder, by a
    // file or by a link, dangling or not.
    bool Contains(const std::string& fileName) const;

    // Loads the picture, fits it into 150 x 150 (Lanczos3, never enlarged)
    // and stores it as JPEG quality 100 under NameForAdd; a look document is
    // read (EError naming it when it does not) and stored byte for byte. With replace, an
    // existing file (or link) of that name is replaced; without, a name
    // taken when the file is put in place raises ELibraryNameTaken and
    // nothing is written.
    void Add(const std::string& sourceFile, bool replace = true);

    // Renames a library file to newCaption plus the file's own extension.
    // Refuses a fileName that is not a file of the library, an empty
    // caption, one with a path separator or control characters, and a name
    // already taken (by that file name or by another file shown under the
    // same caption), also when it is taken at the moment of the rename.
    // Returns the new file name.
    std::string Rename(const std::string& fileName, const std::string& newCaption);

    // Moves a library file to the desktop's trash and returns where it lies
    // there, so that Restore can bring it back. The trash is the freedesktop
    // one: $XDG_DATA_HOME/Trash (files/ and info/NAME.trashinfo with the
    // file's place and the time), or the trash of the file's own disk where
    // that is not the home folder's; a name taken there gets another. A link
    // is moved, never what it points to; a dangling link, which keeps
    // nothing, is removed (and an empty text returned). A refusal carries
    // the system's reason.
    std::string Remove(const std::string& fileName);
    // Puts a file that Remove moved to the trash back as fileName, and drops
    // its record from the trash. Never replaces: EError when the name is
    // taken again, or the file is no longer in the trash.
    void Restore(const std::string& fileName, const std::string& trashedFile);

    // The file's 150 x 150 thumbnail cell (picture centred unscaled on white);
    // for a look document, the cell of its look's reference.
    TImage LoadCell(const std::string& fileName) const;

private:
    // Raises EError unless fileName names an existing, non-folder entry of
    // the library folder.
    void RequireFile(const std::string& fileName) const;
    void RequireFolder() const;

    std::string folder_;
};

// What a picture becomes in the library and back: fitted into 150 x 150,
// JPEG quality 100 encoded and decoded again, exactly as Add followed by
// LoadImageFile gives it.
TImage ReduceLikeLibrary(const TImage& picture);
