#pragma once
#include <QByteArray>
#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

// One window per user and display. The first start listens on a local socket
// in the user's runtime folder; a later start hands its file (or nothing,
// which just brings the window forward) over that socket and exits.
//
// The message is the file's absolute path in the file system's encoding,
// ended by a zero byte; the window answers with one byte once it has taken
// the message.
class TSingleInstance : public QObject {
    Q_OBJECT
public:
    explicit TSingleInstance(QObject* parent = nullptr);
    ~TSingleInstance() override;

    // The socket for this user and display: in the runtime folder, named
    // after the display the window would open on.
    static QString ServerName();

    // Hands a file to the running window; true when the window has taken it.
    // An empty file only asks the window to come forward.
    bool SendToRunning(const QString& file, int timeoutMs = 10000) const;
    // Starts listening; false (with the reason in ErrorText) when the socket
    // cannot be made or another window listens on it. A socket left behind
    // by a program that ended without closing it is replaced.
    bool Listen();
    const QString& ErrorText() const { return errorText_; }

signals:
    // A later start handed over this file (empty: no file, come forward).
    void FileReceived(const QString& file);

private:
    void Accept();
    void Read(QLocalSocket* socket);

    QLocalServer* server_ = nullptr;
    QString errorText_;
};
