#pragma once
// Shared fixtures of the 3D format tests: a scratch folder, raw file access
// and LUT builders.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/lut/LUT.h"

namespace formattest {

class TScratchFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ombrane-fmt3d-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

    std::string WriteRaw(const std::string& name, const std::string& bytes) const {
        const std::string path = PathOf(name);
        std::ofstream out(path, std::ios::binary);
        out << bytes;
        return path;
    }

    static std::string ReadRaw(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // The file split at LF; the file must end with LF and contain no CR.
    static std::vector<std::string> ReadLines(const std::string& path) {
        const std::string bytes = ReadRaw(path);
        std::vector<std::string> lines;
        EXPECT_TRUE(bytes.empty() || bytes.back() == '\n') << path;
        EXPECT_EQ(bytes.find('\r'), std::string::npos) << path;
        std::size_t start = 0;
        while (start < bytes.size()) {
            std::size_t end = bytes.find('\n', start);
            if (end == std::string::npos) end = bytes.size();
            lines.push_back(bytes.substr(start, end - start));
            start = end + 1;
        }
        return lines;
    }

    std::filesystem::path dir_;
};

// Half a unit of the sixth decimal, plus room for the binary conversion.
inline constexpr double kSixDecimals = 0.5e-6 + 1e-12;

inline std::unique_ptr<TLUT> IdentityCube(int size) {
    auto lut = std::make_unique<TLUT>();
    lut->Kind = lkCube;
    lut->CubeSize = size;
    for (int r = 0; r < size; ++r)
        for (int g = 0; g < size; ++g)
            for (int b = 0; b < size; ++b)
                lut->Cube[r][g][b] = TRGBDouble{r / double(size - 1), g / double(size - 1), b / double(size - 1)};
    return lut;
}

// Distinct values in 0..1 for every entry and channel, so a swapped channel
// or index order shows.
inline std::unique_ptr<TLUT> RandomCube(int size, unsigned seed = 1) {
    auto lut = std::make_unique<TLUT>();
    lut->Kind = lkCube;
    lut->CubeSize = size;
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int r = 0; r < size; ++r)
        for (int g = 0; g < size; ++g)
            for (int b = 0; b < size; ++b) lut->Cube[r][g][b] = TRGBDouble{unit(random), unit(random), unit(random)};
    return lut;
}

// Compares the first size^3 entries within a tolerance.
inline void ExpectCubesNear(const TLUT& expected, const TLUT& actual, double tolerance) {
    ASSERT_EQ(actual.CubeSize, expected.CubeSize);
    const int n = expected.CubeSize;
    int failures = 0;
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b) {
                const TRGBDouble& e = expected.Cube[r][g][b];
                const TRGBDouble& a = actual.Cube[r][g][b];
                if (std::fabs(e.Red - a.Red) > tolerance || std::fabs(e.Green - a.Green) > tolerance ||
                    std::fabs(e.Blue - a.Blue) > tolerance) {
                    ADD_FAILURE() << "entry [" << r << "][" << g << "][" << b << "] expected (" << e.Red << ", "
                                  << e.Green << ", " << e.Blue << ") got (" << a.Red << ", " << a.Green << ", "
                                  << a.Blue << ")";
                    if (++failures > 5) return;
                }
            }
}

// The value an integer format stores for v at the given full scale: clamp,
// scale, round half to even, divide back.
inline double Quantised(double v, double fullScale) {
    if (!(v > 0.0)) v = 0.0;
    if (v > 1.0) v = 1.0;
    return std::nearbyint(v * fullScale) / fullScale;
}

inline void ExpectCubeQuantised(const TLUT& expected, const TLUT& actual, double fullScale) {
    ASSERT_EQ(actual.CubeSize, expected.CubeSize);
    const int n = expected.CubeSize;
    int failures = 0;
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b) {
                const TRGBDouble& e = expected.Cube[r][g][b];
                const TRGBDouble& a = actual.Cube[r][g][b];
                if (a.Red != Quantised(e.Red, fullScale) || a.Green != Quantised(e.Green, fullScale) ||
                    a.Blue != Quantised(e.Blue, fullScale)) {
                    ADD_FAILURE() << "entry [" << r << "][" << g << "][" << b << "] got (" << a.Red << ", " << a.Green
                                  << ", " << a.Blue << ")";
                    if (++failures > 5) return;
                }
            }
}

}  // namespace formattest

namespace formattest {

// For EXPECT_PRED2: the failure shows the whole text.
inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace formattest
