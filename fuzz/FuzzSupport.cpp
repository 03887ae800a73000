#include "fuzz/FuzzSupport.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <typeinfo>

#include "engine/lut/LUT.h"
#include "formats/LutFormat.h"

#include "formats/FormatRegistry.h"

namespace fs = std::filesystem;

namespace fuzz {

namespace {

class TScratchFolder {
public:
    TScratchFolder() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/ombrane-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        Path = pattern;
    }
    ~TScratchFolder() {
        std::error_code ignored;
        fs::remove_all(Path, ignored);
    }
    fs::path Path;
};

TScratchFolder& Scratch() {
    static TScratchFolder folder;
    return folder;
}

}  // namespace

std::string WriteScratchFile(std::string_view bytes, const std::string& extension) {
    const std::string name = (Scratch().Path / ("input" + extension)).string();
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "cannot write the scratch file %s\n", name.c_str());
        std::abort();
    }
    return name;
}

std::string WriteScratchFile(const std::uint8_t* data, std::size_t size, const std::string& extension) {
    return WriteScratchFile(std::string_view(reinterpret_cast<const char*>(data), size), extension);
}

TLUT& SharedLut() {
    static const std::unique_ptr<TLUT> lut = std::make_unique<TLUT>();
    return *lut;
}

const std::vector<std::string>& LutExtensions() {
    static const std::vector<std::string> extensions = [] {
        std::vector<std::string> list;
        for (const auto& profile : LutOutputProfiles())
            if (std::find(list.begin(), list.end(), "." + profile->Extension) == list.end())
                list.push_back("." + profile->Extension);
        for (const char* more : {".ilut", ".olut", ".look", ".cc", ".xml", ".CUBE", ".ILUT", "", ".ccc", ".cdl"})
            list.push_back(more);
        return list;
    }();
    return extensions;
}

const std::vector<const TLUTFormat*>& Formats() {
    static const std::vector<const TLUTFormat*> formats = [] {
        std::vector<const TLUTFormat*> list;
        for (const auto& format : LutFormats()) list.push_back(format.get());
        return list;
    }();
    return formats;
}

void Fail(const char* where, const std::string& message) {
    std::fprintf(stderr, "\n*** %s: %s\n", where, message.c_str());
    std::fflush(stderr);
    std::abort();
}

void CheckLutSizes(const TLUT& lut, const char* where) {
    if (lut.CubeSize < 0 || lut.CubeSize > kMaxCubeSize)
        Fail(where, "CubeSize " + std::to_string(lut.CubeSize) + " lies outside the cube");
    if (lut.CurveSize < 0 || lut.CurveSize > kMaxCurveSize)
        Fail(where, "CurveSize " + std::to_string(lut.CurveSize) + " lies outside the curve");
    if (lut.Kind > lkIdentity) Fail(where, "Kind " + std::to_string(static_cast<int>(lut.Kind)) + " is not a kind");
}

void ExerciseLookups(const TLUT& lut) {
    static const double kPoints[] = {0.0, 0.3, 0.5, 1.0};
    for (double r : kPoints)
        for (double g : kPoints) {
            TRGBDouble out;
            lut.LookupNormalized(TRGBDouble{r, g, 1.0 - r}, out);
        }
    // Float pictures and a chain's own steps give values outside 0..1: a
    // log of a negative, an index from infinity or not a number must stay
    // inside the tables.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    static const double kWild[] = {-0.25, 1.75, 1e30, -1e30};
    for (double v : kWild) {
        TRGBDouble out;
        lut.LookupNormalized(TRGBDouble{v, -v, 0.5}, out);
    }
    TRGBDouble out;
    lut.LookupNormalized(TRGBDouble{nan, inf, -inf}, out);
}

void ReportForeignException(const char* what) {
    std::string message;
    try {
        throw;
    } catch (const std::exception& e) {
        message = std::string("exception ") + typeid(e).name() + ": " + e.what();
    } catch (...) {
        message = "an exception that is not a std::exception";
    }
    Fail(what, message + " (only EError may refuse input)");
}

}  // namespace fuzz
