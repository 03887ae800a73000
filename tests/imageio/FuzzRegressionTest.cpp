// Hostile picture files: the size limits that refuse a picture before it is
// decoded, checked at their edges for every type, and the inputs the fuzz
// targets (fuzz/) found faults with.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/base/Error.h"
#include "imageio/ImageFile.h"
#include "tests/support/ThrownMessage.h"

namespace {

std::uint32_t Crc32(const QByteArray& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (char c : bytes) {
        crc ^= static_cast<std::uint8_t>(c);
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray BigEndian32Array(std::uint32_t value) {
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray Chunk(const char* type, const QByteArray& data) {
    const QByteArray typed = QByteArray(type) + data;
    return BigEndian32Array(static_cast<std::uint32_t>(data.size())) + typed + BigEndian32Array(Crc32(typed));
}

// A complete 8-bit RGB PNG of the given size, every pixel black, built by
// hand so that the declared size can be anything.
QByteArray BlackPng(std::uint32_t width, std::uint32_t height, bool withPixels = true) {
    QByteArray header = BigEndian32Array(width) + BigEndian32Array(height);
    header += QByteArray("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, no interlace
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    png += Chunk("IHDR", header);
    if (withPixels) {
        // Each row: filter byte 0, then the pixels; qCompress adds a 4-byte
        // length before the zlib stream.
        const QByteArray raw(static_cast<qsizetype>(height) * (1 + 3 * static_cast<qsizetype>(width)), '\0');
        png += Chunk("IDAT", qCompress(raw).mid(4));
    }
    png += Chunk("IEND", {});
    return png;
}

// A JPEG of our own encoder with the frame header's size replaced.
QByteArray JpegDeclaring(int width, int height) {
    TImage picture(16, 8);
    QByteArray jpeg = QByteArray::fromStdString(EncodeJpeg(picture, 90));
    const int sof = jpeg.indexOf("\xFF\xC0");
    EXPECT_GT(sof, 0);
    qToBigEndian(static_cast<std::uint16_t>(height), jpeg.data() + sof + 5);
    qToBigEndian(static_cast<std::uint16_t>(width), jpeg.data() + sof + 7);
    return jpeg;
}

// A 24-bit bitmap header for width x height; a negative height marks rows
// stored top row first. Pixel rows follow when given.
QByteArray Bitmap24(int width, int height, const QByteArray& rows = {}) {
    QByteArray bitmap(54, '\0');
    bitmap[0] = 'B';
    bitmap[1] = 'M';
    bitmap += rows;
    qToLittleEndian<std::uint32_t>(static_cast<std::uint32_t>(bitmap.size()), bitmap.data() + 2);
    qToLittleEndian<std::uint32_t>(54, bitmap.data() + 10);
    qToLittleEndian<std::uint32_t>(40, bitmap.data() + 14);
    qToLittleEndian<std::int32_t>(width, bitmap.data() + 18);
    qToLittleEndian<std::int32_t>(height, bitmap.data() + 22);
    qToLittleEndian<std::uint16_t>(1, bitmap.data() + 26);
    qToLittleEndian<std::uint16_t>(24, bitmap.data() + 28);
    return bitmap;
}

class ImageFuzzRegressionTest : public ::testing::Test {
protected:
    QTemporaryDir dir;

    std::string Write(const char* name, const QByteArray& bytes) {
        const std::string path = dir.filePath(name).toStdString();
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
};

}  // namespace

TEST_F(ImageFuzzRegressionTest, PngSizeLimitsHoldAtTheirEdges) {
    // The largest side allowed loads.
    TImage target;
    LoadImageFile(Write("edge.png", BlackPng(kMaxPictureSide, 2)), target);
    EXPECT_EQ(target.Width(), kMaxPictureSide);
    EXPECT_EQ(target.Height(), 2);
    EXPECT_EQ(target.Row(1)[3 * kMaxPictureSide - 1], 0);

    // One pixel more on a side, or more than the pixel count allowed with
    // both sides within bounds, is refused; the header alone decides, the
    // file need not even hold pixel data.
    TImage kept(2, 2);
    for (const auto& [name, png] : {std::pair{"wide.png", BlackPng(kMaxPictureSide + 1, 1, false)},
                                    std::pair{"tall.png", BlackPng(1, kMaxPictureSide + 1, false)},
                                    std::pair{"area.png", BlackPng(20001, 20000, false)}}) {
        const std::string message = MessageOf([&] { LoadImageFile(Write(name, png), kept); });
        EXPECT_NE(message.find("too large"), std::string::npos) << name << ": " << message;
    }
    EXPECT_EQ(kept.Width(), 2);
}

TEST_F(ImageFuzzRegressionTest, JpegSideLimits) {
    TImage kept(2, 2);
    // 30001 x 8 and 8 x 30001: within the pixel count, one side too long.
    for (const auto& [width, height] : {std::pair{kMaxPictureSide + 1, 8}, std::pair{8, kMaxPictureSide + 1}}) {
        const QByteArray jpeg = JpegDeclaring(width, height);
        EXPECT_NE(
            MessageOf([&] { DecodeJpeg(std::string_view(jpeg.constData(), jpeg.size()), kept); }).find("too large"),
            std::string::npos);
        EXPECT_NE(MessageOf([&] { LoadImageFile(Write("side.jpg", jpeg), kept); }).find("too large"),
                  std::string::npos);
    }

    EXPECT_EQ(kept.Width(), 2);
}

TEST_F(ImageFuzzRegressionTest, TopDownBitmapsLoadAndObeyTheLimits) {
    // 3 x 2, stored top row first: B,G,R bytes 10.. on the top row, 100.. on
    // the bottom one, each row padded to 12 bytes.
    QByteArray rows;
    for (int y = 0; y < 2; ++y) {
        for (int i = 0; i < 9; ++i) rows += static_cast<char>((y == 0 ? 10 : 100) + i);
        rows += QByteArray(3, '\0');
    }
    TImage target;
    LoadImageFile(Write("topdown.bmp", Bitmap24(3, -2, rows)), target);
    ASSERT_EQ(target.Width(), 3);
    ASSERT_EQ(target.Height(), 2);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(target.Row(0)[i], 10 + i);
        EXPECT_EQ(target.Row(1)[i], 100 + i);
    }

    // The stored height counts for the limit whatever its sign.
    TImage kept(2, 2);
    for (int height : {-(kMaxPictureSide + 1), kMaxPictureSide + 1}) {
        const std::string message = MessageOf([&] { LoadImageFile(Write("tall.bmp", Bitmap24(20, height)), kept); });
        EXPECT_NE(message.find("too large"), std::string::npos) << height << ": " << message;
    }
    EXPECT_EQ(kept.Width(), 2);
}
