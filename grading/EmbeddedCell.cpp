#include "grading/EmbeddedCell.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include "engine/base/Error.h"
#include "engine/picture/Thumbnail.h"
#include "imageio/QtPictureFile.h"

namespace {

// The size a PNG file declares in its header, read without decoding.
QSize DeclaredPngSize(const QByteArray& bytes) {
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.size();
}

}  // namespace

std::string CellText(const TImage& cell) {
    const std::string png = EncodePngPicture(cell, "");
    return QByteArray(png.data(), static_cast<qsizetype>(png.size())).toBase64().toStdString();
}

TImage CellFromText(const std::string& text) {
    const auto decoded = QByteArray::fromBase64Encoding(QByteArray(text.data(), static_cast<qsizetype>(text.size())),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) throw EError("is not base64");
    const QSize size = DeclaredPngSize(decoded.decoded);
    if (size.width() <= 0 || size.height() <= 0) throw EError("is no PNG picture");
    if (size.width() != kThumbnailSize || size.height() != kThumbnailSize)
        throw EError("the picture is " + std::to_string(size.width()) + " x " + std::to_string(size.height()) +
                     ", not " + std::to_string(kThumbnailSize) + " x " + std::to_string(kThumbnailSize));
    TImage cell;
    DecodePngPicture(decoded.decoded.toStdString(), cell);
    if (cell.Width() != kThumbnailSize || cell.Height() != kThumbnailSize) throw EError("is no PNG picture");
    return cell;
}
