#pragma once
#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

// The standard dialogs the windows ask, behind one replaceable object so that
// tests can answer them without a person at the keyboard.
class TDialogs {
public:
    virtual ~TDialogs() = default;
    // Open-file dialog; several files may be chosen. Empty when cancelled.
    virtual QStringList OpenFiles(QWidget* parent, const QString& caption, const QString& filter);
    // Open-picture dialog for one file. Empty when cancelled.
    virtual QString OpenPicture(QWidget* parent, const QString& caption, const QString& filter);
    // Save-file dialog with a start folder, one filter and a default extension
    // (without dot); asks before overwriting. Empty when cancelled.
    virtual QString SaveFile(QWidget* parent, const QString& caption, const QString& startFolder, const QString& filter,
                             const QString& defaultExtension);
    // Confirmation box; returns the button pressed.
    virtual QMessageBox::StandardButton Ask(QWidget* parent, const QString& text, QMessageBox::StandardButtons buttons);
    // Error message box.
    virtual void ShowError(QWidget* parent, const QString& text);
};

// The dialogs in use; tests install their own with SetDialogs (nullptr puts
// the real ones back). The caller keeps ownership.
TDialogs& Dialogs();
void SetDialogs(TDialogs* dialogs);
