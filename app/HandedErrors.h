#pragma once
#include <QObject>
#include <QPointer>
#include <QStringList>

class QWidget;

// The errors of files that later starts handed over, shown in message boxes
// that never open inside one another: the errors that come while a box is
// open wait for it to close and are then shown together in the next one,
// however many starts there were.
class THandedErrors : public QObject {
public:
    explicit THandedErrors(QWidget* window);

    // Shows the message once the program's events allow it.
    void Add(const QString& message);

    // The text of one box for the errors: the error itself when alone, else
    // how many files could not be opened and the first few reasons.
    static QString Summary(const QStringList& errors);

private:
    void ShowPending();

    QPointer<QWidget> window_;
    QStringList pending_;
    bool showing_ = false;
    bool scheduled_ = false;
};
