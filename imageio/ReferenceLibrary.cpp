#include "ReferenceLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <filesystem>

#include "Error.h"
#include "ImageFile.h"
#include "ImageResize.h"
#include "Thumbnail.h"

namespace {

QString ToQ(const std::string& text) { return QString::fromStdString(text); }
std::string Quoted(const QString& text) { return "\"" + text.toStdString() + "\""; }

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
    if (QCoreApplication::organizationName() == "tarnwerk" && QCoreApplication::applicationName() == "Ombrane")
        return appData;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/tarnwerk/Ombrane";
}

// True when the folder exists (or could be made) and a file can be created in it.
bool UsableFolder(const QString& folder) {
    if (!QDir().mkpath(folder)) return false;
    QTemporaryFile probe(folder + "/.probe-XXXXXX");
    return probe.open();
}

bool ValidCaption(const QString& caption) {
    if (caption.trimmed().isEmpty() || caption == "." || caption == "..") return false;
    for (const QChar c : caption)
        if (c == '/' || c == '\\' || c.unicode() < 32) return false;
#ifdef Q_OS_WIN
    for (const QChar c : caption)
        if (QStringLiteral(":*?\"<>|").contains(c)) return false;
#endif
    return true;
}

}  // namespace

std::string ResolveLibraryFolder(const std::string& configured, const std::string& programFolder,
                                 const std::string& userDataFolder) {
    if (!configured.empty()) return configured;
    const QString besideProgram = QDir(ToQ(programFolder)).filePath("lib");
    if (UsableFolder(besideProgram)) return QDir::toNativeSeparators(besideProgram).toStdString();
    const QString perUser = QDir(ToQ(userDataFolder)).filePath("lib");
    QDir().mkpath(perUser);  // a failure shows later as an empty library
    return QDir::toNativeSeparators(perUser).toStdString();
}

std::string ReadLibraryFolder() {
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "tarnwerk", "Ombrane");
    const std::string configured = settings.value("lib").toString().toStdString();
    return ResolveLibraryFolder(configured, ProgramFolder().toStdString(), UserDataFolder().toStdString());
}

TReferenceLibrary::TReferenceLibrary(std::string folder) : folder_(std::move(folder)) {}

std::string TReferenceLibrary::PathOf(const std::string& fileName) const {
    return QDir(ToQ(folder_)).filePath(ToQ(fileName)).toStdString();
}

std::vector<std::string> TReferenceLibrary::Files() const {
    std::vector<std::string> names;
    QDirIterator it(ToQ(folder_), QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        names.push_back(it.fileName().toStdString());
    }
    return names;
}

std::string TReferenceLibrary::CaptionOf(const std::string& fileName) {
    const QString name = ToQ(fileName);
    const qsizetype dot = name.lastIndexOf('.');
    return (dot <= 0 ? name : name.left(dot)).toStdString();
}

std::string TReferenceLibrary::NameForAdd(const std::string& sourceFile) const {
    return CaptionOf(QFileInfo(ToQ(sourceFile)).fileName().toStdString()) + ".jpeg";
}

bool TReferenceLibrary::Contains(const std::string& fileName) const {
    return QFileInfo::exists(ToQ(PathOf(fileName)));
}

void TReferenceLibrary::Add(const std::string& sourceFile) {
    TImage picture;
    LoadImageFile(sourceFile, picture);
    const TImage reduced = FitImage(picture, kThumbnailSize, kThumbnailSize);
    SaveJpegFile(PathOf(NameForAdd(sourceFile)), reduced, 100);
}

std::string TReferenceLibrary::Rename(const std::string& fileName, const std::string& newCaption) {
    const QString caption = ToQ(newCaption);
    if (!ValidCaption(caption))
        throw EError("The name " + Quoted(caption) + " cannot be used for a library image.");
    const QString suffix = QFileInfo(ToQ(fileName)).fileName().mid(ToQ(CaptionOf(fileName)).size());
    const QString newName = caption + suffix;
    if (newName == ToQ(fileName)) return fileName;
    const QString oldPath = ToQ(PathOf(fileName));
    const QString newPath = ToQ(PathOf(newName.toStdString()));
    // Taken: the file itself, or another reference shown under that caption.
    bool taken = QFileInfo::exists(newPath) || QFileInfo(newPath).isSymLink();
    for (const std::string& other : Files())
        taken = taken || (other != fileName && CaptionOf(other) == newCaption);
    if (taken) throw EError("A library image named " + Quoted(caption) + " already exists.");
    QFile file(oldPath);
    // QFile::rename never replaces an existing file.
    if (!file.rename(newPath))
        throw EError("Cannot rename " + Quoted(ToQ(fileName)) + ": " + file.errorString().toStdString());
    return newName.toStdString();
}

void TReferenceLibrary::Remove(const std::string& fileName) {
    QFile file(ToQ(PathOf(fileName)));
    if (!file.remove())
        throw EError("Cannot delete " + Quoted(ToQ(fileName)) + ": " + file.errorString().toStdString());
}

TImage TReferenceLibrary::LoadCell(const std::string& fileName) const {
    TImage picture;
    LoadImageFile(PathOf(fileName), picture);
    return MakeThumbnailCell(picture);
}

TImage ReduceLikeLibrary(const TImage& picture) {
    const TImage reduced = FitImage(picture, kThumbnailSize, kThumbnailSize);
    TImage stored;
    DecodeJpeg(EncodeJpeg(reduced, 100), stored);
    return stored;
}
