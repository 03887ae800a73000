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
}  // namespace

TImage ImageFromQImage(const QImage& picture) {
    if (picture.isNull()) return TImage();
    const QImage bgr = Opaque(picture).convertToFormat(QImage::Format_BGR888);
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
