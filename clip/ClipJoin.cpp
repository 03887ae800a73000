#include "clip/ClipJoin.h"

#include <sys/stat.h>
#include <unistd.h>
#include <limits>

#include "clip/ClipModule.h"
#include "engine/base/Error.h"
#include "fileio/AtomicFile.h"
#include "fileio/FileRead.h"

namespace {

// The files read, closed when done.
class TOpenFiles {
public:
    ~TOpenFiles() {
        for (const TOpenClip& file : files_) close(file.Fd);
    }
    TOpenClip Open(const std::string& name) {
        files_.push_back({OpenRegularFile(name, std::numeric_limits<std::uint64_t>::max()), name});
        return files_.back();
    }
    // The input that `output` names, or nullptr.
    const TOpenClip* Named(const std::string& output) const {
        struct stat target {};
        if (stat(output.c_str(), &target) != 0) return nullptr;
        for (const TOpenClip& file : files_) {
            struct stat st {};
            if (fstat(file.Fd, &st) == 0 && st.st_dev == target.st_dev && st.st_ino == target.st_ino) return &file;
        }
        return nullptr;
    }

private:
    std::vector<TOpenClip> files_;
};

}  // namespace

std::string RecordedClipSource(const std::string& part) {
    TOpenFiles files;
    const TOpenClip file = files.Open(part);
    return ClipModule().RecordedSource(file.Fd, file.Name);
}

void JoinClipParts(const std::vector<std::string>& parts, const std::string& source, const std::string& output) {
    TOpenFiles files;
    std::vector<TOpenClip> opened;
    opened.reserve(parts.size());
    for (const std::string& part : parts) opened.push_back(files.Open(part));
    const TOpenClip sourceFile = files.Open(source);
    if (const TOpenClip* input = files.Named(output))
        throw EError("the output \"" + output + "\" would overwrite the input \"" + input->Name + "\"");
    WriteFileAtomicallyFrom(output, [&](int fd) {
        ClipModule().Join(opened, sourceFile, output, fd);
        return 0;
    });
}
