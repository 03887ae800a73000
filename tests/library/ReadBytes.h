#pragma once
#include <QByteArray>
#include <QFile>
#include <QString>

// A file's bytes; none when it cannot be read.
inline QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
