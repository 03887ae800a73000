#pragma once
#include <QString>
#include <QStringList>
#include <string_view>

// The text `ombrane --help` prints.
extern const std::string_view kWindowHelp;

// The command line of the desktop program: ombrane [FILE].
struct TWindowCommandLine {
    bool Help = false;
    bool Version = false;
    QString File;
    // What is wrong with the command line; empty when nothing is.
    QString Error;
};

// Reads the words after the program's name. "--" ends the options; --help
// or -h anywhere before it asks for the help, whatever else is wrong.
TWindowCommandLine ParseWindowCommandLine(const QStringList& words);
