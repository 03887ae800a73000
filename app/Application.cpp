#include "app/Application.h"

#include <QWidget>
#include <clocale>
#include <new>

#include "app/Dialogs.h"

TOmbraneApplication::TOmbraneApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // The toolkit has just taken the user's locale for the C library.
    UseProgramLocale();
}

void UseProgramLocale() {
    std::setlocale(LC_NUMERIC, "C");
    std::setlocale(LC_MESSAGES, "C");
}

bool TOmbraneApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ReportError(error);
    } catch (...) {
        ReportError(std::runtime_error("Unexpected error"));
    }
    return false;
}

void ReportError(const std::exception& error) {
    // A busy cursor must not stay over the message box.
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    const bool outOfMemory = dynamic_cast<const std::bad_alloc*>(&error) != nullptr;
    const QString text =
        outOfMemory ? QString("Not enough memory for this operation.") : QString::fromStdString(error.what());
    Dialogs().ShowError(QApplication::activeWindow(), text);
}

void RunHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        ReportError(error);
    }
}

TBusyCursor::TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
TBusyCursor::~TBusyCursor() { QApplication::restoreOverrideCursor(); }
