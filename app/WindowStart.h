#pragma once
#include <QString>
#include <memory>
#include <string>

class TfrmMain;
class THandedErrors;
class TSingleInstance;

// Opens a file named on the command line or handed over by a later start:
// a picture as the preview, a look document's look, a LUT file as a LUT
// preview. Raises EError for
// a file that is neither.
void OpenStartFile(TfrmMain& window, const QString& file);

// What the window does with a file a later start handed over: it comes
// forward and opens the file. Returns "" or why the file was not opened,
// which is also shown in the window through errors.
QString TakeHandedFile(TfrmMain& window, const QString& file, THandedErrors& errors);

// The start of the desktop program with FILE (or none): when a window of
// this user runs on this display, it gets the file and null is returned,
// with why that window could not open the file in handOverError (when
// given; empty when it opened it); otherwise the window is made, listens
// for later starts, is shown, restores the last session (its frame only
// when the file is no picture) and opens the file.
std::unique_ptr<TfrmMain> StartWindow(const QString& file, TSingleInstance& instance, const std::string& libraryFolder,
                                      QString* handOverError = nullptr);
