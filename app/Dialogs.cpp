#include "Dialogs.h"

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
}  // namespace

QStringList TDialogs::OpenFiles(QWidget* parent, const QString& caption, const QString& filter) {
    return QFileDialog::getOpenFileNames(parent, caption, QString(), ToQtFilter(filter));
}

QString TDialogs::OpenPicture(QWidget* parent, const QString& caption, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, caption, QString(), ToQtFilter(filter));
}

QString TDialogs::SaveFile(QWidget* parent, const QString& caption, const QString& startFolder,
                           const QString& filter, const QString& defaultExtension) {
    QFileDialog dialog(parent, caption, startFolder, ToQtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultExtension);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().first();
}

QMessageBox::StandardButton TDialogs::Ask(QWidget* parent, const QString& text,
                                          QMessageBox::StandardButtons buttons) {
    return QMessageBox::question(parent, QApplication::applicationDisplayName(), text, buttons);
}

void TDialogs::ShowError(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, QApplication::applicationDisplayName(), text);
}

TDialogs& Dialogs() { return *gDialogs; }

void SetDialogs(TDialogs* dialogs) { gDialogs = dialogs ? dialogs : &gRealDialogs; }
