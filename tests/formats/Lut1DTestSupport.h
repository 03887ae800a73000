#pragma once
// Small helpers shared by the 1D and XML format tests: a temporary folder,
// file writing and reading, and curve construction.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/lut/LUT.h"
#include "formats/LutFormat.h"

namespace lut1dtest {

class TTempFolder {
public:
    TTempFolder() {
        char pattern[] = "/tmp/ombrane-lut1d-XXXXXX";
        if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TTempFolder() { std::filesystem::remove_all(path_); }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    std::string Path(const std::string& name) const { return (path_ / name).string(); }
    std::string Write(const std::string& name, const std::string& bytes) const {
        const std::string path = Path(name);
        std::ofstream out(path, std::ios::binary);
        out << bytes;
        return path;
    }

private:
    std::filesystem::path path_;
};

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Lines joined, each ended by LF.
inline std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

inline std::unique_ptr<TLUT> MakeCurve(const std::vector<TRGBDouble>& entries) {
    auto lut = std::make_unique<TLUT>();
    lut->Kind = lkCurve;
    lut->CurveSize = static_cast<std::int32_t>(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) lut->Curve[i] = entries[i];
    return lut;
}

// The message of the ELUTError or EError an action raises.
inline std::string ErrorText(const std::function<void()>& action) {
    try {
        action();
    } catch (const EError& e) {
        return e.what();
    }
    return "<no error>";
}

// Loads damaged variants of a valid file (every prefix length on a stride,
// and single bytes replaced): each load either succeeds with a size inside
// the tables or raises EError; nothing else may happen.
inline void ExpectHostileInputRefusedCleanly(const TLUTFormat& format, const TTempFolder& folder,
                                             const std::string& name, const std::string& valid) {
    const std::string path = folder.Path(name);
    // One LUT for all loads: a load that succeeds sets the size checked.
    auto lut = std::make_unique<TLUT>();
    auto check = [&](const std::string& bytes) {
        {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out << bytes;
        }
        lut->CubeSize = -1;
        lut->CurveSize = -1;
        lut->Kind = lkCurve;
        try {
            format.LoadFromFile(path, *lut);
            if (format.Is3D && lut->Kind != lkIdentity) {
                EXPECT_GE(lut->CubeSize, 2);
                EXPECT_LE(lut->CubeSize, kMaxCubeSize);
            } else if (format.Is3D) {
                EXPECT_EQ(lut->CubeSize, -1);  // an identity look keeps the old size
            } else {
                EXPECT_GE(lut->CurveSize, 2);
                EXPECT_LE(lut->CurveSize, kMaxCurveSize);
            }
        } catch (const EError&) {}
    };
    const std::size_t stride = valid.size() / 40 + 1;
    for (std::size_t length = 0; length < valid.size(); length += stride) check(valid.substr(0, length));
    const char replacements[] = {'\0', '<', '>', '"', '-', '9', '#', '\n', ' ', 'x'};
    unsigned seed = 12345;
    for (int i = 0; i < 60; ++i) {
        seed = seed * 1103515245u + 12345u;
        std::string bytes = valid;
        if (bytes.empty()) break;
        bytes[(seed >> 8) % bytes.size()] = replacements[(seed >> 4) % sizeof replacements];
        check(bytes);
    }
}

}  // namespace lut1dtest
