#include "library/LibrarySettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <filesystem>

#include "engine/base/Error.h"
#include "grading/UserSettings.h"
#include "library/UserSettingsFiles.h"

namespace {

QString ToQ(const std::string& text) { return QString::fromStdString(text); }

// The folder of the running executable, also without a QCoreApplication.
QString ProgramFolder() {
    if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) return QFileInfo(QString::fromStdString(exe.string())).absolutePath();
    return QDir::currentPath();
}

QString UserDataFolder() {
    const QString appData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (QCoreApplication::organizationName() == kSettingsOrganisation &&
        QCoreApplication::applicationName() == kSettingsApplication)
        return appData;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/" + kSettingsOrganisation + "/" +
           kSettingsApplication;
}

// A program built and not installed: its folder or the one above holds the
// build system's cache.
bool RunsFromBuildTree(const QString& programFolder) {
    const QDir folder(programFolder);
    return QFileInfo::exists(folder.filePath("CMakeCache.txt")) ||
           QFileInfo::exists(folder.filePath("../CMakeCache.txt"));
}

}  // namespace

void CheckLibraryFolderKind(const std::string& folder) {
    std::error_code error;
    const auto status = std::filesystem::status(folder, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_directory(status))
        throw EError("The library \"" + folder + "\" is not a folder.");
}

std::string ResolveLibraryFolder(const std::string& configured, const std::string& programFolder,
                                 const std::string& userDataFolder) {
    if (!configured.empty()) {
        CheckLibraryFolderKind(configured);
        return configured;
    }
    const QString besideProgram = QDir(ToQ(programFolder)).filePath("lib");
    if (QFileInfo(besideProgram).isDir() || (RunsFromBuildTree(ToQ(programFolder)) && QDir().mkpath(besideProgram)))
        return QDir::toNativeSeparators(besideProgram).toStdString();
    const QString perUser = QDir(ToQ(userDataFolder)).filePath("lib");
    QDir().mkpath(perUser);  // a failure shows when the library is read
    return QDir::toNativeSeparators(perUser).toStdString();
}

std::string ReadLibraryFolder() {
    if (const std::string problem = UserSettingsProblem(); !problem.empty()) throw EError(problem);
    const std::string configured = UserSettings().value(kLibraryFolderKey).toString().toStdString();
    return ResolveLibraryFolder(configured, ProgramFolder().toStdString(), UserDataFolder().toStdString());
}
