#include <gtest/gtest.h>

#include "formats/FormatRegistry.h"
#include "tests/formats/FormatTestSupport.h"

namespace {

using formattest::IdentityCube;
using formattest::RandomCube;

class IntegerCubeFormatsTest : public formattest::TScratchFolderTest {};

TEST_F(IntegerCubeFormatsTest, PandoraLayout) {
    const TLUTFormat& format = *FindLutFormat("pandora-3d");
    auto lut = IdentityCube(17);
    lut->Comments = {"not written"};
    const std::string file = PathOf("look.m3d");
    format.SaveToFile(file, *lut, 16);
    const auto lines = ReadLines(file);
    const std::vector<std::string> header = {"#HEADER",
                                             "#type: 3D cube file",
                                             "#format: 1.00",
                                             "#comment: Converted by Quor LUT Converter",
                                             "#END",
                                             "",
                                             "channel 3d",
                                             "in 4913",
                                             "out 65536",
                                             "",
                                             "format lut",
                                             "",
                                             "values\tred\tgreen\tblue"};
    ASSERT_EQ(lines.size(), header.size() + 4913u);
    for (std::size_t i = 0; i < header.size(); ++i) EXPECT_EQ(lines[i], header[i]) << i;
    EXPECT_EQ(lines[13], "0\t0\t0\t0");
    EXPECT_EQ(lines[14], "1\t0\t0\t4096");  // 65535 / 16 = 4095.94
    EXPECT_EQ(lines.back(), "4912\t65535\t65535\t65535");
}

TEST_F(IntegerCubeFormatsTest, PandoraRoundTripAndHeaderRules) {
    const TLUTFormat& format = *FindLutFormat("pandora-3d");
    for (int size : {2, 17})
        for (int bits : {16, 12}) {
            auto written = RandomCube(size, 400 + size + bits);
            const std::string file = PathOf("rt.m3d");
            format.SaveToFile(file, *written, bits);
            EXPECT_TRUE(format.CanRead(file));
            auto read = std::make_unique<TLUT>();
            format.LoadFromFile(file, *read);
            EXPECT_EQ(read->Kind, lkCube);
            formattest::ExpectCubeQuantised(*written, *read, std::ldexp(1.0, bits) - 1);
        }

    auto lut = std::make_unique<TLUT>();
    // "In" with a capital I never gives a size.
    try {
        format.LoadFromFile(WriteRaw("a.m3d", "channel 3d\nIn 8\nout 256\nformat lut\n0 1 2 3\n"), *lut);
        FAIL();
    } catch (const ELUTError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Incomplete file. ", 0), 0u) << e.what();
    }
    EXPECT_THROW(format.LoadFromFile(WriteRaw("b.m3d", "in 8\nout 1\n0 1 2 3\n"), *lut), ELUTError);
    EXPECT_THROW(format.LoadFromFile(WriteRaw("c.m3d", "in 2000000\nout 256\n"), *lut), ELUTError);
    EXPECT_THROW(format.LoadFromFile(WriteRaw("d.m3d", "in eight\n"), *lut), EError);
    EXPECT_FALSE(format.CanRead(WriteRaw("e.m3d", "channel 3d\n")));
}

TEST_F(IntegerCubeFormatsTest, QuantelLayoutAndRoundTrip) {
    const TLUTFormat& format = *FindLutFormat("quantel-3d");
    auto lut = IdentityCube(17);
    const std::string file = PathOf("look.txt");
    format.SaveToFile(file, *lut, 12);
    const auto lines = ReadLines(file);
    const std::vector<std::string> header = {
        "max value 4095", "vertices 17", "blue is fastest changing", "red is slowest changing", "",
        "cube data",      "R G B"};
    ASSERT_EQ(lines.size(), header.size() + 4913u);
    for (std::size_t i = 0; i < header.size(); ++i) EXPECT_EQ(lines[i], header[i]) << i;
    EXPECT_EQ(lines[7], "0 0 0");
    EXPECT_EQ(lines[8], "0 0 256");
    EXPECT_EQ(lines.back(), "4095 4095 4095");

    for (int size : {2, 17}) {
        auto written = RandomCube(size, 500 + size);
        format.SaveToFile(file, *written, 10);
        EXPECT_TRUE(format.CanRead(file));
        auto read = std::make_unique<TLUT>();
        format.LoadFromFile(file, *read);
        formattest::ExpectCubeQuantised(*written, *read, 1023.0);
    }
    auto read = std::make_unique<TLUT>();
    EXPECT_THROW(format.LoadFromFile(WriteRaw("a.txt", "max value 0\nvertices 2\n0 0 0\n"), *read), ELUTError);
    EXPECT_THROW(format.LoadFromFile(WriteRaw("b.txt", "max value 255\nvertices 500\n"), *read), ELUTError);
    EXPECT_THROW(format.LoadFromFile(WriteRaw("c.txt", "max value 255\nVertices 2\n0 0 0\n"), *read), ELUTError);
}

TEST_F(IntegerCubeFormatsTest, LutherLayoutAndRoundTrip) {
    const TLUTFormat& format = *FindLutFormat("luther-3d");
    auto lut = IdentityCube(33);
    const std::string file = PathOf("look.txt");
    format.SaveToFile(file, *lut, 10);
    const auto lines = ReadLines(file);
    ASSERT_EQ(lines.size(), 2u + 35937u);
    EXPECT_EQ(lines[0], "#channels: c3");
    EXPECT_EQ(lines[1], "#elements = 35937");
    EXPECT_EQ(lines[2], "0 0 0");
    EXPECT_EQ(lines[3], "0 0 32");  // 1023 / 32 = 31.97
    EXPECT_EQ(lines.back(), "1023 1023 1023");

    for (int size : {2, 17}) {
        auto written = RandomCube(size, 600 + size);
        format.SaveToFile(file, *written, 10);
        EXPECT_TRUE(format.CanRead(file));
        auto read = std::make_unique<TLUT>();
        format.LoadFromFile(file, *read);
        formattest::ExpectCubeQuantised(*written, *read, 1023.0);
    }
    auto read = std::make_unique<TLUT>();
    EXPECT_THROW(format.LoadFromFile(WriteRaw("a.txt", "#channels: c3\n#elements = 9\n0 0 0\n"), *read), ELUTError);
    EXPECT_THROW(format.LoadFromFile(WriteRaw("b.txt", "#elements = -8\n"), *read), ELUTError);
}

}  // namespace
