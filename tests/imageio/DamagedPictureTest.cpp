#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtEndian>
#include <filesystem>
#include <functional>
#include <vector>

#include <jpeglib.h>

#include "engine/base/Error.h"
#include "imageio/ImageFile.h"
#include "tests/imageio/PictureTestSupport.h"
#include "tests/support/ThrownMessage.h"

// Damaged pictures are never taken as whole: a JPEG whose data is short or
// corrupt and a bitmap with fewer pixel bytes than its header declares are
// refused, and what is not a regular file is not read at all.

namespace {

// A bitmap as Qt's writer makes it from a picture of the given format.
QByteArray QtBitmap(QImage::Format format, int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) picture.setPixel(x, y, qRgb(x * 9, y * 7, (x + y) * 5));
    picture = picture.convertToFormat(format);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(picture.save(&buffer, "bmp"));
    return bytes;
}

class DamagedPictureTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    TImage kept{2, 2};

    std::string Write(const char* name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return dir.filePath(name).toStdString();
    }
    std::string Load(const char* name, const QByteArray& bytes) {
        return MessageOf([&] { LoadImageFile(Write(name, bytes), kept); });
    }
};

}  // namespace

TEST_F(DamagedPictureTest, JpegWithShortOrCorruptData) {
    const QByteArray whole = QByteArray::fromStdString(EncodeJpeg(Pattern(64, 48), 100));
    const QByteArray endMarker("\xFF\xD9", 2);

    // Cut short but ending with an end marker: the rest would come out grey.
    EXPECT_EQ(Load("cut.jpg", whole.left(whole.size() / 2) + endMarker).rfind("JPEG error #", 0), 0u);

    // A frame header declaring more rows than the data holds.
    QByteArray taller = whole;
    const int sof = taller.indexOf("\xFF\xC0");
    ASSERT_GT(sof, 0);
    qToBigEndian<std::uint16_t>(96, taller.data() + sof + 5);
    EXPECT_EQ(Load("taller.jpg", taller).rfind("JPEG error #", 0), 0u);

    // A few kilobytes declaring 20000 x 20000.
    QByteArray huge = whole;
    qToBigEndian<std::uint16_t>(20000, huge.data() + sof + 5);
    qToBigEndian<std::uint16_t>(20000, huge.data() + sof + 7);
    EXPECT_EQ(Load("huge.jpg", huge).rfind("JPEG error #", 0), 0u);

    // Garbage in the middle of the entropy-coded data.
    QByteArray garbled = whole;
    for (int i = whole.size() / 2; i < whole.size() / 2 + 64; ++i) garbled[i] = static_cast<char>(0xFF);
    EXPECT_EQ(Load("garbled.jpg", garbled).rfind("JPEG error #", 0), 0u);

    EXPECT_EQ(kept.Width(), 2);
    // The whole file still loads.
    EXPECT_EQ(Load("whole.jpg", whole), "(no error)");
    EXPECT_EQ(kept.Width(), 64);
}

TEST_F(DamagedPictureTest, BitmapsShorterThanTheirHeaderSays) {
    struct TKind {
        QImage::Format Format;
        int Bits;
    };
    for (const TKind kind :
         {TKind{QImage::Format_RGB888, 24}, TKind{QImage::Format_Indexed8, 8}, TKind{QImage::Format_Mono, 1}}) {
        const QByteArray whole = QtBitmap(kind.Format, 37, 23);
        ASSERT_EQ(qFromLittleEndian<std::uint16_t>(whole.constData() + 28), kind.Bits);
        const int pixels = static_cast<int>(qFromLittleEndian<std::uint32_t>(whole.constData() + 10));
        ASSERT_EQ(Load("whole.bmp", whole), "(no error)") << kind.Bits;
        kept = TImage(2, 2);
        for (const int length : {55, pixels, pixels + 1, static_cast<int>(whole.size()) - 1})
            EXPECT_EQ(Load("short.bmp", whole.left(length)), "Bitmap image is not valid") << kind.Bits << " " << length;

        // A header claiming more rows or more columns than the data holds,
        // or pixel data starting past the end.
        QByteArray taller = whole;
        qToLittleEndian<std::int32_t>(24, taller.data() + 22);
        EXPECT_EQ(Load("taller.bmp", taller), "Bitmap image is not valid") << kind.Bits;
        QByteArray wider = whole;
        qToLittleEndian<std::int32_t>(100, wider.data() + 18);
        EXPECT_EQ(Load("wider.bmp", wider), "Bitmap image is not valid") << kind.Bits;
        QByteArray offset = whole;
        qToLittleEndian<std::uint32_t>(static_cast<std::uint32_t>(whole.size()), offset.data() + 10);
        EXPECT_EQ(Load("offset.bmp", offset), "Bitmap image is not valid") << kind.Bits;
    }
    // 64 bytes declaring 15000 x 15000: refused before anything is decoded.
    QByteArray tiny = QtBitmap(QImage::Format_RGB888, 2, 2).left(64);
    qToLittleEndian<std::int32_t>(15000, tiny.data() + 18);
    qToLittleEndian<std::int32_t>(15000, tiny.data() + 22);
    EXPECT_EQ(Load("tiny.bmp", tiny), "Bitmap image is not valid");
    EXPECT_EQ(kept.Width(), 2);
}

TEST_F(DamagedPictureTest, OnlyRegularFilesAreRead) {
    const std::string zero = dir.filePath("z.jpg").toStdString();
    std::filesystem::create_symlink("/dev/zero", zero);
    EXPECT_NE(MessageOf([&] { LoadImageFile(zero, kept); }).find("not a regular file"), std::string::npos);
    const std::string pipe = dir.filePath("p.bmp").toStdString();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_NE(MessageOf([&] { LoadImageFile(pipe, kept); }).find("not a regular file"), std::string::npos);
    EXPECT_EQ(kept.Width(), 2);
}

namespace {

// A greyscale JPEG written and read back by libjpeg alone: horizontal
// stripes of flat grey, so the stream is far smaller than its pixel count.
struct TPlainJpeg {
    QByteArray Bytes;
    std::vector<std::uint8_t> Grey;
};

TPlainJpeg StripedGreyJpeg(int width, int height) {
    TPlainJpeg result;
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        std::fill_n(rows.begin() + static_cast<std::ptrdiff_t>(y) * width, width,
                    static_cast<std::uint8_t>(y / 16 * 9));
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = rows.data() + static_cast<std::size_t>(info.next_scanline) * width;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    result.Bytes = QByteArray(reinterpret_cast<const char*>(out), static_cast<qsizetype>(size));
    std::free(out);

    jpeg_decompress_struct in;
    in.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&in);
    jpeg_mem_src(&in, reinterpret_cast<const unsigned char*>(result.Bytes.constData()), size);
    jpeg_read_header(&in, TRUE);
    jpeg_start_decompress(&in);
    result.Grey.resize(static_cast<std::size_t>(width) * height);
    while (in.output_scanline < in.output_height) {
        JSAMPROW row = result.Grey.data() + static_cast<std::size_t>(in.output_scanline) * width;
        jpeg_read_scanlines(&in, &row, 1);
    }
    jpeg_finish_decompress(&in);
    jpeg_destroy_decompress(&in);
    return result;
}

}  // namespace

// A whole stream much smaller than its pixel count is decoded in bands; the
// picture is the one libjpeg gives, row for row.
TEST(SmallJpegStreamTest, DecodesAsLibjpegDoes) {
    const int width = 1000, height = 700;
    const TPlainJpeg jpeg = StripedGreyJpeg(width, height);
    ASSERT_LT(jpeg.Bytes.size() * 64, width * height);
    TImage decoded;
    DecodeJpeg(std::string_view(jpeg.Bytes.constData(), static_cast<std::size_t>(jpeg.Bytes.size())), decoded);
    ASSERT_EQ(decoded.Width(), width);
    ASSERT_EQ(decoded.Height(), height);
    int differences = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                differences += decoded.Row(y)[3 * x + c] != jpeg.Grey[static_cast<std::size_t>(y) * width + x];
    EXPECT_EQ(differences, 0);
}
