#include "fennick/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace {
const QByteArray restoreCommand = QByteArrayLiteral("restore\n");
const QByteArray shownReply = QByteArrayLiteral("shown\n");
const QByteArray noWindowReply = QByteArrayLiteral("none\n");
} // namespace

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

TSingleInstance::TRestoreResult TSingleInstance::RestoreRunning(const QString &title)
{
    QLocalSocket socket;
    socket.connectToServer(ServerName(title));
    if (!socket.waitForConnected(1000))
        return rrNoInstance;
    socket.write(restoreCommand);
    if (!socket.waitForBytesWritten(1000))
        return rrNoInstance;
    // An instance busy in a long step answers late; without an answer it is
    // taken to be there, as it still holds the name.
    while (!socket.canReadLine() && socket.waitForReadyRead(5000)) {
    }
    const QByteArray reply = socket.canReadLine() ? socket.readLine() : QByteArray();
    socket.disconnectFromServer();
    return reply == noWindowReply ? rrNoWindow : rrShown;
}

bool TSingleInstance::Listen()
{
    const QString name = ServerName(FTitle);
    if (FServer->listen(name))
        return true;
    // A socket file left by an instance that crashed: nobody answers on it.
    if (FServer->serverError() == QAbstractSocket::AddressInUseError && RestoreRunning(FTitle) == rrNoInstance) {
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
                if (socket->readLine() != restoreCommand)
                    continue;
                bool shown = true;
                try {
                    shown = !OnRestore || OnRestore();
                } catch (...) {
                    // Restoring a window is best effort.
                }
                if (shown) {
                    socket->write(shownReply);
                    socket->flush();
                    continue;
                }
                // Nothing left that the user could reach: free the name first,
                // so the new start can take it once it has the answer, and end.
                FServer->close();
                socket->write(noWindowReply);
                socket->waitForBytesWritten(1000);
                if (OnGiveWay)
                    OnGiveWay();
                return;
            }
        });
    }
}
