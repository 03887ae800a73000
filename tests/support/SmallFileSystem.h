#pragma once
#include <sys/mount.h>
#include <unistd.h>
#include <cstdlib>
#include <string>

// A real, tiny file system (tmpfs) to fill up, so that writes fail as on a
// full disk. Mounting needs the right to mount; where it is missing,
// Mounted() is false and the test skips.
class TSmallFileSystem {
public:
    explicit TSmallFileSystem(const char* size = "size=64k") {
        char pattern[] = "/tmp/ombrane-small-XXXXXX";
        if (mkdtemp(pattern) == nullptr) return;
        path_ = pattern;
        mounted_ = mount("tmpfs", path_.c_str(), "tmpfs", 0, size) == 0;
    }
    ~TSmallFileSystem() {
        if (mounted_) umount2(path_.c_str(), MNT_DETACH);
        if (!path_.empty()) rmdir(path_.c_str());
    }
    TSmallFileSystem(const TSmallFileSystem&) = delete;
    TSmallFileSystem& operator=(const TSmallFileSystem&) = delete;

    bool Mounted() const { return mounted_; }
    std::string PathOf(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
    bool mounted_ = false;
};
