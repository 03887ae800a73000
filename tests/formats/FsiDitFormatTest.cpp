#include <gtest/gtest.h>

#include <cstdint>

#include "formats/FormatRegistry.h"
#include "tests/formats/FormatTestSupport.h"

namespace {

using formattest::IdentityCube;
using formattest::RandomCube;

class FsiDitFormatTest : public formattest::TScratchFolderTest {};

std::uint32_t WordAt(const std::string& bytes, std::size_t offset) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + offset;
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

TEST_F(FsiDitFormatTest, WriterLayout) {
    const TLUTFormat& format = *FindLutFormat("fsi-dit-3d");
    auto lut = IdentityCube(64);
    const std::string file = PathOf("look.dat");
    format.SaveToFile(file, *lut, 10);
    const std::string bytes = ReadRaw(file);
    ASSERT_EQ(bytes.size(), 1048704u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\x99\x02\x34\x42", 4));
    EXPECT_EQ(bytes.substr(4, 4), std::string("\x02\x00\x00\x01", 4));
    EXPECT_EQ(bytes.substr(8, 32), std::string(32, '\0'));
    EXPECT_EQ(WordAt(bytes, 44), 1048576u);
    EXPECT_EQ(bytes.substr(48, 16), "Quor LUT Convert");
    EXPECT_EQ(bytes.substr(64, 63), std::string(63, '\0'));
    EXPECT_EQ(WordAt(bytes, 128), 0u);
    // Second word: red advanced by one step, 1008 / 63 = 16.
    EXPECT_EQ(WordAt(bytes, 132), 16u);
    // Second row: green 16 in bits 10..19.
    EXPECT_EQ(WordAt(bytes, 128 + 4 * 64), 16u << 10);
    EXPECT_EQ(WordAt(bytes, bytes.size() - 4), 0x3F0FC3F0u);

    std::uint32_t dataSum = 0;
    for (std::size_t i = 128; i < bytes.size(); ++i) dataSum += static_cast<unsigned char>(bytes[i]);
    EXPECT_EQ(WordAt(bytes, 40), dataSum);
    unsigned headerSum = 0;
    for (std::size_t i = 0; i < 127; ++i) headerSum += static_cast<unsigned char>(bytes[i]);
    EXPECT_EQ(static_cast<unsigned char>(bytes[127]), (2 * headerSum) % 256);
}

TEST_F(FsiDitFormatTest, RoundTripDetectionAndClamping) {
    const TLUTFormat& format = *FindLutFormat("fsi-dit-3d");
    auto written = RandomCube(64, 5);
    written->Cube[0][0][0] = TRGBDouble{1.5, -0.25, 0.5};
    written->Cube[1][0][0] = TRGBDouble{std::nan(""), 2.0, 1.0};
    const std::string file = PathOf("rt.dat");
    format.SaveToFile(file, *written, 10);
    EXPECT_TRUE(format.CanRead(file));

    auto read = std::make_unique<TLUT>();
    format.LoadFromFile(file, *read);
    EXPECT_EQ(read->Kind, lkCube);
    formattest::ExpectCubeQuantised(*written, *read, 1008.0);
    EXPECT_EQ(read->Cube[0][0][0].Red, 1.0);
    EXPECT_EQ(read->Cube[0][0][0].Green, 0.0);
    EXPECT_EQ(read->Cube[0][0][0].Blue, 504 / 1008.0);
    EXPECT_EQ(read->Cube[1][0][0].Red, 0.0);
    EXPECT_EQ(read->Cube[1][0][0].Green, 1.0);

    EXPECT_FALSE(format.CanRead(WriteRaw("short", "\x99\x02\x34")));
    EXPECT_FALSE(format.CanRead(WriteRaw("text.dat", "3DLUTSIZE 2\n")));
    EXPECT_TRUE(format.CanRead(WriteRaw("magic", std::string("\x99\x02\x34\x42", 4))));
    EXPECT_THROW(format.CanRead(PathOf("missing.dat")), EError);
}

TEST_F(FsiDitFormatTest, RefusesOtherSizesAndShortFiles) {
    const TLUTFormat& format = *FindLutFormat("fsi-dit-3d");
    for (int size : {2, 17, 33, 65}) {
        auto lut = IdentityCube(size);
        EXPECT_THROW(format.SaveToFile(PathOf("x.dat"), *lut, 10), ELUTError) << size;
    }
    EXPECT_FALSE(std::filesystem::exists(PathOf("x.dat")));

    auto full = IdentityCube(64);
    format.SaveToFile(PathOf("full.dat"), *full, 10);
    const std::string bytes = ReadRaw(PathOf("full.dat"));
    auto lut = IdentityCube(17);
    for (std::size_t length : {std::size_t(0), std::size_t(4), std::size_t(128), bytes.size() - 1}) {
        try {
            format.LoadFromFile(WriteRaw("cut.dat", bytes.substr(0, length)), *lut);
            ADD_FAILURE() << length;
        } catch (const ELUTError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Incomplete file. ", 0), 0u) << e.what();
        }
        EXPECT_EQ(lut->CubeSize, 17);
    }
    // A longer file reads the first 64^3 words; the tail is ignored.
    format.LoadFromFile(WriteRaw("long.dat", bytes + "tail"), *lut);
    EXPECT_EQ(lut->CubeSize, 64);
    EXPECT_EQ(lut->Cube[63][63][63].Blue, 1.0);
}

}  // namespace
