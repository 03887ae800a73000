#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include "engine/Error.h"
#include "library/LibrarySettings.h"

namespace {

class LibrarySettingsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string Path(const QString& name) const { return dir.filePath(name).toStdString(); }
    void Touch(const QString& name) const {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    static QString Clean(const std::string& path) { return QDir::cleanPath(QString::fromStdString(path)); }
};

TEST_F(LibrarySettingsTest, FolderChoice) {
    // A configured folder is used as it is, even when missing; nothing is created.
    const std::string configured = Path("elsewhere");
    EXPECT_EQ(ResolveLibraryFolder(configured, dir.path().toStdString(), "/nonexistent"), configured);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("elsewhere")));

    // An installed program (no "lib" beside it, no build tree): the per-user
    // folder's "lib", created; nothing is written beside the program.
    const QString program = dir.filePath("usr/bin");
    QDir().mkpath(program);
    const std::string installed = ResolveLibraryFolder("", program.toStdString(), Path("user"));
    EXPECT_EQ(Clean(installed), QDir::cleanPath(dir.filePath("user/lib")));
    EXPECT_TRUE(QFileInfo(dir.filePath("user/lib")).isDir());
    EXPECT_FALSE(QFileInfo::exists(program + "/lib"));

    // A portable copy whose "lib" exists: that folder.
    QDir().mkpath(dir.filePath("portable/lib"));
    EXPECT_EQ(Clean(ResolveLibraryFolder("", Path("portable"), Path("user2"))),
              QDir::cleanPath(dir.filePath("portable/lib")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("user2")));

    // A program run from its build tree: "lib" beside it, created.
    QDir().mkpath(dir.filePath("build/app"));
    Touch("build/CMakeCache.txt");
    EXPECT_EQ(Clean(ResolveLibraryFolder("", Path("build/app"), Path("user3"))),
              QDir::cleanPath(dir.filePath("build/app/lib")));
    EXPECT_TRUE(QFileInfo(dir.filePath("build/app/lib")).isDir());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("user3")));
}

TEST_F(LibrarySettingsTest, AConfiguredFileIsNotAFolder) {
    Touch("plain.txt");
    try {
        ResolveLibraryFolder(Path("plain.txt"), dir.path().toStdString(), Path("user"));
        FAIL() << "a regular file cannot be the library";
    } catch (const EError& error) {
        EXPECT_EQ(std::string(error.what()), "The library \"" + Path("plain.txt") + "\" is not a folder.");
    }
    EXPECT_THROW(CheckLibraryFolderKind("/dev/null"), EError);
    EXPECT_NO_THROW(CheckLibraryFolderKind(Path("missing")));
    EXPECT_NO_THROW(CheckLibraryFolderKind(dir.path().toStdString()));
}

TEST_F(LibrarySettingsTest, SettingsAreReadNeverWritten) {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "tarnwerk", "Ombrane");
        settings.remove("lib");
    }
    // First run: the default folder exists afterwards; no value was stored.
    const QString first = QString::fromStdString(ReadLibraryFolder());
    EXPECT_TRUE(first.endsWith("lib"));
    EXPECT_TRUE(QFileInfo(first).isDir());
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "tarnwerk", "Ombrane");
        EXPECT_FALSE(settings.contains("lib"));
        settings.setValue("lib", dir.filePath("missing"));
    }
    EXPECT_EQ(QString::fromStdString(ReadLibraryFolder()), dir.filePath("missing"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("missing")));
}

}  // namespace
