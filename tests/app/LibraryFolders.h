#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <string>

// A test with a library folder and a folder of pictures to open or add, both
// in a temporary folder of its own.
class TLibraryFoldersTest : public ::testing::Test {
protected:
    QTemporaryDir dir;

    QString Lib() const { return dir.filePath("lib"); }
    QString Pictures() const { return dir.filePath("pictures"); }
    std::string LibPath(const QString& name) const { return (Lib() + "/" + name).toStdString(); }
    std::string PicturePath(const QString& name) const { return (Pictures() + "/" + name).toStdString(); }

    void SetUp() override {
        QDir().mkpath(Lib());
        QDir().mkpath(Pictures());
    }
};
