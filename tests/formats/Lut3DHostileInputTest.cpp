#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "formats/FormatRegistry.h"
#include "tests/formats/FormatTestSupport.h"

namespace {

struct TFormatCase {
    const TLUTFormat* Format;
    std::string Extension;
    int Bits;
};

std::vector<TFormatCase> AllFormats() {
    std::vector<TFormatCase> cases;
    cases.push_back({FindLutFormat("cube-3d"), ".cube", 0});
    cases.push_back({FindLutFormat("cube-3d-truelight"), ".cube", 0});
    cases.push_back({FindLutFormat("fsi-cfe-3d"), ".cfe", 0});
    cases.push_back({FindLutFormat("nucoda-3d"), ".cms", 0});
    cases.push_back({FindLutFormat("codex-3d"), ".txt", 12});
    cases.push_back({FindLutFormat("fsi-dit-3d"), ".dat", 10});
    cases.push_back({FindLutFormat("3dl"), ".3dl", 12});
    cases.push_back({FindLutFormat("lustre-3d"), ".lut", 12});
    cases.push_back({FindLutFormat("pandora-3d"), ".m3d", 16});
    cases.push_back({FindLutFormat("quantel-3d"), ".txt", 12});
    cases.push_back({FindLutFormat("luther-3d"), ".txt", 10});
    cases.push_back({FindLutFormat("clipster-3d"), ".txt", 16});
    cases.push_back({FindLutFormat("colorfront-osd-3d"), ".3dmesh", 0});
    cases.push_back({FindLutFormat("davinci-dat-3d"), ".dat", 0});
    return cases;
}

class Lut3DHostileInputTest : public formattest::TScratchFolderTest {
protected:
    // Detection and reading either succeed or raise EError; the LUT's sizes
    // stay inside its tables whatever happened.
    void Probe(const TLUTFormat& format, const std::string& file, const std::string& what) {
        SCOPED_TRACE(format.Name + ": " + what);
        try {
            (void)format.CanRead(file);
        } catch (const EError&) {}
        auto lut = std::make_unique<TLUT>();
        try {
            format.LoadFromFile(file, *lut);
        } catch (const EError&) {}
        EXPECT_GE(lut->CubeSize, 0);
        EXPECT_LE(lut->CubeSize, kMaxCubeSize);
        EXPECT_GE(lut->CurveSize, 0);
        EXPECT_LE(lut->CurveSize, kMaxCurveSize);
    }
};

TEST_F(Lut3DHostileInputTest, TruncatedFilesNeverCrash) {
    auto cube = formattest::RandomCube(2, 11);
    auto big = formattest::RandomCube(64, 12);
    for (auto& c : AllFormats()) {
        const bool dit = c.Format->Info().Id == "fsi-dit-3d";
        const std::string file = PathOf("valid" + c.Extension);
        c.Format->SaveToFile(file, dit ? *big : *cube, c.Bits);
        const std::string bytes = ReadRaw(file);
        // Every valid file must read; every cut must be refused or read
        // without leaving the tables.
        auto lut = std::make_unique<TLUT>();
        EXPECT_NO_THROW(c.Format->LoadFromFile(file, *lut)) << c.Format->Name;
        std::vector<std::size_t> cuts;
        for (std::size_t cut = 0; cut < bytes.size() && cut < 400; cut += 7) cuts.push_back(cut);
        cuts.push_back(bytes.size() - 1);
        cuts.push_back(bytes.size() / 2);
        for (std::size_t cut : cuts) {
            const std::string cutFile = WriteRaw("cut" + c.Extension, bytes.substr(0, cut));
            Probe(*c.Format, cutFile, "cut at " + std::to_string(cut));
        }
    }
}

TEST_F(Lut3DHostileInputTest, NoiseAndHostileHeadersNeverCrash) {
    std::vector<std::pair<std::string, std::string>> inputs = {
        {"empty", ""},
        {"blank lines", "\n\n\r\n   \n"},
        {"nul bytes", std::string(64, '\0')},
        {"cube huge", "LUT_3D_SIZE 2147483647\n0 0 0\n"},
        {"cube overflow", "LUT_3D_SIZE 99999999999999999999\n"},
        {"cube negative", "LUT_3D_SIZE -2147483648\n0 0 0\n"},
        {"truelight huge", "# iDims 3\n# oDims 3\n# width 5000 5000 5000\n# InputLUT\n1 1 1\n"},
        {"truelight input first", "# InputLUT\n1 1 1\n# lutLength 2\n# width 2 2 2\n1e300 1 1\n"},
        {"nucoda huge", "NUCODA_3D_CUBE 1\nLUT_1D_SIZE 2147483647\nLUT_3D_SIZE 2\n0 0 0\n"},
        {"nucoda bare", "NUCODA_3D_CUBE\nLUT_3D_SIZE\n"},
        {"codex huge", "Lut3D: 1000\n1 2 3\n"},
        {"3dl wide", std::string(5000, '1') + "\n"},
        {"3dl mixed", "0 512 1023\n99999 -5 7\n1 2\n"},
        {"lustre", "3DMESH\nMesh 30 32\n0 0 0\n"},
        {"lustre short", "3DMESH\nMesh\nMesh 5\n"},
        {"pandora", "channel 3d\nformat lut\nin 9223372036854775807\nout -1\n"},
        {"pandora zero", "in 8\nout 0\n0 1 2 3\n"},
        {"quantel", "max value 0\nvertices 3\n1 1 1\n"},
        {"luther", "#channels: c3\n#elements = 999999999\n"},
        {"clipster", "<LUT3D name='a' N='-5' BitDepth='-3'><values>1 2 3</values></LUT3D>"},
        {"clipster deep", std::string(5000, '<') + "LUT3D"},
        {"clipster unclosed", "<LUT3D name='a N='2' BitDepth='8'><values>1 1 1\n"},
        {"davinci", "3DLUTSIZE 1\n0 0 0\n"},
        {"davinci float", "3DLUTSIZE 2.5\n"},
        {"dit magic", std::string("\x99\x02\x34\x42", 4) + std::string(200, '\xff')},
        {"mesh count", "1e308 1e308 1e308\n-1e308 0 0\n"},
    };
    std::mt19937 random(99);
    for (int i = 0; i < 20; ++i) {
        std::string noise(static_cast<std::size_t>(random() % 5000), '\0');
        for (char& ch : noise) ch = static_cast<char>(random());
        inputs.emplace_back("noise " + std::to_string(i), noise);
    }
    for (auto& c : AllFormats())
        for (const auto& [name, bytes] : inputs) Probe(*c.Format, WriteRaw("hostile" + c.Extension, bytes), name);
}

}  // namespace
