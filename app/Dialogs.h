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
    // An empty start folder leaves the choice to the toolkit.
    virtual QStringList OpenFiles(QWidget* parent, const QString& caption, const QString& filter,
                                  const QString& startFolder = QString());
    // Open-picture dialog for one file. Empty when cancelled.
    virtual QString OpenPicture(QWidget* parent, const QString& caption, const QString& filter,
                                const QString& startFolder = QString());
    // Save-file dialog with a start folder (or a suggested file in it), one
    // filter and a default extension (without dot); asks before overwriting.
    // Empty when cancelled.
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

// The kinds of file the dialogs ask for. Each kind starts in the folder last
// used for it, kept in the settings across runs.
enum class TFileKind { PreviewPicture, Reference, LutPreview, LutExport, GradedPicture, LearnPair, Look };

// The folder a dialog for this kind starts in: the last one used for it
// while it is still there (and, for a save, can be written), else the
// user's Pictures folder, else home.
QString StartFolder(TFileKind kind, bool save);
// Keeps the folder of the chosen file as the kind's start folder.
void RememberFolder(TFileKind kind, const QString& chosenFile);

// The dialogs above for a kind of file: they start in its folder and
// remember the folder of what was chosen. A save suggests the file name
// suggestedName (none when empty) in that folder.
QStringList OpenFilesOfKind(TFileKind kind, QWidget* parent, const QString& caption, const QString& filter);
QString OpenFileOfKind(TFileKind kind, QWidget* parent, const QString& caption, const QString& filter);
QString SaveFileOfKind(TFileKind kind, QWidget* parent, const QString& caption, const QString& suggestedName,
                       const QString& filter, const QString& defaultExtension);

// The name with the characters a file name cannot hold on any common system
// replaced by "-", trimmed.
QString SafeFileName(const QString& name);

// The status line's note of a finished save, naming the file.
QString SavedMessage(const QString& file);
// Shows it for a few seconds in the status line of the main window that
// holds the widget (or owns its dialog); nothing without one.
void ShowSaved(QWidget* widget, const QString& file);
