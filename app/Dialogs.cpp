#include "app/Dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QStandardPaths>
#include <QStatusBar>

#include "grading/UserSettings.h"

namespace {
TDialogs gRealDialogs;
TDialogs* gDialogs = &gRealDialogs;

constexpr int kSavedMessageTime = 8000;

// The settings keys of the kinds' folders follow TFileKind.
static_assert(kDialogFolderKeyCount == static_cast<int>(TFileKind::Look) + 1, "a folder key for each kind of file");

QString FolderKey(TFileKind kind) { return QString::fromLatin1(kDialogFolderKeys[static_cast<int>(kind)]); }

bool Usable(const QString& folder, bool save) {
    if (folder.isEmpty()) return false;
    const QFileInfo info(folder);
    return info.isDir() && info.isReadable() && (!save || info.isWritable());
}

// Converts a filter of the form "Name|*.a;*.b|Other|*.*" into Qt's form
// "Name (*.a *.b);;Other (*.*)". A filter already in Qt's form is kept.
QString ToQtFilter(const QString& filter) {
    if (!filter.contains('|')) return filter;
    const QStringList parts = filter.split('|');
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        entries << parts[i] + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
    return entries.join(";;");
}

// The extension a name typed without one gets under a filter of Qt's form
// "Name (*.a *.b)": the default when the filter takes it or takes every
// file, else the filter's first extension.
QString ExtensionFor(const QString& filter, const QString& defaultExtension) {
    const qsizetype open = filter.lastIndexOf('('), close = filter.lastIndexOf(')');
    if (open < 0 || close < open) return defaultExtension;
    const QStringList patterns = filter.mid(open + 1, close - open - 1).split(' ', Qt::SkipEmptyParts);
    QString first;
    for (const QString& pattern : patterns) {
        if (!pattern.startsWith("*.")) return defaultExtension;
        const QString extension = pattern.mid(2);
        if (extension.contains('*') || extension.contains('?') ||
            extension.compare(defaultExtension, Qt::CaseInsensitive) == 0)
            return defaultExtension;
        if (first.isEmpty()) first = extension;
    }
    return first.isEmpty() ? defaultExtension : first;
}
}  // namespace

QStringList TDialogs::OpenFiles(QWidget* parent, const QString& caption, const QString& filter,
                                const QString& startFolder) {
    return QFileDialog::getOpenFileNames(parent, caption, startFolder, ToQtFilter(filter));
}

QString TDialogs::OpenPicture(QWidget* parent, const QString& caption, const QString& filter,
                              const QString& startFolder) {
    return QFileDialog::getOpenFileName(parent, caption, startFolder, ToQtFilter(filter));
}

QString TDialogs::SaveFile(QWidget* parent, const QString& caption, const QString& startFolder, const QString& filter,
                           const QString& defaultExtension) {
    QFileDialog dialog(parent, caption, startFolder, ToQtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The chosen filter gives the extension of a name typed without one.
    const auto follow = [&dialog, defaultExtension](const QString& chosen) {
        dialog.setDefaultSuffix(ExtensionFor(chosen, defaultExtension));
    };
    follow(dialog.selectedNameFilter());
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, follow);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().first();
}

QMessageBox::StandardButton TDialogs::Ask(QWidget* parent, const QString& text, QMessageBox::StandardButtons buttons) {
    return QMessageBox::question(parent, QApplication::applicationDisplayName(), text, buttons);
}

void TDialogs::ShowError(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, QApplication::applicationDisplayName(), text);
}

TDialogs& Dialogs() { return *gDialogs; }

void SetDialogs(TDialogs* dialogs) { gDialogs = dialogs ? dialogs : &gRealDialogs; }

QString StartFolder(TFileKind kind, bool save) {
    const QString last = UserSettings().value(FolderKey(kind)).toString();
    if (Usable(last, save)) return QDir::cleanPath(last);
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (Usable(pictures, save)) return QDir::cleanPath(pictures);
    return QDir::homePath();
}

void RememberFolder(TFileKind kind, const QString& chosenFile) {
    if (chosenFile.isEmpty()) return;
    UserSettings().setValue(FolderKey(kind), QFileInfo(chosenFile).absolutePath());
}

QStringList OpenFilesOfKind(TFileKind kind, QWidget* parent, const QString& caption, const QString& filter) {
    const QStringList files = Dialogs().OpenFiles(parent, caption, filter, StartFolder(kind, false));
    if (!files.isEmpty()) RememberFolder(kind, files.first());
    return files;
}

QString OpenFileOfKind(TFileKind kind, QWidget* parent, const QString& caption, const QString& filter) {
    const QString file = Dialogs().OpenPicture(parent, caption, filter, StartFolder(kind, false));
    RememberFolder(kind, file);
    return file;
}

QString SaveFileOfKind(TFileKind kind, QWidget* parent, const QString& caption, const QString& suggestedName,
                       const QString& filter, const QString& defaultExtension) {
    const QString folder = StartFolder(kind, true);
    const QString start = suggestedName.isEmpty() ? folder : QDir(folder).filePath(suggestedName);
    const QString file = Dialogs().SaveFile(parent, caption, start, filter, defaultExtension);
    RememberFolder(kind, file);
    return file;
}

QString SafeFileName(const QString& name) {
    QString safe = name;
    for (QChar& c : safe)
        if (c.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(c)) c = '-';
    return safe.trimmed();
}

QString SavedMessage(const QString& file) { return "Saved " + QDir::toNativeSeparators(file); }

void ShowSaved(QWidget* widget, const QString& file) {
    // A dialog's own window is no main window: its owner's is asked.
    for (QWidget* owner = widget; owner; owner = owner->parentWidget())
        if (auto* window = qobject_cast<QMainWindow*>(owner)) {
            window->statusBar()->showMessage(SavedMessage(file), kSavedMessageTime);
            return;
        }
}
