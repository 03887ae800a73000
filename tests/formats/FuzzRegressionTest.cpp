// Hostile LUT files: the size limit that keeps them cheap, and the inputs
// the fuzz targets (fuzz/) found faults with, each read by the format that
// failed on it.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "engine/lut/LUT.h"
#include "formats/FormatRegistry.h"
#include "formats/LutFormat.h"
#include "formats/TextFile.h"
#include "formats/xml/XMLNode.h"
#include "tests/formats/FormatTestSupport.h"

namespace {

class FuzzRegressionTest : public formattest::TScratchFolderTest {
protected:
    // The error a load raised, or "(no error)".
    static std::string LoadError(const TLUTFormat& format, const std::string& file, TLUT& lut) {
        try {
            format.LoadFromFile(file, lut);
        } catch (const EError& e) {
            return e.what();
        }
        return "(no error)";
    }
};

TEST_F(FuzzRegressionTest, EveryReaderRefusesAFileAboveTheLimitBeforeReadingIt) {
    // A sparse file one byte over the limit costs no disk space.
    const std::string file = PathOf("huge.lut");
    { std::ofstream out(file); }
    std::filesystem::resize_file(file, kMaxLutFileBytes + 1);

    auto lut = std::make_unique<TLUT>();
    lut->Kind = lkIdentity;
    lut->CubeSize = 7;
    lut->CurveSize = 9;
    ASSERT_GE(LutFormats().size(), 31u);
    for (const auto& format : LutFormats()) {
        SCOPED_TRACE(format->Name);
        const std::string message = LoadError(*format, file, *lut);
        EXPECT_NE(message.find("too large"), std::string::npos) << message;
        EXPECT_NE(message.find(file), std::string::npos) << message;
    }
    // Refused before anything was stored.
    EXPECT_EQ(lut->Kind, lkIdentity);
    EXPECT_EQ(lut->CubeSize, 7);
    EXPECT_EQ(lut->CurveSize, 9);

    TXMLNode root;
    try {
        root.LoadFromFile(file);
        FAIL() << "a document above the limit was read";
    } catch (const EError& e) {
        EXPECT_NE(std::string(e.what()).find("too large"), std::string::npos) << e.what();
    }
}

TEST_F(FuzzRegressionTest, PandoraHeaderWithoutItsNumberIsAConversionError) {
    // "in " and "out " with nothing after them: the header reader cut the
    // prefix off the trimmed line, past its end, and an out_of_range error
    // escaped instead of the format's own error.
    const TLUTFormat& format = *FindLutFormat("pandora-3d");
    auto lut = std::make_unique<TLUT>();
    for (const std::string header : {"in ", "  in   ", "in 8\nout ", "in 8\n\tout  \t"}) {
        SCOPED_TRACE(header);
        const std::string file =
            WriteRaw("header.txt", "channel 3d\n" + header + "\nformat lut\nvalues\tred\tgreen\tblue\n");
        try {
            format.LoadFromFile(file, *lut);
            ADD_FAILURE() << "a header without its number was accepted";
        } catch (const ELUTError& e) {
            EXPECT_NE(std::string(e.what()).find("not a valid integer"), std::string::npos) << e.what();
        }
    }
    // The fuzzer's own input: a NUL byte ends the text right after "in ".
    const std::string file = WriteRaw("nul.txt", std::string("channel 3d\nin \0\0\0\a0:24\n", 23));
    EXPECT_THROW(format.LoadFromFile(file, *lut), ELUTError);
}

}  // namespace
