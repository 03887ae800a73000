#include "library/ReferenceLibrary.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QString>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "engine/picture/ImageResize.h"
#include "engine/picture/Thumbnail.h"
#include "fileio/AtomicFile.h"
#include "fileio/FileRead.h"
#include "formats/FormatText.h"
#include "grading/LookDocument.h"
#include "imageio/ImageFile.h"

namespace {

// The home trash, $XDG_DATA_HOME/Trash, made (only its owner may enter it)
// where it is missing. Qt would otherwise take the working folder as the
// trash when it cannot make it.
void RequireHomeTrash(const std::string& fileName) {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const std::string trash = (data + "/Trash").toStdString();
    if (!data.isEmpty() && QDir().mkpath(data)) mkdir(trash.c_str(), 0700);
    struct stat st {};
    if (data.isEmpty() || stat(trash.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || access(trash.c_str(), W_OK) != 0)
        throw EError("Cannot move " + Quoted(fileName) + " to the trash: the trash folder \"" + trash +
                     "\" cannot be made or written");
}

bool IsControl(char c) { return static_cast<unsigned char>(c) < 32 || c == 127; }

bool ValidCaption(const std::string& caption) {
    if (caption.find_first_not_of(" \t") == std::string::npos || caption == "." || caption == "..") return false;
    for (const char c : caption)
        if (c == '/' || c == '\\' || IsControl(c)) return false;
    return true;
}

// A name that can stand for a file of the folder: no path, no folder
// reference, no temporary file of an unfinished write.
bool IsPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           !IsTemporaryFileName(name);
}

// The type of a directory entry, following links; a dangling link counts as
// a file, as the folder listing of the window always showed it.
bool IsFolderEntry(int folderFd, const dirent& entry) {
    if (entry.d_type == DT_DIR) return true;
    if (entry.d_type != DT_UNKNOWN && entry.d_type != DT_LNK) return false;
    struct stat st {};
    return fstatat(folderFd, entry.d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

class TFolderHandle {
public:
    explicit TFolderHandle(DIR* dir) : dir_(dir) {}
    ~TFolderHandle() {
        if (dir_) closedir(dir_);
    }
    TFolderHandle(const TFolderHandle&) = delete;
    TFolderHandle& operator=(const TFolderHandle&) = delete;
    DIR* Get() const { return dir_; }

private:
    DIR* dir_;
};

// A picture as the library keeps it: fitted into 150 x 150, JPEG quality 100.
std::string LibraryJpeg(const std::string& sourceFile) {
    TImage picture;
    LoadImageFile(sourceFile, picture);
    const TImage reduced = FitImage(picture, kThumbnailSize, kThumbnailSize);
    picture = TImage();
    return EncodeJpeg(reduced, 100);
}

// A look document is kept as it is, once it reads: read once, so that what
// is checked is what is kept.
std::string LookDocumentBytes(const std::string& sourceFile) {
    const std::string text = ReadFileBytes(sourceFile, kMaxLookDocumentBytes);
    LookDocumentFromText(text, sourceFile);
    return text;
}

}  // namespace

TReferenceLibrary::TReferenceLibrary(std::string folder) : folder_(std::move(folder)) {}

std::string TReferenceLibrary::PathOf(const std::string& fileName) const {
    if (folder_.empty() || folder_.back() == '/') return folder_ + fileName;
    return folder_ + "/" + fileName;
}

std::vector<std::string> TReferenceLibrary::Files() const {
    std::vector<std::string> names;
    if (folder_.empty()) return names;
    TFolderHandle dir(opendir(folder_.c_str()));
    if (!dir.Get()) {
        if (errno == ENOENT) return names;
        RaiseFileError("Cannot read the library folder", folder_, errno);
    }
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir.Get());
        if (!entry) {
            if (errno != 0) RaiseFileError("Cannot read the library folder", folder_, errno);
            break;
        }
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || IsTemporaryFileName(name) || IsFolderEntry(dirfd(dir.Get()), *entry))
            continue;
        names.push_back(name);
    }
    return names;
}

std::string TReferenceLibrary::CaptionOf(const std::string& fileName) {
    const std::size_t dot = fileName.rfind('.');
    return dot == std::string::npos || dot == 0 ? fileName : fileName.substr(0, dot);
}

std::string TReferenceLibrary::NameForAdd(const std::string& sourceFile) const {
    const std::size_t slash = sourceFile.rfind('/');
    std::string caption = CaptionOf(slash == std::string::npos ? sourceFile : sourceFile.substr(slash + 1));
    for (char& c : caption)
        if (IsControl(c)) c = '_';
    return caption + (IsLookDocumentName(sourceFile) ? kLookDocumentExtension : ".jpeg");
}

bool TReferenceLibrary::Contains(const std::string& fileName) const {
    struct stat st {};
    return !folder_.empty() && IsPlainName(fileName) && lstat(PathOf(fileName).c_str(), &st) == 0;
}

void TReferenceLibrary::RequireFolder() const {
    if (folder_.empty()) throw EError("No library folder is set.");
}

void TReferenceLibrary::RequireFile(const std::string& fileName) const {
    RequireFolder();
    if (fileName.find('/') != std::string::npos)
        throw EError("A library picture is named by its caption, not by a path: " + Quoted(fileName) + ".");
    struct stat st {};
    const bool folderEntry = stat(PathOf(fileName).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    if (!Contains(fileName) || folderEntry) throw EError("The library holds no picture " + Quoted(fileName) + ".");
}

void TReferenceLibrary::Add(const std::string& sourceFile, bool replace) {
    RequireFolder();
    const std::string name = NameForAdd(sourceFile);
    const std::string bytes = IsLookDocumentName(sourceFile) ? LookDocumentBytes(sourceFile) : LibraryJpeg(sourceFile);
    if (replace) {
        WriteFileAtomically(PathOf(name), bytes);
    } else if (!WriteNewFileAtomically(PathOf(name), bytes)) {
        throw ELibraryNameTaken("A library image named " + Quoted(CaptionOf(name)) + " already exists.");
    }
}

std::string TReferenceLibrary::Rename(const std::string& fileName, const std::string& newCaption) {
    RequireFile(fileName);
    if (!ValidCaption(newCaption))
        throw EError("The name " + Quoted(newCaption) + " cannot be used for a library image.");
    const std::string newName = newCaption + fileName.substr(CaptionOf(fileName).size());
    if (newName == fileName) return fileName;
    // Taken: the file itself, or another reference shown under that caption.
    bool taken = Contains(newName);
    for (const std::string& other : Files()) taken = taken || (other != fileName && CaptionOf(other) == newCaption);
    // The rename itself never replaces either: a name taken meanwhile by
    // another program or window is refused just the same.
    if (taken || !RenameWithoutReplacing(PathOf(fileName), PathOf(newName)))
        throw EError("A library image named " + Quoted(newCaption) + " already exists.");
    return newName;
}

std::string TReferenceLibrary::Remove(const std::string& fileName) {
    RequireFile(fileName);
    const std::string path = PathOf(fileName);
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        if (unlink(path.c_str()) != 0) throw EError("Cannot delete " + Quoted(fileName) + ": " + std::strerror(errno));
        return std::string();
    }
    RequireHomeTrash(fileName);
    // Qt writes the trash's record (info/NAME.trashinfo) before it moves the
    // file, and never copies it to a trash on another disk.
    QFile file(QString::fromStdString(path));
    if (!file.moveToTrash())
        throw EError("Cannot move " + Quoted(fileName) + " to the trash: " + file.errorString().toStdString());
    return file.fileName().toStdString();
}

void TReferenceLibrary::Restore(const std::string& fileName, const std::string& trashedFile) {
    RequireFolder();
    if (!IsPlainName(fileName))
        throw EError("A library picture is named by its caption, not by a path: " + Quoted(fileName) + ".");
    struct stat st {};
    if (trashedFile.empty() || lstat(trashedFile.c_str(), &st) != 0)
        throw EError("The trash no longer holds " + Quoted(fileName) + ".");
    if (!RenameWithoutReplacing(trashedFile, PathOf(fileName)))
        throw EError("A library image named " + Quoted(CaptionOf(fileName)) + " already exists.");
    const std::filesystem::path inTrash(trashedFile);
    if (inTrash.parent_path().filename() != "files") return;
    std::error_code ignored;  // a record left behind only lists a file that is gone
    std::filesystem::remove(inTrash.parent_path().parent_path() / "info" / (inTrash.filename().string() + ".trashinfo"),
                            ignored);
}

TImage TReferenceLibrary::LoadCell(const std::string& fileName) const {
    RequireFile(fileName);
    // A look document's cell is its reference's (white for a look without one).
    if (IsLookDocumentName(fileName)) return MakeThumbnailCell(LoadLookDocument(PathOf(fileName)).Look.ReferenceCell);
    TImage picture;
    LoadImageFile(PathOf(fileName), picture);
    return MakeThumbnailCell(picture);
}

TImage ReduceLikeLibrary(const TImage& picture) {
    const TImage reduced = FitImage(picture, kThumbnailSize, kThumbnailSize);
    TImage stored;
    DecodeJpeg(EncodeJpeg(reduced, 100), stored);
    return stored;
}
