// Damaged and hostile files for the readers added after the first 31: every
// cut of a valid file, random byte changes and crafted headers are refused
// with EError or read into tables that stay inside the LUT and can be used.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "formats/FormatRegistry.h"
#include "formats/LutConvert.h"
#include "tests/formats/FormatTestSupport.h"

namespace {

const char* const kAddedReaders[] = {"hald-clut",         "clf", "spi3d", "spi1d", "cinespace-3d", "cinespace-1d",
                                     "asc-cdl-collection"};

const std::string kTwoCorrections =
    "<ColorCorrectionCollection><ColorCorrection id=\"a\"><SOPNode><Slope>1.1 1 0.9</Slope><Offset>0 0.1 0"
    "</Offset><Power>1 1.2 1</Power></SOPNode><SATNode><Saturation>0.8</Saturation></SATNode></ColorCorrection>"
    "<ColorCorrection id=\"b\"><SOPNode><Slope>1 1 1</Slope></SOPNode></ColorCorrection>"
    "</ColorCorrectionCollection>\n";

class AddedFormatsHostileInputTest : public formattest::TScratchFolderTest {
protected:
    // A valid file of the format, as its writer (or, for the read-only
    // collection, a document) gives it.
    std::string ValidFile(const TLUTFormat& format) {
        if (!format.Info().Writes) return kTwoCorrections;
        auto lut = formattest::RandomCube(4, 17);
        lut->Kind = format.Is3D ? lkCube : lkCurve;
        lut->CurveSize = 6;
        for (int i = 0; i < 6; ++i) lut->Curve[i] = TRGBDouble{i / 5.0, i / 7.0, 1.0 - i / 5.0};
        lut->Comments = {"hostile & <input>"};
        const std::string file = PathOf("valid." + format.Info().Extensions.front());
        format.SaveToFile(file, *lut, 0);
        return ReadRaw(file);
    }

    // Reading either succeeds with usable tables or raises EError; the
    // sizes stay inside the tables whatever happened.
    void Probe(const TLUTFormat& format, const std::string& bytes, const std::string& what) {
        SCOPED_TRACE(format.Name + ": " + what);
        const std::string file = WriteRaw("probe." + format.Info().Extensions.front(), bytes);
        auto lut = std::make_unique<TLUT>();
        try {
            (void)format.CanRead(file);
            format.LoadFromFile(file, *lut);
            EXPECT_NO_THROW(CheckUsableTables(*lut));
            TRGBDouble out;
            lut->LookupNormalized(TRGBDouble{0.3, 0.6, 0.9}, out);
        } catch (const EError&) {}
        EXPECT_GE(lut->CubeSize, 0);
        EXPECT_LE(lut->CubeSize, kMaxCubeSize);
        EXPECT_GE(lut->CurveSize, 0);
        EXPECT_LE(lut->CurveSize, kMaxCurveSize);
    }
};

TEST_F(AddedFormatsHostileInputTest, CutsAndChangedBytesNeverCrash) {
    std::mt19937 random(31);
    for (const char* id : kAddedReaders) {
        const TLUTFormat& format = *FindLutFormat(id);
        const std::string bytes = ValidFile(format);
        auto lut = std::make_unique<TLUT>();
        ASSERT_NO_THROW(format.LoadFromFile(WriteRaw("whole", bytes), *lut)) << id;
        for (std::size_t cut = 0; cut < bytes.size(); cut += 1 + bytes.size() / 150)
            Probe(format, bytes.substr(0, cut), "cut at " + std::to_string(cut));
        for (int i = 0; i < 150; ++i) {
            std::string changed = bytes;
            for (int n = 0; n < 1 + i % 4; ++n) changed[random() % changed.size()] = static_cast<char>(random());
            Probe(format, changed, "changed bytes " + std::to_string(i));
        }
    }
}

TEST_F(AddedFormatsHostileInputTest, HostileHeadersAndNoiseNeverCrash) {
    const std::string array = "<Array dim=\"2 2 2 3\">0 0 0 0 0 1 0 1 0 0 1 1 1 0 0 1 0 1 1 1 0 1 1 1</Array>";
    std::vector<std::pair<std::string, std::string>> inputs = {
        {"empty", ""},
        {"nul bytes", std::string(64, '\0')},
        {"png header only", std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\xff\xff\xff\xff\xff\xff\xff\xff", 24)},
        {"png huge level", std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x03\xe8\0\0\x03\xe8\x10\x02", 26)},
        {"clf huge dim",
         "<ProcessList><LUT3D><Array dim=\"2147483647 2147483647 2147483647 3\">1</Array></LUT3D></ProcessList>"},
        {"clf negative dim", "<ProcessList><LUT1D><Array dim=\"-5 3\">1 2 3</Array></LUT1D></ProcessList>"},
        {"clf nan values", "<ProcessList><LUT1D><Array dim=\"2 1\">nan inf</Array></LUT1D></ProcessList>"},
        {"clf unclosed quote", "<ProcessList><LUT3D inBitDepth=\"32f><Array dim=\"2 2 2 3\">1</Array>"},
        {"clf deep", std::string(3000, '<') + "ProcessList"},
        {"clf matrix huge",
         "<ProcessList><Matrix><Array dim=\"3 3\">1e308 1e308 1e308 1 1 1 1 1 1</Array></Matrix>"
         "<LUT3D>" +
             array + "</LUT3D></ProcessList>"},
        {"clf range equal",
         "<ProcessList><Range><minInValue>1</minInValue><maxInValue>1</maxInValue>"
         "<minOutValue>0</minOutValue><maxOutValue>1</maxOutValue></Range></ProcessList>"},
        {"clf many operators", "<ProcessList>" +
                                   [&] {
                                       std::string ops;
                                       for (int i = 0; i < 70; ++i) ops += "<LUT3D>" + array + "</LUT3D>";
                                       return ops;
                                   }() +
                                   "</ProcessList>"},
        {"spi3d huge", "SPILUT 1.0\n3 3\n2147483647 2147483647 2147483647\n0 0 0 1 1 1\n"},
        {"spi3d index", "SPILUT 1.0\n3 3\n2 2 2\n-1 0 0 1 1 1\n99999999999 0 0 1 1 1\n"},
        {"spi1d huge", "Version 1\nFrom 0 1\nLength 2147483647\nComponents 3\n{\n0 0 0\n"},
        {"spi1d tiny domain", "Version 1\nFrom 0 1e-320\nLength 2\nComponents 1\n{\n0\n1\n}\n"},
        {"csp huge pre-LUT", "CSPLUTV100\n3D\n2147483647\n0 1\n0 1\n"},
        {"csp pre-LUT extremes",
         "CSPLUTV100\n1D\n2\n-1e308 1e308\n1e308 -1e308\n2\n0 1\n0 1\n2\n0 1\n0 1\n2\n0 0 0\n1 1 1\n"},
        {"csp huge cube", "CSPLUTV100\n3D\n2\n0 1\n0 1\n2\n0 1\n0 1\n2\n0 1\n0 1\n101 101 101\n0 0 0\n"},
        {"ccc empty", "<ColorCorrectionCollection></ColorCorrectionCollection>"},
        {"ccc bad numbers", "<ColorCorrectionCollection><ColorCorrection><SOPNode><Slope>x y z</Slope>"},
        {"ccc nested", "<ColorDecisionList>" + std::string(2000, '<') + "ColorCorrection"},
    };
    std::mt19937 random(7);
    for (int i = 0; i < 10; ++i) {
        std::string noise(static_cast<std::size_t>(random() % 3000), '\0');
        for (char& ch : noise) ch = static_cast<char>(random());
        inputs.emplace_back("noise " + std::to_string(i), noise);
    }
    for (const char* id : kAddedReaders)
        for (const auto& [name, bytes] : inputs) Probe(*FindLutFormat(id), bytes, name);
}

}  // namespace
