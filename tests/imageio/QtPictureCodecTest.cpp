#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <memory>
#include <random>

#include "engine/base/Error.h"
#include "formats/FormatRegistry.h"
#include "formats/LutFormat.h"
#include "imageio/QtPictureCodec.h"

namespace {

TPicture48 RandomPicture(int width, int height) {
    TPicture48 picture;
    picture.Width = width;
    picture.Height = height;
    std::mt19937 random(9);
    for (int i = 0; i < width * height * 3; ++i)
        picture.Samples.push_back(static_cast<std::uint16_t>(random() & 0xffff));
    return picture;
}

TEST(QtPictureCodecTest, SixteenBitPicturesRoundTripExactly) {
    const TPicture48 picture = RandomPicture(27, 27);
    const std::string bytes = QtPictureCodec().EncodePng(picture);
    ASSERT_GT(bytes.size(), 33u);
    EXPECT_EQ(static_cast<int>(bytes[24]), 16);  // IHDR bit depth
    TPicture48 back;
    QtPictureCodec().DecodePng(bytes, back);
    EXPECT_EQ(back.Width, 27);
    EXPECT_EQ(back.Height, 27);
    EXPECT_EQ(back.SourceBits, 16);
    EXPECT_EQ(back.Samples, picture.Samples);
}

TEST(QtPictureCodecTest, EightBitPicturesWidenAndDamagedOnesAreRefused) {
    QImage image(8, 8, QImage::Format_RGB888);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) image.setPixel(x, y, qRgb(x * 30, y * 30, 255 - x));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(image.save(&buffer, "png"));
    TPicture48 picture;
    QtPictureCodec().DecodePng(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), picture);
    EXPECT_EQ(picture.SourceBits, 8);
    ASSERT_EQ(picture.Samples.size(), 8u * 8 * 3);
    const std::size_t at = (3 * 8 + 5) * 3;  // x 5, y 3
    EXPECT_EQ(picture.Samples[at], 150 * 257);
    EXPECT_EQ(picture.Samples[at + 1], 90 * 257);
    EXPECT_EQ(picture.Samples[at + 2], 250 * 257);

    // A Hald picture cut anywhere in its data is refused, never read in part.
    auto lut = std::make_unique<TLUT>();
    lut->Kind = lkCube;
    lut->CubeSize = 16;
    std::mt19937 random(4);
    for (int r = 0; r < 16; ++r)
        for (int g = 0; g < 16; ++g)
            for (int b = 0; b < 16; ++b) lut->Cube[r][g][b] = TRGBDouble{(random() % 1000) / 999.0, g / 15.0, b / 15.0};
    InstallPictureCodec(&QtPictureCodec());
    const TLUTFormat& format = *FindLutFormat("hald-clut");
    const std::string hald = format.Write(*lut, 16, "hald.png");
    for (const std::size_t cut : {hald.size() / 3, hald.size() / 2, hald.size() - 20, hald.size() - 1}) {
        SCOPED_TRACE(cut);
        EXPECT_THROW(format.Read(hald.substr(0, cut), "hald.png", *lut), EError);
    }
    std::string flipped = hald;
    flipped[hald.size() / 2] ^= 0x55;
    EXPECT_THROW(format.Read(flipped, "hald.png", *lut), EError);
    format.Read(hald, "hald.png", *lut);
    EXPECT_EQ(lut->CubeSize, 16);
}

}  // namespace
