// A picture from Qt's readers becomes a 24-bit image with the bytes Qt's own
// conversion gives, whatever its format; transparent pixels lie on white.
#include <gtest/gtest.h>

#include <QImage>
#include <cstring>
#include <random>

#include "imageio/QtImage.h"

namespace {

QImage NoisyPicture(QImage::Format format, int width, int height) {
    QImage picture(width, height, QImage::Format_ARGB32);
    std::mt19937 random(5);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) picture.setPixel(x, y, static_cast<QRgb>(random()));
    return picture.convertToFormat(format);
}

// What Qt's conversion to 24 bits gives, row by row without padding.
std::vector<std::uint8_t> QtBytes(const QImage& opaque) {
    const QImage bgr = opaque.convertToFormat(QImage::Format_BGR888);
    std::vector<std::uint8_t> bytes;
    for (int y = 0; y < bgr.height(); ++y)
        bytes.insert(bytes.end(), bgr.constScanLine(y), bgr.constScanLine(y) + bgr.width() * 3);
    return bytes;
}

std::vector<std::uint8_t> OurBytes(const QImage& picture) {
    const TImage image = ImageFromQImage(picture);
    std::vector<std::uint8_t> bytes;
    for (int y = 0; y < image.Height(); ++y) bytes.insert(bytes.end(), image.Row(y), image.Row(y) + image.Width() * 3);
    return bytes;
}

}  // namespace

TEST(QtImageTest, EveryFormatGivesTheBytesOfQtsConversion) {
    // Wide enough that Qt converts a large picture in parts on its threads.
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_RGB888, QImage::Format_Grayscale8,
                                        QImage::Format_RGBX64, QImage::Format_RGB16}) {
        const QImage picture = NoisyPicture(format, 613, 211);
        ASSERT_EQ(picture.format(), format);
        const TImage image = ImageFromQImage(picture);
        EXPECT_EQ(image.Width(), 613);
        EXPECT_EQ(image.Height(), 211);
        EXPECT_EQ(OurBytes(picture), QtBytes(picture)) << format;
    }
    // With alpha: composed on white first.
    const QImage translucent = NoisyPicture(QImage::Format_ARGB32, 97, 41);
    QImage white(translucent.size(), QImage::Format_RGB32);
    white.fill(Qt::white);
    for (int y = 0; y < white.height(); ++y)
        for (int x = 0; x < white.width(); ++x) {
            const QRgb over = translucent.pixel(x, y);
            const int alpha = qAlpha(over);
            auto mix = [&](int colour) { return (colour * alpha + 255 * (255 - alpha) + 127) / 255; };
            white.setPixel(x, y, qRgb(mix(qRed(over)), mix(qGreen(over)), mix(qBlue(over))));
        }
    const std::vector<std::uint8_t> ours = OurBytes(translucent), composed = QtBytes(white);
    ASSERT_EQ(ours.size(), composed.size());
    for (std::size_t i = 0; i < ours.size(); ++i) EXPECT_NEAR(ours[i], composed[i], 1) << i;
}
