#include <QIcon>
#include <QStyleFactory>

#include <cstdio>

#include "app/Application.h"
#include "app/MainForm.h"
#include "app/ProductInfo.h"
#include "app/SingleInstance.h"
#include "app/WindowCommandLine.h"
#include "app/WindowStart.h"
#include "grading/UserSettings.h"
#include "imageio/QtPictureCodec.h"
#include "library/LibrarySettings.h"
#include "library/UserSettingsFiles.h"

namespace {

QStringList Words(int argc, char** argv) {
    QStringList words;
    for (int i = 1; i < argc; ++i) words << QString::fromLocal8Bit(argv[i]);
    return words;
}

}  // namespace

int main(int argc, char** argv) {
    // The help and the version need no display: answered before the
    // toolkit starts.
    const TWindowCommandLine early = ParseWindowCommandLine(Words(argc, argv));
    if (early.Help) {
        std::fwrite(kWindowHelp.data(), 1, kWindowHelp.size(), stdout);
        return 0;
    }
    if (early.Version) {
        std::printf("ombrane %s\n", ProductInfo().Version.toUtf8().constData());
        return 0;
    }
    TOmbraneApplication app(argc, argv);
    // The toolkit's own options (-platform, -style, ...) are gone now.
    const TWindowCommandLine line = ParseWindowCommandLine(QCoreApplication::arguments().mid(1));
    if (!line.Error.isEmpty()) {
        std::fprintf(stderr, "ombrane: %s; see 'ombrane --help'\n", line.Error.toLocal8Bit().constData());
        return 2;
    }
    InstallPictureCodec(&QtPictureCodec());
    NameProgramAsSettings();
    QApplication::setApplicationDisplayName(ProductInfo().ProductName);
    QApplication::setDesktopFileName("ombrane");
    QApplication::setWindowIcon(QIcon(":/icons/ombrane.png"));
    // Settings that cannot be read must not keep the window from starting:
    // it starts with the defaults and leaves that file alone.
    if (const std::string problem = UserSettingsProblem(); !problem.empty()) {
        std::fprintf(stderr, "ombrane: warning: %s The default settings apply.\n", problem.c_str());
        SetUserSettingsAside();
    }
    std::string folder;
    RunHandler([&] { folder = ReadLibraryFolder(); });
    TSingleInstance instance;
    QString handOverError;
    const auto window = StartWindow(line.File, instance, folder, &handOverError);
    if (window) return app.exec();
    // The running window took the file; it says too when it could not open it.
    if (handOverError.isEmpty()) return 0;
    std::fprintf(stderr, "ombrane: %s\n", handOverError.toLocal8Bit().constData());
    return 1;
}
