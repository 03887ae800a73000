#include "library/UserSettingsFiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdint>
#include <memory>

#include "fileio/FileRead.h"
#include "grading/UserSettings.h"

namespace {

constexpr std::uint64_t kMaxSettingsBytes = 16ull * 1024 * 1024;

// The folder the settings store keeps the user's files in, as set for this
// run: found through the file name of a store that reads only a file of a
// name no program uses, so that none of ours is opened on the way.
QString UserSettingsFolder() {
    const QSettings probe(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral(".ombrane-folder-probe"));
    return QFileInfo(probe.fileName()).absolutePath();
}

}  // namespace

std::string SettingsFilesProblem(const std::string& folder) {
    const QString base = QFile::decodeName(folder.c_str()) + "/" + kSettingsOrganisation;
    for (const QString& file : {base + "/" + kSettingsApplication + ".conf", base + ".conf"}) {
        const std::string name = QFile::encodeName(file).toStdString();
        if (!QFileInfo::exists(file)) continue;
        const std::string problem = RegularFileProblem(name, kMaxSettingsBytes);
        if (!problem.empty()) return "Cannot read file \"" + name + "\": " + problem + ".";
    }
    return std::string();
}

std::string UserSettingsProblem() {
    return SettingsFilesProblem(QFile::encodeName(UserSettingsFolder()).toStdString());
}

void SetUserSettingsAside() {
    static std::unique_ptr<QTemporaryDir> aside;
    aside = std::make_unique<QTemporaryDir>();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, aside->path());
}
