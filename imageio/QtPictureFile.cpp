#include "imageio/QtPictureFile.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QImageWriter>

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/base/Error.h"
#include "imageio/BitmapLayout.h"
#include "imageio/IccProfile.h"
#include "imageio/PictureSize.h"
#include "imageio/PixelBudget.h"
#include "imageio/QtImage.h"

namespace {

// 100 dots an inch, what Qt records without a screen.
constexpr int kDotsPerMetre = 3937;

// The size a PNG file declares in its header, read without libpng, whose
// reader may stop at a later chunk before it reports the size. Nothing is
// checked when the file does not start like a PNG file.
void CheckDeclaredPngSize(std::string_view head) {
    if (head.size() < 24 || !head.starts_with("\x89PNG\r\n\x1a\n") || head.substr(12, 4) != "IHDR") return;
    auto bigEndian = [&](int at) {
        long long value = 0;
        for (int i = 0; i < 4; ++i) value = (value << 8) | static_cast<unsigned char>(head[at + i]);
        return value;
    };
    CheckPictureSize(bigEndian(16), bigEndian(20));
}

// BMP and PNG through Qt's readers, the format forced by the extension.
void LoadQtPicture(const std::string& bytes, const char* format, const std::string& damaged, TImage& target) {
    if (std::string_view(format) == "png") CheckDeclaredPngSize(bytes);
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer file(&data);
    file.open(QIODevice::ReadOnly);
    QImageReader reader(&file, format);
    reader.setAutoDetectImageFormat(false);
    // Qt reports a top-down bitmap's stored height, which is negative; its
    // reader decodes such a bitmap all the same.
    const QSize declared = reader.size();
    const long long width = declared.width(), height = std::llabs(declared.height());
    if (width <= 0 || height <= 0) throw EError(damaged);
    CheckPictureSize(width, height);
    if (std::string_view(format) == "bmp" && !BitmapDataComplete(bytes)) throw EError(damaged);
    // Qt's picture at up to 4 bytes a pixel, then the program's at 3.
    TPixelReservation pixels = PicturePixelBudget().Reserve(static_cast<std::uint64_t>(width) * height * 7);
    QImageReader::setAllocationLimit(static_cast<int>(kMaxPicturePixels * 4 / (1024 * 1024)) + 1);
    QImage picture;
    if (!reader.read(&picture) || picture.isNull()) {
        throw EError(damaged);
    }
    target = ImageFromQImage(picture);
    KeepForJob(std::move(pixels));
}

// The resolution the file records is fixed, not the screen's (which Qt
// takes by default where there is one): the window writes the bytes the
// command line writes, on any display.
QImage WithFixedResolution(QImage picture) {
    picture.setDotsPerMeterX(kDotsPerMetre);
    picture.setDotsPerMeterY(kDotsPerMetre);
    return picture;
}

std::string EncodeQtPicture(const TImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(WithFixedResolution(QImageFromImage(image))))
        throw EError("Cannot encode the picture: " + writer.errorString().toStdString());
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace

void DecodeBmpPicture(const std::string& bytes, TImage& target) {
    LoadQtPicture(bytes, "bmp", "Bitmap image is not valid", target);
}

void DecodePngPicture(const std::string& bytes, TImage& target) {
    LoadQtPicture(bytes, "png", "PNG image is not valid", target);
}

// A bitmap holds no profile.
std::string EncodeBmpPicture(const TImage& image, const std::string&) { return EncodeQtPicture(image, "bmp"); }

std::string EncodePngPicture(const TImage& image, const std::string& icc) {
    const std::string bytes = EncodeQtPicture(image, "png");
    return icc.empty() ? bytes : PngWithProfile(bytes, icc);
}
