#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <filesystem>

#include "engine/base/Error.h"
#include "library/LibrarySettings.h"
#include "library/UserSettingsFiles.h"

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
    // The default folder is made in the test's own data folder.
    const QByteArray savedData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("data")));
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "tarnwerk", "Ombrane");
        settings.remove("lib");
    }
    // First run: the default folder exists afterwards; no value was stored.
    const QString first = QString::fromStdString(ReadLibraryFolder());
    EXPECT_TRUE(first.endsWith("lib"));
    EXPECT_TRUE(QFileInfo(first).isDir());
    EXPECT_TRUE(first.startsWith(dir.path() + "/")) << first.toStdString();
    qputenv("XDG_DATA_HOME", savedData);
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "tarnwerk", "Ombrane");
        EXPECT_FALSE(settings.contains("lib"));
        settings.setValue("lib", dir.filePath("missing"));
    }
    EXPECT_EQ(QString::fromStdString(ReadLibraryFolder()), dir.filePath("missing"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("missing")));
}

// The settings files are checked before they are read: a named pipe, a
// folder or a file larger than any settings file is named with the reason;
// missing and regular ones pass. ReadLibraryFolder refuses at once rather
// than wait on the pipe.
TEST_F(LibrarySettingsTest, SettingsFilesThatCannotBeReadAreNamed) {
    const std::string folder = Path("config");
    QDir().mkpath(dir.filePath("config/tarnwerk"));
    EXPECT_EQ(SettingsFilesProblem(folder), "");
    Touch("config/tarnwerk/Ombrane.conf");
    Touch("config/tarnwerk.conf");
    EXPECT_EQ(SettingsFilesProblem(folder), "");

    const std::string own = folder + "/tarnwerk/Ombrane.conf";
    const std::string organisation = folder + "/tarnwerk.conf";
    QFile::remove(QString::fromStdString(organisation));
    ASSERT_EQ(mkfifo(organisation.c_str(), 0600), 0);
    EXPECT_EQ(SettingsFilesProblem(folder), "Cannot read file \"" + organisation + "\": it is not a regular file.");
    QFile::remove(QString::fromStdString(organisation));
    std::filesystem::resize_file(own, 17ull << 20);
    EXPECT_EQ(SettingsFilesProblem(folder), "Cannot read file \"" + own + "\": it is too large (more than 16 MiB).");
    QFile::remove(QString::fromStdString(own));
    QDir().mkpath(QString::fromStdString(own));
    EXPECT_EQ(SettingsFilesProblem(folder), "Cannot read file \"" + own + "\": Is a directory.");
    QDir().rmdir(QString::fromStdString(own));

    ASSERT_EQ(mkfifo(own.c_str(), 0600), 0);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
    EXPECT_EQ(UserSettingsProblem(), "Cannot read file \"" + own + "\": it is not a regular file.");
    try {
        ReadLibraryFolder();
        ADD_FAILURE() << "settings that are a pipe were read";
    } catch (const EError& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot read file \"" + own + "\": it is not a regular file.");
    }
    // Set aside, the settings are the defaults and the pipe is left alone.
    SetUserSettingsAside();
    EXPECT_EQ(UserSettingsProblem(), "");
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "tarnwerk", "Ombrane").setValue("lib", "x");
    EXPECT_EQ(QSettings(QSettings::NativeFormat, QSettings::UserScope, "tarnwerk", "Ombrane").value("lib"), "x");
    struct stat st {};
    ASSERT_EQ(lstat(own.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

}  // namespace
