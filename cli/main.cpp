#include <QCoreApplication>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/ErrorStream.h"
#include "cli/HelpTexts.h"
#include "grading/UserSettings.h"
#include "imageio/QtPictureCodec.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct TCommand {
    std::string_view Name;
    int (*Run)(const std::vector<std::string>& words);
};

constexpr TCommand kCommands[] = {
    {"profiles", RunProfiles}, {"formats", RunFormats}, {"look", RunLook},       {"grade", RunGrade},
    {"convert", RunConvert},   {"apply", RunApply},     {"library", RunLibrary}, {"footage", RunFootage},
    {"stats", RunStats},       {"scopes", RunScopes},   {"learn", RunLearn},     {"look-info", RunLookInfo},
    {"match", RunMatch},       {"join", RunJoin},
};

// While a command runs, the diagnostics that the picture libraries print
// on their own (libpng's "libpng error: ...", Qt's warnings) go nowhere:
// every failure reaches the tool as an exception and is reported as the
// one line below. Standard output is untouched.
class TQuietStderr {
public:
    TQuietStderr() {
        std::fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        const int sink = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && sink >= 0) dup2(sink, STDERR_FILENO);
        if (saved_ >= 0) SetErrorStreamDescriptor(saved_);
        if (sink >= 0) close(sink);
    }
    ~TQuietStderr() {
        std::fflush(stderr);
        SetErrorStreamDescriptor(STDERR_FILENO);
        if (saved_ >= 0) {
            dup2(saved_, STDERR_FILENO);
            close(saved_);
        }
    }
    TQuietStderr(const TQuietStderr&) = delete;
    TQuietStderr& operator=(const TQuietStderr&) = delete;

private:
    int saved_ = -1;
};

void Report(const std::string& message) {
    std::cout.flush();
    std::cerr << "ombrane-cli: " << message << std::endl;
}

// The help to point at after a usage error: the command's own when the
// command is known, else the program's.
std::string HelpHint(const std::vector<std::string>& words) {
    for (const TCommand& command : kCommands)
        if (!words.empty() && command.Name == words[0]) return "see 'ombrane-cli " + words[0] + " --help'";
    return "see 'ombrane-cli --help'";
}

int Dispatch(const std::vector<std::string>& words) {
    if (words.empty()) throw EUsageError("missing command");
    const std::string& name = words[0];
    if (name == "--help" || name == "-h" || name == "help") return PrintHelp(kProgramHelp);
    for (const TCommand& command : kCommands)
        if (command.Name == name) return command.Run(std::vector<std::string>(words.begin() + 1, words.end()));
    throw EUsageError("unknown command \"" + name + "\"");
}

}  // namespace

int main(int argc, char* argv[]) {
    // Qt's picture readers and the settings store want an application
    // object; no window is ever shown, so no display is needed.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QCoreApplication application(argc, argv);
    // The toolkit took the user's locale for the C library: numbers in
    // files keep the "." point, and the reasons the system gives (strerror)
    // are in English like the rest of every message.
    std::setlocale(LC_NUMERIC, "C");
    std::setlocale(LC_MESSAGES, "C");
    InstallPictureCodec(&QtPictureCodec());
    // The window's names: the settings and the per-user data folder are shared.
    NameProgramAsSettings();

    // A closed output or error pipe is a failed write, reported where it
    // matters, and never ends the program (or a batch) half way.
    signal(SIGPIPE, SIG_IGN);

    const std::vector<std::string> words(argv + 1, argv + argc);
    try {
        const int status = [&] {
            const TQuietStderr quiet;
            return Dispatch(words);
        }();
        std::cout.flush();
        if (!std::cout) {
            Report("cannot write to standard output");
            return kExitFailure;
        }
        return status;
    } catch (const EUsageError& error) {
        Report(std::string(error.what()) + "; " + HelpHint(words));
        return kExitUsage;
    } catch (const std::bad_alloc&) {
        Report("out of memory");
    } catch (const std::exception& error) {
        Report(error.what());
    } catch (...) {
        Report("unexpected failure");
    }
    return kExitFailure;
}
