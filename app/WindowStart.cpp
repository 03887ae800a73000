#include "app/WindowStart.h"

#include <QFileInfo>

#include "app/Application.h"
#include "app/FileDrop.h"
#include "app/MainForm.h"
#include "app/SingleInstance.h"
#include "engine/Error.h"

void OpenStartFile(TfrmMain& window, const QString& file) {
    const TDroppedFiles sorted = SortDroppedFiles({file});
    if (sorted.Pictures.isEmpty() && sorted.Luts.isEmpty()) {
        const QString reason = QFileInfo(file).isFile() ? QStringLiteral("is neither a picture nor a LUT file")
                                                        : QStringLiteral("does not exist or is no file");
        throw EError(QFile::encodeName(file).toStdString() + ": " + reason.toStdString());
    }
    window.DropOnPreview({file});
}

void TakeHandedFile(TfrmMain& window, const QString& file) {
    if (window.isMinimized()) window.showMaximized();
    window.raise();
    window.activateWindow();
    if (!file.isEmpty()) RunHandler([&] { OpenStartFile(window, file); });
}

std::unique_ptr<TfrmMain> StartWindow(const QString& file, TSingleInstance& instance,
                                      const std::string& libraryFolder) {
    if (instance.SendToRunning(file)) return nullptr;
    // Without the socket this window still works; only later starts open
    // windows of their own.
    instance.Listen();
    auto window = std::make_unique<TfrmMain>(libraryFolder);
    TfrmMain* shown = window.get();
    QObject::connect(&instance, &TSingleInstance::FileReceived, shown,
                     [shown](const QString& handed) { TakeHandedFile(*shown, handed); });
    window->showMaximized();
    if (!file.isEmpty()) RunHandler([&] { OpenStartFile(*window, file); });
    return window;
}
