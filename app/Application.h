#pragma once
#include <QApplication>
#include <exception>
#include <functional>

// The application object. Its notify is the program's top-level handler: an
// error that escapes any event handler is shown in a message box and the
// program goes on.
class TOmbraneApplication : public QApplication {
public:
    TOmbraneApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The C library's locale for numbers and system messages: "C", whatever
// the user's. Numbers in files keep the "." point, and the reasons the
// system gives (strerror) are in English like the rest of every message.
// The application object calls it; a test program with a plain
// QApplication calls it too.
void UseProgramLocale();

// Shows the message of an error that reached the top level.
void ReportError(const std::exception& error);

// Runs a handler; an error it raises goes to ReportError, so that no
// exception travels through the toolkit's own code.
void RunHandler(const std::function<void()>& handler);

// The busy cursor for the lifetime of the object, restored on every way out.
class TBusyCursor {
public:
    TBusyCursor();
    ~TBusyCursor();
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};
