#pragma once
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QString>

// Files the window and the command line wrote, for comparing them.

inline QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The bytes with the TIFF DateTime value ("YYYY:MM:DD HH:MM:SS", once) blanked.
inline QByteArray WithoutStamp(QByteArray bytes) {
    const QRegularExpression stamp("\\d{4}:\\d\\d:\\d\\d \\d\\d:\\d\\d:\\d\\d");
    const QString text = QString::fromLatin1(bytes);
    const QRegularExpressionMatch match = stamp.match(text);
    EXPECT_TRUE(match.hasMatch());
    EXPECT_FALSE(stamp.match(text, match.capturedEnd()).hasMatch());
    if (match.hasMatch()) bytes.replace(match.capturedStart(), match.capturedLength(), QByteArray(19, '#'));
    return bytes;
}
