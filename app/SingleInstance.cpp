#include "app/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <unistd.h>

namespace {

// A path is far shorter; a sender of more is not one of ours.
constexpr qsizetype kMaxMessage = 64 * 1024;
constexpr char kTaken = '1';

// The display the window opens on, as a name fit for a file.
QString DisplayKey() {
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty()) display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty()) display = QGuiApplication::platformName();
    QString key;
    for (const QChar c : display) key += c.isLetterOrNumber() || c == '-' ? c : QChar('_');
    return key.isEmpty() ? QStringLiteral("none") : key;
}

}  // namespace

TSingleInstance::TSingleInstance(QObject* parent) : QObject(parent) {}

TSingleInstance::~TSingleInstance() {
    if (server_) server_->close();
}

QString TSingleInstance::ServerName() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    const QString name = QStringLiteral("ombrane-%1-%2.socket").arg(getuid()).arg(DisplayKey());
    return QDir(folder).filePath(name);
}

bool TSingleInstance::SendToRunning(const QString& file, int timeoutMs) const {
    QLocalSocket socket;
    socket.connectToServer(ServerName());
    if (!socket.waitForConnected(timeoutMs)) return false;
    QByteArray message = file.isEmpty() ? QByteArray() : QFile::encodeName(QFileInfo(file).absoluteFilePath());
    message.append('\0');
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    // The answer comes once the window has the file; a window that hangs
    // does not keep this start waiting for ever.
    while (socket.bytesAvailable() == 0)
        if (!socket.waitForReadyRead(timeoutMs)) return false;
    return socket.read(1) == QByteArray(1, kTaken);
}

bool TSingleInstance::Listen() {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    const QString name = ServerName();
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
    socket->write(QByteArray(1, kTaken));
    socket->flush();
    socket->disconnectFromServer();
    emit FileReceived(QFile::decodeName(message.left(end)));
}
