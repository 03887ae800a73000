#include "imageio/QtPictureCodec.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <cstring>

#include "engine/base/Error.h"
#include "imageio/PictureSize.h"

namespace {

// Every complete PNG file ends with this chunk (length 0, type, CRC).
constexpr std::string_view kEndChunk{"\0\0\0\0IEND\xae\x42\x60\x82", 12};

class TQtPictureCodec : public TPictureCodec {
public:
    void DecodePng(std::string_view bytes, TPicture48& picture) const override {
        // Qt's reader accepts a file cut after its picture data; a LUT
        // picture that lost its end is refused all the same.
        if (bytes.find(kEndChunk) == std::string_view::npos) throw EError("PNG image is not valid");
        QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "png");
        reader.setAutoDetectImageFormat(false);
        const QSize declared = reader.size();
        if (declared.width() <= 0 || declared.height() <= 0) throw EError("PNG image is not valid");
        if (declared.width() > kMaxPictureSide || declared.height() > kMaxPictureSide ||
            static_cast<long long>(declared.width()) * declared.height() > kMaxPicturePixels)
            throw EError("The picture is too large (" + std::to_string(declared.width()) + " x " +
                         std::to_string(declared.height()) + " pixels)");
        QImage image;
        if (!reader.read(&image) || image.isNull()) throw EError("PNG image is not valid");
        const bool sixteen = image.depth() == 64 || image.format() == QImage::Format_Grayscale16;
        const QImage wide = image.convertToFormat(QImage::Format_RGBX64);
        if (wide.isNull()) throw EError("Not enough memory for the picture");
        picture.Width = wide.width();
        picture.Height = wide.height();
        picture.SourceBits = sixteen ? 16 : 8;
        picture.Samples.resize(static_cast<std::size_t>(picture.Width) * picture.Height * 3);
        std::uint16_t* out = picture.Samples.data();
        for (int y = 0; y < wide.height(); ++y) {
            const auto* in = reinterpret_cast<const std::uint16_t*>(wide.constScanLine(y));
            for (int x = 0; x < wide.width(); ++x, in += 4, out += 3) {
                out[0] = in[0];
                out[1] = in[1];
                out[2] = in[2];
            }
        }
    }

    std::string EncodePng(const TPicture48& picture) const override {
        QImage image(picture.Width, picture.Height, QImage::Format_RGBX64);
        if (image.isNull()) throw EError("Not enough memory for the picture");
        const std::uint16_t* in = picture.Samples.data();
        for (int y = 0; y < picture.Height; ++y) {
            auto* out = reinterpret_cast<std::uint16_t*>(image.scanLine(y));
            for (int x = 0; x < picture.Width; ++x, in += 3, out += 4) {
                out[0] = in[0];
                out[1] = in[1];
                out[2] = in[2];
                out[3] = 0xffff;
            }
        }
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        if (!writer.write(image)) throw EError("Cannot encode the PNG picture: " + writer.errorString().toStdString());
        return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
};

}  // namespace

const TPictureCodec& QtPictureCodec() {
    static const TQtPictureCodec codec;
    return codec;
}
