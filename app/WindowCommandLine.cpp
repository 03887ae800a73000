#include "app/WindowCommandLine.h"

#include <QFile>

#include "clip/ImageSequence.h"

const std::string_view kWindowHelp =
    "Usage: ombrane [--sequence] [FILE]\n"
    "\n"
    "Quor Ombrane: gives a picture the colour look of a reference still and exports\n"
    "that look as a 3D LUT file.\n"
    "\n"
    "FILE, a picture, opens as the preview; FILE, a look document (.olook), restores\n"
    "its look on the current frame; FILE, a LUT file, grades the preview as a LUT\n"
    "preview. FILE, a clip or an image sequence (a pattern like 'plate.%04d.exr' or\n"
    "'shot_####.dpx'), opens with its frame bar; its frames are counted from its\n"
    "first file as 0, 24 a second. While the window is open, a later 'ombrane FILE' on the same\n"
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
    "  --sequence     open FILE, a numbered picture (shot_0001.dpx), as the image\n"
    "                 sequence of its run, as the preview menu's Open Image\n"
    "                 Sequence... does\n"
    "\n"
    "'ombrane-cli --help' describes the command-line program.\n"
    "Exit status: 0 success, 1 the running window could not open FILE handed to it,\n"
    "2 a bad command line.\n";

namespace {

// FILE, a numbered picture, becomes the pattern of its run.
void TakeSequence(TWindowCommandLine& line) {
    const auto pattern = RunPatternOf(QFile::encodeName(line.File).toStdString());
    if (!pattern) {
        line.Error =
            QStringLiteral("--sequence needs a numbered picture FILE, like shot_0001.dpx, not \"%1\"").arg(line.File);
        return;
    }
    line.File = QFile::decodeName(QByteArray::fromStdString(*pattern));
}

}  // namespace

TWindowCommandLine ParseWindowCommandLine(const QStringList& words) {
    TWindowCommandLine line;
    bool options = true;
    bool sequence = false;
    for (const QString& word : words) {
        if (options && word == QLatin1String("--")) {
            options = false;
        } else if (options && (word == QLatin1String("--help") || word == QLatin1String("-h"))) {
            line.Help = true;
        } else if (options && word == QLatin1String("--version")) {
            line.Version = true;
        } else if (options && word == QLatin1String("--sequence")) {
            sequence = true;
        } else if (options && word.startsWith('-') && word != QLatin1String("-")) {
            if (line.Error.isEmpty()) line.Error = QStringLiteral("unknown option \"%1\"").arg(word);
        } else if (line.File.isEmpty()) {
            line.File = word;
        } else if (line.Error.isEmpty()) {
            line.Error = QStringLiteral("one FILE at most (\"%1\" is a second)").arg(word);
        }
    }
    if (sequence && line.Error.isEmpty()) TakeSequence(line);
    return line;
}
