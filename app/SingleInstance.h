#pragma once
#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;
class QLocalSocket;

// One window per user and display. The first start listens on a local socket
// in a folder only this user can enter; a later start hands its file (or
// nothing, which just brings the window forward) over that socket and exits.
// Without such a folder every start opens a window of its own. Each side
// talks only to a peer of the same user.
//
// The message is the file's absolute path in the file system's encoding,
// ended by a zero byte. The window answers with one byte once it has taken
// the message, then, once it has tried to open the file, with why it could
// not (UTF-8, empty when it opened it) ended by a zero byte.
class TSingleInstance : public QObject {
    Q_OBJECT
public:
    // Opens a handed file in the window; "" or why the file was not opened.
    using TOpener = std::function<QString(const QString& file)>;

    explicit TSingleInstance(QObject* parent = nullptr);
    ~TSingleInstance() override;

    // The socket for this user and display, named after the display the
    // window would open on: in the runtime folder when only this user can
    // enter it, else in "ombrane-<user id>" of the temporary folder, made
    // for this user alone. Empty when neither is such a folder.
    static QString ServerName();

    // Hands a file to the running window; true when the window has taken it.
    // An empty file only asks the window to come forward. When the window
    // could not open the file, why is put into error (when given).
    bool SendToRunning(const QString& file, int timeoutMs = 10000, QString* error = nullptr) const;
    // Starts listening; false (with the reason in ErrorText) when the socket
    // cannot be made or another window listens on it. A socket left behind
    // by a program that ended without closing it is replaced.
    bool Listen();
    const QString& ErrorText() const { return errorText_; }
    // What opens the files later starts hand over.
    void SetOpener(TOpener opener) { opener_ = std::move(opener); }

signals:
    // A later start handed over this file (empty: no file, come forward).
    void FileReceived(const QString& file);

private:
    void Accept();
    void Read(QLocalSocket* socket);

    QLocalServer* server_ = nullptr;
    QString errorText_;
    TOpener opener_;
};
