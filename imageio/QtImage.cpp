#include "imageio/QtImage.h"

#include <QPainter>
#include <cstring>

#include "engine/base/Error.h"

namespace {
QImage Opaque(const QImage& picture) {
    if (!picture.hasAlphaChannel()) return picture;
    QImage white(picture.size(), QImage::Format_RGB32);
    if (white.isNull()) throw EError("Not enough memory for the picture");
    white.fill(Qt::white);
    QPainter painter(&white);
    painter.drawImage(0, 0, picture);
    painter.end();
    return white;
}

// The pixels of a 32-bit picture without alpha (what the JPEG and PNG
// decoders give), copied here rather than converted by Qt: a large
// conversion starts threads of Qt's own pool, which a command-line process
// only tears down at its exit.
TImage ImageFromRgb32(const QImage& picture) {
    TImage image(picture.width(), picture.height());
    for (int y = 0; y < image.Height(); ++y) {
        const QRgb* from = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        std::uint8_t* to = image.Row(y);
        for (int x = 0; x < image.Width(); ++x, to += 3) {
            to[0] = static_cast<std::uint8_t>(qBlue(from[x]));
            to[1] = static_cast<std::uint8_t>(qGreen(from[x]));
            to[2] = static_cast<std::uint8_t>(qRed(from[x]));
        }
    }
    return image;
}
}  // namespace

TImage ImageFromQImage(const QImage& picture) {
    if (picture.isNull()) return TImage();
    const QImage opaque = Opaque(picture);
    if (opaque.format() == QImage::Format_RGB32) return ImageFromRgb32(opaque);
    const QImage bgr = opaque.convertToFormat(QImage::Format_BGR888);
    if (bgr.isNull()) throw EError("Not enough memory for the picture");
    TImage image(bgr.width(), bgr.height());
    const std::size_t bytes = static_cast<std::size_t>(image.Width()) * 3;
    for (int y = 0; y < image.Height(); ++y) std::memcpy(image.Row(y), bgr.constScanLine(y), bytes);
    return image;
}

QImage QImageFromImage(const TImage& image) {
    if (image.Empty()) return QImage();
    QImage picture(image.Width(), image.Height(), QImage::Format_BGR888);
    if (picture.isNull()) throw EError("Not enough memory for the picture");
    const std::size_t bytes = static_cast<std::size_t>(image.Width()) * 3;
    for (int y = 0; y < image.Height(); ++y) std::memcpy(picture.scanLine(y), image.Row(y), bytes);
    return picture;
}
