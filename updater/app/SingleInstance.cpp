#include "fennick/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace {
const QByteArray restoreCommand = QByteArrayLiteral("restore\n");
}

TSingleInstance::TSingleInstance(const QString &title, QObject *parent)
    : QObject(parent), FTitle(title), FServer(new QLocalServer(this))
{
    // No socket options: with them Qt replaces an existing socket file, so a
    // second copy started at the same moment would take over the name.
    connect(FServer, &QLocalServer::newConnection, this, [this] { connectionArrived(); });
}

TSingleInstance::~TSingleInstance() = default;

QString TSingleInstance::ServerName(const QString &title)
{
    QString name;
    for (const QChar c : title)
        if (c.isLetterOrNumber())
            name += c;
    return name + QLatin1Char('-') + QString::number(::getuid());
}

bool TSingleInstance::RestoreRunning(const QString &title)
{
    QLocalSocket socket;
    socket.connectToServer(ServerName(title));
    if (!socket.waitForConnected(1000))
        return false;
    socket.write(restoreCommand);
    const bool sent = socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
    return sent;
}

bool TSingleInstance::Listen()
{
    const QString name = ServerName(FTitle);
    if (FServer->listen(name))
        return true;
    // A socket file left by an instance that crashed: nobody answers on it.
    if (FServer->serverError() == QAbstractSocket::AddressInUseError && !RestoreRunning(FTitle)) {
        QLocalServer::removeServer(name);
        return FServer->listen(name);
    }
    return false;
}

void TSingleInstance::connectionArrived()
{
    while (QLocalSocket *socket = FServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            while (socket->canReadLine()) {
                if (socket->readLine() == restoreCommand && OnRestore) {
                    try {
                        OnRestore();
                    } catch (...) {
                        // Restoring a window is best effort.
                    }
                }
            }
        });
    }
}
