#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

#include "engine/base/Error.h"
#include "imageio/ImageFile.h"
#include "tests/imageio/PictureTestSupport.h"
#include "tests/support/ThrownMessage.h"

namespace {

void WriteQFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray ReadQFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

// A greyscale JPEG written with libjpeg itself, independent of the code
// under test.
QByteArray GreyJpeg(int width, int height, const std::vector<std::uint8_t>& grey) {
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
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<std::uint8_t*>(grey.data() + info.next_scanline * width);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray bytes(reinterpret_cast<const char*>(out), static_cast<qsizetype>(size));
    std::free(out);
    return bytes;
}

void PutLE(QByteArray& bytes, int offset, std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// An uncompressed 8-bit bitmap with a palette of 256 greys in reverse order
// (palette entry i is grey 255 - i); pixel (x, y) uses entry (x + 3y) % 256.
QByteArray Grey8BitBitmap(int width, int height) {
    const int rowBytes = (width + 3) & ~3;
    const int dataOffset = 14 + 40 + 256 * 4;
    QByteArray bytes(dataOffset + rowBytes * height, '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    PutLE(bytes, 2, bytes.size(), 4);
    PutLE(bytes, 10, dataOffset, 4);
    PutLE(bytes, 14, 40, 4);
    PutLE(bytes, 18, width, 4);
    PutLE(bytes, 22, height, 4);  // bottom-up
    PutLE(bytes, 26, 1, 2);
    PutLE(bytes, 28, 8, 2);
    PutLE(bytes, 46, 256, 4);
    for (int i = 0; i < 256; ++i)
        for (int c = 0; c < 3; ++c) bytes[54 + 4 * i + c] = static_cast<char>(255 - i);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bytes[dataOffset + (height - 1 - y) * rowBytes + x] = static_cast<char>((x + 3 * y) % 256);
    return bytes;
}

class ImageFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string Path(const char* name) const { return dir.filePath(name).toStdString(); }
};

}  // namespace

TEST_F(ImageFileTest, LosslessTypesRoundTripExactly) {
    const TImage picture = Pattern(37, 23);
    for (const char* name : {"pattern.bmp", "pattern.png", "PATTERN2.BMP"}) {
        SaveImageFile(Path(name), picture);
        TImage loaded;
        LoadImageFile(Path(name), loaded);
        EXPECT_TRUE(loaded.SamePixels(picture)) << name;
    }
    // The bitmap writer stores 24 bits per pixel.
    const QByteArray bmp = ReadQFile(dir.filePath("pattern.bmp"));
    ASSERT_GT(bmp.size(), 30);
    EXPECT_EQ(static_cast<unsigned char>(bmp[28]), 24);
}

TEST_F(ImageFileTest, GreySourcesArriveWithEqualChannels) {
    const int width = 40, height = 16;
    std::vector<std::uint8_t> grey(width * height);
    for (int i = 0; i < width * height; ++i) grey[i] = static_cast<std::uint8_t>((i / width) * 12 + 20);
    WriteQFile(dir.filePath("grey.jpg"), GreyJpeg(width, height, grey));
    TImage fromJpeg;
    LoadImageFile(Path("grey.jpg"), fromJpeg);
    ASSERT_EQ(fromJpeg.Width(), width);
    ASSERT_EQ(fromJpeg.Height(), height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = fromJpeg.Row(y) + 3 * x;
            EXPECT_EQ(p[0], p[1]);
            EXPECT_EQ(p[1], p[2]);
            EXPECT_NEAR(p[0], grey[y * width + x], 2);
        }

    WriteQFile(dir.filePath("palette.bmp"), Grey8BitBitmap(13, 5));
    TImage fromBitmap;
    LoadImageFile(Path("palette.bmp"), fromBitmap);
    ASSERT_EQ(fromBitmap.Width(), 13);
    ASSERT_EQ(fromBitmap.Height(), 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 13; ++x) {
            const std::uint8_t* p = fromBitmap.Row(y) + 3 * x;
            const int expected = 255 - (x + 3 * y) % 256;
            EXPECT_EQ(p[0], expected);
            EXPECT_EQ(p[1], expected);
            EXPECT_EQ(p[2], expected);
        }
}

TEST_F(ImageFileTest, JpegKeepsSizeAndColoursCloseAndExtensionIgnoresCase) {
    TImage flat(64, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) {
            std::uint8_t* p = flat.Row(y) + 3 * x;
            p[0] = 40;   // blue
            p[1] = 120;  // green
            p[2] = 200;  // red
        }
    SaveJpegFile(Path("PHOTO.JPG"), flat, 100);
    QFile::copy(dir.filePath("PHOTO.JPG"), dir.filePath("photo.jpg"));
    TImage upper, lower;
    LoadImageFile(Path("PHOTO.JPG"), upper);
    LoadImageFile(Path("photo.jpg"), lower);
    EXPECT_TRUE(upper.SamePixels(lower));
    ASSERT_EQ(upper.Width(), 64);
    ASSERT_EQ(upper.Height(), 32);
    const std::uint8_t* p = upper.Row(16) + 3 * 30;
    EXPECT_NEAR(p[0], 40, 2);
    EXPECT_NEAR(p[1], 120, 2);
    EXPECT_NEAR(p[2], 200, 2);
    // The file is a JPEG stream whatever the extension's case.
    const QByteArray bytes = ReadQFile(dir.filePath("PHOTO.JPG"));
    ASSERT_GE(bytes.size(), 2);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xD8);
}

TEST_F(ImageFileTest, FailuresCarryMessagesAndLeaveTheTargetAlone) {
    const TImage original = Pattern(5, 4);
    TImage target = original.Clone();

    WriteQFile(dir.filePath("notes.txt"), "hello");
    EXPECT_EQ(MessageOf([&] { LoadImageFile(Path("notes.txt"), target); }), "Unknown picture file extension (.txt)");

    WriteQFile(dir.filePath("text.jpg"), "this is not a picture");
    EXPECT_EQ(MessageOf([&] { LoadImageFile(Path("text.jpg"), target); }),
              "JPEG error #" + std::to_string(JERR_NO_SOI));

    // A real JPEG cut off inside its header.
    SaveJpegFile(Path("whole.jpg"), Pattern(50, 50), 100);
    WriteQFile(dir.filePath("cut.jpg"), ReadQFile(dir.filePath("whole.jpg")).left(120));
    EXPECT_EQ(MessageOf([&] { LoadImageFile(Path("cut.jpg"), target); }).rfind("JPEG error #", 0), 0u);

    // A JPEG whose image data ends early is damaged too: no grey-filled picture.
    const QByteArray whole = ReadQFile(dir.filePath("whole.jpg"));
    WriteQFile(dir.filePath("half.jpg"), whole.left(whole.size() / 2));
    EXPECT_EQ(MessageOf([&] { LoadImageFile(Path("half.jpg"), target); }),
              "JPEG error #" + std::to_string(JWRN_JPEG_EOF) + ": the file ends before the picture data");

    QByteArray bitmap = Grey8BitBitmap(8, 8);
    WriteQFile(dir.filePath("short.bmp"), bitmap.left(40));
    EXPECT_EQ(MessageOf([&] { LoadImageFile(Path("short.bmp"), target); }), "Bitmap image is not valid");
    bitmap[0] = 'X';
    WriteQFile(dir.filePath("magic.bmp"), bitmap);
    EXPECT_EQ(MessageOf([&] { LoadImageFile(Path("magic.bmp"), target); }), "Bitmap image is not valid");

    const std::string missing = Path("missing.jpg");
    EXPECT_NE(MessageOf([&] { LoadImageFile(missing, target); }).find(missing), std::string::npos);

    EXPECT_TRUE(target.SamePixels(original));
}

TEST_F(ImageFileTest, HugeDeclaredSizesAreRefusedBeforeDecoding) {
    TImage target;
    // A bitmap header declaring 40000 x 10 pixels, with hardly any data.
    QByteArray bitmap = Grey8BitBitmap(8, 8);
    PutLE(bitmap, 18, 40000, 4);
    PutLE(bitmap, 22, 10, 4);
    WriteQFile(dir.filePath("wide.bmp"), bitmap);
    EXPECT_NE(MessageOf([&] { LoadImageFile(Path("wide.bmp"), target); }).find("too large"), std::string::npos);

    // A JPEG whose frame header claims 25000 x 25000 (over 400 megapixels).
    QByteArray jpeg = QByteArray::fromStdString(EncodeJpeg(Pattern(16, 16), 90));
    const int sof = jpeg.indexOf("\xFF\xC0");
    ASSERT_GT(sof, 0);
    for (int field : {sof + 5, sof + 7}) {
        jpeg[field] = static_cast<char>(25000 >> 8);
        jpeg[field + 1] = static_cast<char>(25000 & 0xFF);
    }
    EXPECT_NE(MessageOf([&] { DecodeJpeg(std::string_view(jpeg.constData(), jpeg.size()), target); }).find("too large"),
              std::string::npos);
    EXPECT_TRUE(target.Empty());
}

TEST_F(ImageFileTest, WritingFailsCleanly) {
    const TImage picture = Pattern(10, 10);
    EXPECT_EQ(MessageOf([&] { SaveImageFile(Path("picture.gif"), picture); }), "Unknown picture file extension (.gif)");
    EXPECT_NE(MessageOf([&] { SaveJpegFile(Path("no/such/folder/x.jpg"), picture); }).find("x.jpg"), std::string::npos);

    // A refused write leaves the existing file as it was.
    SaveJpegFile(Path("keep.jpg"), picture);
    const QByteArray before = ReadQFile(dir.filePath("keep.jpg"));
    EXPECT_NE(MessageOf([&] { SaveJpegFile(Path("keep.jpg"), TImage()); }), "(no error)");
    EXPECT_EQ(ReadQFile(dir.filePath("keep.jpg")), before);
    // Only the target file is left in the folder: no temporary files.
    const QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(files, QStringList{"keep.jpg"});
}

namespace {

// The same picture encoded by libjpeg alone, with its own growing memory
// buffer: the stream the encoder must give byte for byte.
QByteArray PlainColourJpeg(const TImage& image, int quality) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = image.Width();
    info.image_height = image.Height();
    info.input_components = 3;
    info.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<std::uint8_t*>(image.Row(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray bytes(reinterpret_cast<const char*>(out), static_cast<qsizetype>(size));
    std::free(out);
    return bytes;
}

}  // namespace

TEST_F(ImageFileTest, EncodingWritesLibjpegsOwnStreamWhateverItsSize) {
    // One pixel, a picture smaller than libjpeg's first buffer, noise whose
    // stream nears the reserved room, and a smooth picture.
    const TImage pictures[] = {Pattern(1, 1), Pattern(37, 23), Noise(301, 207), Pattern(640, 480)};
    for (const TImage& picture : pictures)
        for (int quality : {100, 75}) {
            const QByteArray plain = PlainColourJpeg(picture, quality);
            const std::string encoded = EncodeJpeg(picture, quality);
            EXPECT_EQ(QByteArray(encoded.data(), static_cast<qsizetype>(encoded.size())), plain)
                << picture.Width() << " x " << picture.Height() << " at " << quality;
            SaveJpegFile(Path("saved.jpg"), picture, quality);
            EXPECT_EQ(ReadQFile(dir.filePath("saved.jpg")), plain) << picture.Width() << " at " << quality;
        }
    SaveImageFile(Path("default.jpeg"), pictures[2]);
    EXPECT_EQ(ReadQFile(dir.filePath("default.jpeg")), PlainColourJpeg(pictures[2], 100));
}
