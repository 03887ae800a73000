#include "app/WindowStart.h"

#include <QFileInfo>
#include <QPointer>
#include <new>

#include "app/Application.h"
#include "app/FileDrop.h"
#include "app/HandedErrors.h"
#include "app/LastSession.h"
#include "app/MainForm.h"
#include "app/SingleInstance.h"
#include "engine/base/Error.h"

void OpenStartFile(TfrmMain& window, const QString& file) {
    const TDroppedFiles sorted = SortDroppedFiles({file});
    if (sorted.Pictures.isEmpty() && sorted.Looks.isEmpty() && sorted.Luts.isEmpty()) {
        const QString reason = QFileInfo(file).isFile() ? QStringLiteral("is neither a picture nor a LUT file")
                                                        : QStringLiteral("does not exist or is no file");
        throw EError(QFile::encodeName(file).toStdString() + ": " + reason.toStdString());
    }
    window.Preview().Drop({file});
}

QString TakeHandedFile(TfrmMain& window, const QString& file, THandedErrors& errors) {
    if (window.isMinimized()) window.showMaximized();
    window.raise();
    window.activateWindow();
    if (file.isEmpty()) return QString();
    QString message;
    try {
        OpenStartFile(window, file);
        return QString();
    } catch (const std::bad_alloc&) {
        message = QStringLiteral("Not enough memory for this operation.");
    } catch (const std::exception& error) {
        message = QString::fromStdString(error.what());
    }
    errors.Add(message);
    return message;
}

std::unique_ptr<TfrmMain> StartWindow(const QString& file, TSingleInstance& instance, const std::string& libraryFolder,
                                      QString* handOverError) {
    if (instance.SendToRunning(file, 10000, handOverError)) return nullptr;
    // Without the socket this window still works; only later starts open
    // windows of their own.
    instance.Listen();
    auto window = std::make_unique<TfrmMain>(libraryFolder);
    const QPointer<TfrmMain> shown(window.get());
    const QPointer<THandedErrors> errors(new THandedErrors(shown));
    instance.SetOpener([shown, errors](const QString& handed) {
        return shown && errors ? TakeHandedFile(*shown, handed, *errors) : QString();
    });
    window->showMaximized();
    // The last session comes back first; a picture named at the start
    // takes the place of its frame.
    window->LastSession().Restore(!SortDroppedFiles({file}).Pictures.isEmpty());
    if (!file.isEmpty()) RunHandler([&] { OpenStartFile(*window, file); });
    window->LastSession().RestoreZoom();
    return window;
}
