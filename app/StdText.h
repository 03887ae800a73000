#pragma once
// Qt strings handed to the parts of the program that take std::string.
#include <QFile>
#include <QString>
#include <string>

// Text (messages, captions, library names) as UTF-8.
inline std::string ToStd(const QString& text) { return text.toStdString(); }

// A file name spelt as the file system takes it.
inline std::string FileNameToStd(const QString& name) { return QFile::encodeName(name).toStdString(); }
