#include "grading/ReferenceHash.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <algorithm>

#include "fileio/FileRead.h"

std::string ReferenceFileHash(const std::string& fileName) {
    const std::string bytes = ReadFileBytes(fileName, kMaxPictureFileBytes);
    const QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex().toStdString();
}

bool IsReferenceHash(const std::string& text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(),
                                            [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}
