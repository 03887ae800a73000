#include "app/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A path is far shorter; a sender of more is not one of ours.
constexpr qsizetype kMaxMessage = 64 * 1024;
constexpr char kTaken = '1';
// How long a later start waits for the window to open the file it took.
constexpr int kOpenTimeoutMs = 120000;

// The display the window opens on, as a name fit for a file.
QString DisplayKey() {
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty()) display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty()) display = QGuiApplication::platformName();
    QString key;
    for (const QChar c : display) key += c.isLetterOrNumber() || c == '-' ? c : QChar('_');
    return key.isEmpty() ? QStringLiteral("none") : key;
}

// A folder itself (no link), owned by this user, that no one else may enter
// or write.
bool IsPrivateFolder(const QString& folder) {
    struct stat st {};
    return !folder.isEmpty() && lstat(QFile::encodeName(folder).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == getuid() && (st.st_mode & 077) == 0;
}

// The runtime folder when it is private, else this user's own folder in the
// temporary folder, made private when missing; empty when neither is.
QString PrivateFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (IsPrivateFolder(runtime)) return runtime;
    const QString own = QDir(QDir::tempPath()).filePath(QStringLiteral("ombrane-%1").arg(getuid()));
    (void)mkdir(QFile::encodeName(own).constData(), 0700);  // one that exists is checked below
    return IsPrivateFolder(own) ? own : QString();
}

// Whether the other end of a connected local socket runs as this user.
bool PeerIsThisUser(const QLocalSocket& socket) {
    ucred peer{};
    socklen_t size = sizeof peer;
    const int fd = static_cast<int>(socket.socketDescriptor());
    return fd >= 0 && getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == getuid();
}

// Reads up to the zero byte that ends the window's answer; false when none
// comes in time.
bool ReadAnswer(QLocalSocket& socket, QByteArray& answer, int timeoutMs) {
    while (!answer.contains('\0')) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(timeoutMs)) return false;
        answer += socket.readAll();
        if (answer.size() > kMaxMessage) return false;
    }
    answer.truncate(answer.indexOf('\0'));
    return true;
}

}  // namespace

TSingleInstance::TSingleInstance(QObject* parent) : QObject(parent) {}

TSingleInstance::~TSingleInstance() {
    if (server_) server_->close();
}

QString TSingleInstance::ServerName() {
    const QString folder = PrivateFolder();
    if (folder.isEmpty()) return QString();
    const QString name = QStringLiteral("ombrane-%1-%2.socket").arg(getuid()).arg(DisplayKey());
    return QDir(folder).filePath(name);
}

bool TSingleInstance::SendToRunning(const QString& file, int timeoutMs, QString* error) const {
    const QString name = ServerName();
    if (name.isEmpty()) return false;
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs) || !PeerIsThisUser(socket)) return false;
    QByteArray message = file.isEmpty() ? QByteArray() : QFile::encodeName(QFileInfo(file).absoluteFilePath());
    message.append('\0');
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    // The answer comes once the window has the file; a window that hangs
    // does not keep this start waiting for ever.
    while (socket.bytesAvailable() == 0)
        if (!socket.waitForReadyRead(timeoutMs)) return false;
    if (socket.read(1) != QByteArray(1, kTaken)) return false;
    // Then why the window could not open the file, if it could not; the
    // file is the window's now, whether or not that comes.
    QByteArray answer;
    if (ReadAnswer(socket, answer, kOpenTimeoutMs) && error) *error = QString::fromUtf8(answer);
    return true;
}

bool TSingleInstance::Listen() {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    const QString name = ServerName();
    if (name.isEmpty()) {
        errorText_ = QStringLiteral("no folder of this user alone holds the socket");
        return false;
    }
    bool listening = server_->listen(name);
    if (!listening && server_->serverError() == QAbstractSocket::AddressInUseError) {
        // A socket nobody listens on is what a program that ended without
        // closing it leaves; one that takes connections is another window's.
        QLocalSocket probe;
        probe.connectToServer(name);
        if (!probe.waitForConnected(1000)) {
            QLocalServer::removeServer(name);
            listening = server_->listen(name);
        }
    }
    if (!listening) {
        errorText_ = server_->errorString();
        return false;
    }
    connect(server_, &QLocalServer::newConnection, this, &TSingleInstance::Accept);
    return true;
}

void TSingleInstance::Accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!PeerIsThisUser(*socket)) {
            socket->abort();
            continue;
        }
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
        if (socket->bytesAvailable() > 0) Read(socket);
    }
}

void TSingleInstance::Read(QLocalSocket* socket) {
    QByteArray message = socket->property("message").toByteArray() + socket->readAll();
    const qsizetype end = message.indexOf('\0');
    if (end < 0) {
        if (message.size() > kMaxMessage)
            socket->abort();
        else
            socket->setProperty("message", message);
        return;
    }
    socket->setProperty("message", QByteArray());
    disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
    socket->write(QByteArray(1, kTaken));
    socket->flush();
    const QString file = QFile::decodeName(message.left(end));
    emit FileReceived(file);
    const QPointer<QLocalSocket> guarded(socket);
    const QString error = opener_ ? opener_(file) : QString();
    if (guarded.isNull()) return;
    socket->write(error.toUtf8().replace('\0', ' ') + QByteArray(1, '\0'));
    socket->flush();
    socket->disconnectFromServer();
}
