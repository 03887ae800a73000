#include "app/Dialogs.h"

#include <QApplication>
#include <QFileDialog>

namespace {
TDialogs gRealDialogs;
TDialogs* gDialogs = &gRealDialogs;

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

QStringList TDialogs::OpenFiles(QWidget* parent, const QString& caption, const QString& filter) {
    return QFileDialog::getOpenFileNames(parent, caption, QString(), ToQtFilter(filter));
}

QString TDialogs::OpenPicture(QWidget* parent, const QString& caption, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, caption, QString(), ToQtFilter(filter));
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
