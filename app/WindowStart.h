#pragma once
#include <QString>
#include <memory>
#include <string>

class TfrmMain;
class TSingleInstance;

// Opens a file named on the command line or handed over by a later start:
// a picture as the preview, a LUT file as a LUT preview. Raises EError for
// a file that is neither.
void OpenStartFile(TfrmMain& window, const QString& file);

// What the window does with a file a later start handed over: it comes
// forward and opens the file; an error is shown in a message box.
void TakeHandedFile(TfrmMain& window, const QString& file);

// The start of the desktop program with FILE (or none): when a window of
// this user runs on this display, it gets the file and null is returned;
// otherwise the window is made, listens for later starts, is shown and
// opens the file.
std::unique_ptr<TfrmMain> StartWindow(const QString& file, TSingleInstance& instance, const std::string& libraryFolder);
