#include "app/WindowCommandLine.h"

const std::string_view kWindowHelp =
    "Usage: ombrane [FILE]\n"
    "\n"
    "Quor Ombrane: gives a picture the colour look of a reference still and exports\n"
    "that look as a 3D LUT file.\n"
    "\n"
    "FILE, a picture, opens as the preview; FILE, a look document (.olook), restores\n"
    "its look on the current frame; FILE, a LUT file, grades the preview as a LUT\n"
    "preview. While the window is open, a later 'ombrane FILE' on the same\n"
    "display hands FILE to it instead of opening a second window, and 'ombrane'\n"
    "alone brings it forward.\n"
    "\n"
    "A new preview (opened, pasted, dropped, or a new clip) is graded at once with\n"
    "the look as it stands: the chosen reference or the previewed LUT file stays.\n"
    "F1 in the window lists every action and its keys.\n"
    "\n"
    "The frame, the look, the snapshots and the zoom of the last session come back\n"
    "at the start (a picture named as FILE takes the frame's place); the look is\n"
    "kept in $XDG_STATE_HOME/tarnwerk/Ombrane/session.olook.\n"
    "\n"
    "  -h, --help     print this help and exit\n"
    "  --version      print the version and exit\n"
    "\n"
    "'ombrane-cli --help' describes the command-line program.\n"
    "Exit status: 0 success, 1 the running window could not open FILE handed to it,\n"
    "2 a bad command line.\n";

TWindowCommandLine ParseWindowCommandLine(const QStringList& words) {
    TWindowCommandLine line;
    bool options = true;
    for (const QString& word : words) {
        if (options && word == QLatin1String("--")) {
            options = false;
        } else if (options && (word == QLatin1String("--help") || word == QLatin1String("-h"))) {
            line.Help = true;
        } else if (options && word == QLatin1String("--version")) {
            line.Version = true;
        } else if (options && word.startsWith('-') && word != QLatin1String("-")) {
            if (line.Error.isEmpty()) line.Error = QStringLiteral("unknown option \"%1\"").arg(word);
        } else if (line.File.isEmpty()) {
            line.File = word;
        } else if (line.Error.isEmpty()) {
            line.Error = QStringLiteral("one FILE at most (\"%1\" is a second)").arg(word);
        }
    }
    return line;
}
