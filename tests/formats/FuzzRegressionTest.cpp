// Hostile LUT files: the size limit that keeps them cheap, and the inputs
// the fuzz targets (fuzz/) found faults with, each read by the format that
// failed on it.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "FormatRegistry.h"
#include "FormatTestSupport.h"
#include "LUT.h"
#include "LutFormat.h"
#include "TextFile.h"
#include "XMLNode.h"

namespace {

class FuzzRegressionTest : public formattest::TScratchFolderTest {
protected:
    // The error a load raised, or "(no error)".
    static std::string LoadError(TLUTFormat& format, const std::string& file, TLUT& lut)
    {
        try {
            format.LoadFromFile(file, lut);
        } catch (const EError& e) {
            return e.what();
        }
        return "(no error)";
    }
};

TEST_F(FuzzRegressionTest, EveryReaderRefusesAFileAboveTheLimitBeforeReadingIt)
{
    // A sparse file one byte over the limit costs no disk space.
    const std::string file = PathOf("huge.lut");
    { std::ofstream out(file); }
    std::filesystem::resize_file(file, kMaxLutFileBytes + 1);

    auto lut = std::make_unique<TLUT>();
    lut->Kind = lkIdentity;
    lut->CubeSize = 7;
    lut->CurveSize = 9;
    ASSERT_EQ(LutFormats().size(), 31u);
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

} // namespace
