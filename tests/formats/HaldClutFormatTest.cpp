#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "fileio/PictureCodec.h"
#include "formats/FormatRegistry.h"
#include "formats/LutFormat.h"
#include "tests/formats/FormatTestSupport.h"

namespace {

// Stores a picture as its raw samples behind a PNG-like header, so the road
// through the installed codec can be followed without a picture library.
class TRawCodec : public TPictureCodec {
public:
    void DecodePng(std::string_view bytes, TPicture48& picture) const override {
        picture = Stored;
        ++Decoded;
        (void)bytes;
    }
    std::string EncodePng(const TPicture48& picture) const override {
        Stored = picture;
        return Header(picture.Width, picture.Height);
    }
    static std::string Header(std::uint32_t width, std::uint32_t height) {
        std::string bytes = "\x89PNG\r\n\x1a\n";
        bytes += std::string("\0\0\0\x0dIHDR", 8);
        for (const std::uint32_t value : {width, height})
            for (int shift = 24; shift >= 0; shift -= 8) bytes += static_cast<char>((value >> shift) & 0xff);
        return bytes;
    }
    mutable TPicture48 Stored;
    mutable int Decoded = 0;
};

// The Hald CLUT format read and written through the raw codec: a picture in,
// a cube out, and back.
class THaldRoad {
public:
    THaldRoad() : program_(InstallPictureCodec(&codec_)), format_(*FindLutFormat("hald-clut")) {}
    ~THaldRoad() { InstallPictureCodec(program_); }
    THaldRoad(const THaldRoad&) = delete;
    THaldRoad& operator=(const THaldRoad&) = delete;

    void Read(const TPicture48& picture, TLUT& lut) {
        codec_.Stored = picture;
        format_.Read(TRawCodec::Header(picture.Width, picture.Height), "hald.png", lut);
    }
    TPicture48 Write(const TLUT& lut) {
        format_.Write(lut, 16, "hald.png");
        return codec_.Stored;
    }
    // The level of the picture written for a cube of this size.
    int LevelWritten(int size) {
        const int side = Write(*formattest::IdentityCube(size)).Width;
        int level = 1;
        while (level * level * level < side) ++level;
        return level;
    }

private:
    TRawCodec codec_;
    const TPictureCodec* program_;
    const TLUTFormat& format_;
};

std::string ErrorOf(const TPicture48& picture) {
    auto lut = std::make_unique<TLUT>();
    try {
        THaldRoad().Read(picture, *lut);
    } catch (const ELUTError& error) {
        return error.what();
    }
    return "(no error)";
}

TEST(HaldClutFormatTest, PicturesHoldTheCubeRedFastestRowByRow) {
    // Level 2: an 8 x 8 picture of a 4-point cube.
    TPicture48 picture;
    picture.Width = picture.Height = 8;
    for (int b = 0; b < 4; ++b)
        for (int g = 0; g < 4; ++g)
            for (int r = 0; r < 4; ++r)
                for (int v : {r, g, b}) picture.Samples.push_back(static_cast<std::uint16_t>(v * 21845));
    THaldRoad hald;
    auto lut = std::make_unique<TLUT>();
    hald.Read(picture, *lut);
    ASSERT_EQ(lut->CubeSize, 4);
    formattest::ExpectCubesNear(*formattest::IdentityCube(4), *lut, 1e-15);

    // Written and read back: 16-bit quantisation, sizes that are squares kept.
    auto cube = formattest::RandomCube(16, 2);
    const TPicture48 written = hald.Write(*cube);
    EXPECT_EQ(written.Width, 64);
    hald.Read(written, *lut);
    formattest::ExpectCubeQuantised(*cube, *lut, 65535.0);
}

TEST(HaldClutFormatTest, OtherSizesAreLookedUpAtTheNearestLevel) {
    THaldRoad hald;
    EXPECT_EQ(hald.LevelWritten(2), 2);
    EXPECT_EQ(hald.LevelWritten(17), 4);
    EXPECT_EQ(hald.LevelWritten(33), 6);
    EXPECT_EQ(hald.LevelWritten(64), 8);
    EXPECT_EQ(hald.LevelWritten(101), 10);
    auto identity = formattest::IdentityCube(33);
    const TPicture48 picture = hald.Write(*identity);
    EXPECT_EQ(picture.Width, 216);
    auto lut = std::make_unique<TLUT>();
    hald.Read(picture, *lut);
    ASSERT_EQ(lut->CubeSize, 36);
    formattest::ExpectCubesNear(*formattest::IdentityCube(36), *lut, 0.5 / 65535.0 + 1e-12);
}

TEST(HaldClutFormatTest, PicturesOfOtherShapesOrLevelsAreRefusedByName) {
    TPicture48 picture;
    picture.Width = 9;
    picture.Height = 8;
    EXPECT_NE(ErrorOf(picture).find("this one is 9 x 8"), std::string::npos);
    picture.Width = picture.Height = 1;
    EXPECT_NE(ErrorOf(picture).find("level 1 (a cube of 1 points)"), std::string::npos);
    picture.Width = picture.Height = 27;
    picture.Samples.assign(10, 0);
    EXPECT_NE(ErrorOf(picture).find("holds 10 samples instead of 2187"), std::string::npos);

    // The declared size is checked before anything is decoded.
    const TLUTFormat& format = *FindLutFormat("hald-clut");
    TRawCodec codec;
    const TPictureCodec* program = InstallPictureCodec(&codec);
    auto lut = std::make_unique<TLUT>();
    try {
        format.Read(TRawCodec::Header(1331, 1331), "hald.png", *lut);
        ADD_FAILURE() << "level 11 was read";
    } catch (const ELUTError& error) {
        EXPECT_NE(std::string(error.what()).find("level 11 (a cube of 121 points)"), std::string::npos);
    }
    EXPECT_EQ(codec.Decoded, 0);
    EXPECT_THROW(format.Read("GIF89a", "hald.png", *lut), ELUTError);

    auto cube = formattest::RandomCube(9, 3);
    format.Read(format.Write(*cube, 16, "hald.png"), "hald.png", *lut);
    EXPECT_EQ(codec.Decoded, 1);
    formattest::ExpectCubeQuantised(*cube, *lut, 65535.0);

    InstallPictureCodec(nullptr);
    EXPECT_THROW(format.Write(*cube, 16, "hald.png"), ELUTError);
    InstallPictureCodec(program);
}

}  // namespace
