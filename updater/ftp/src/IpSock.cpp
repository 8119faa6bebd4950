#include "ftp/IpSock.h"

#include "ftp/IpUtils.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace ftp {

int IpSocketErrorCode(int qtSocketError)
{
    switch (static_cast<QAbstractSocket::SocketError>(qtSocketError)) {
    case QAbstractSocket::ConnectionRefusedError:
        return IpErrConnRefused;
    case QAbstractSocket::RemoteHostClosedError:
        return IpErrConnReset;
    case QAbstractSocket::HostNotFoundError:
        return IpErrHostNotFound;
    case QAbstractSocket::SocketAccessError:
        return IpErrAccess;
    case QAbstractSocket::SocketResourceError:
        return IpErrNoBufs;
    case QAbstractSocket::SocketTimeoutError:
        return IpErrTimedOut;
    case QAbstractSocket::NetworkError:
        return IpErrHostUnreach;
    case QAbstractSocket::AddressInUseError:
        return IpErrAddrInUse;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return IpErrAddrNotAvail;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return IpErrNotSupported;
    default:
        return IpErrInvalid;
    }
}

TIpConnection::TIpConnection(int idleTimeoutMs, QObject *parent) : QObject(parent), socket_(new QTcpSocket(this))
{
    idleTimer_.setSingleShot(true);
    idleTimer_.setInterval(idleTimeoutMs > 0 ? idleTimeoutMs : 0);
    if (idleTimeoutMs > 0)
        connect(&idleTimer_, &QTimer::timeout, this, [this] {
            if (OnIdleTimeout)
                OnIdleTimeout();
        });
    attach();
}

TIpConnection::TIpConnection(QTcpSocket *accepted, int idleTimeoutMs, QObject *parent)
    : TIpConnection(idleTimeoutMs, parent)
{
    delete socket_;
    socket_ = accepted;
    socket_->setParent(this);
    attach();
    open_ = socket_->state() == QAbstractSocket::ConnectedState;
    touch();
}

TIpConnection::~TIpConnection()
{
    // Nobody listens any more: the owner is going away.
    socket_->disconnect(this);
    socket_->abort();
}

void TIpConnection::attach()
{
    connect(socket_, &QTcpSocket::connected, this, [this] {
        open_ = true;
        touch();
        if (OnConnected)
            OnConnected();
    });
    connect(socket_, &QTcpSocket::readyRead, this, [this] {
        touch();
        if (OnReadyRead)
            OnReadyRead();
    });
    connect(socket_, &QTcpSocket::bytesWritten, this, [this] { touch(); });
    connect(socket_, &QTcpSocket::errorOccurred, this, [this] { socketError(); });
    connect(socket_, &QTcpSocket::stateChanged, this, [this] { socketStateChanged(); });
}

void TIpConnection::touch()
{
    if (idleTimer_.interval() > 0 && socket_->state() == QAbstractSocket::ConnectedState)
        idleTimer_.start();
}

void TIpConnection::socketError()
{
    // A peer that closes is not an error: OnClosed tells it.
    if (socket_->error() == QAbstractSocket::RemoteHostClosedError || errorReported_)
        return;
    errorReported_ = true;
    if (OnError)
        OnError(IpSocketErrorCode(socket_->error()), socket_->errorString());
}

void TIpConnection::socketStateChanged()
{
    if (socket_->state() != QAbstractSocket::UnconnectedState)
        return;
    idleTimer_.stop();
    // Fires once for each connection or connection attempt.
    if (!open_ && !connectPending_)
        return;
    // A failed attempt may end before its error is signalled: the error
    // comes first all the same.
    if (!open_ && socket_->error() != QAbstractSocket::UnknownSocketError)
        socketError();
    open_ = false;
    connectPending_ = false;
    if (OnClosed)
        OnClosed();
}

void TIpConnection::ConnectTo(const QHostAddress &address, quint16 port)
{
    if (socket_->state() != QAbstractSocket::UnconnectedState)
        throw EIpError(IpErrIsConn, QStringLiteral("Socket is already connected"));
    connectPending_ = true;
    errorReported_ = false;
    socket_->connectToHost(address, port);
}

void TIpConnection::Send(const QByteArray &bytes)
{
    if (socket_->state() != QAbstractSocket::ConnectedState)
        throw EIpError(IpErrNotConn, QStringLiteral("Socket is not connected"));
    socket_->write(bytes);
    touch();
}

QByteArray TIpConnection::ReadAll()
{
    return socket_->readAll();
}

void TIpConnection::Close()
{
    idleTimer_.stop();
    socket_->abort();
}

bool TIpConnection::Connected() const
{
    return socket_->state() == QAbstractSocket::ConnectedState;
}

QHostAddress TIpConnection::LocalAddress() const
{
    return socket_->localAddress();
}

QHostAddress TIpConnection::PeerAddress() const
{
    return socket_->peerAddress();
}

TIpListener::TIpListener(QObject *parent) : QObject(parent), server_(new QTcpServer(this))
{
    connect(server_, &QTcpServer::newConnection, this, [this] { pendingConnection(); });
}

TIpListener::~TIpListener() = default;

void TIpListener::Listen(const QHostAddress &address, const QHostAddress &expectedPeer)
{
    expectedPeer_ = expectedPeer;
    if (!server_->listen(address, 0))
        throw EIpError(IpSocketErrorCode(server_->serverError()), server_->errorString());
}

quint16 TIpListener::Port() const
{
    return server_->serverPort();
}

void TIpListener::Close()
{
    server_->close();
}

void TIpListener::pendingConnection()
{
    while (QTcpSocket *socket = server_->nextPendingConnection()) {
        if (!server_->isListening() ||
            !socket->peerAddress().isEqual(expectedPeer_, QHostAddress::ConvertV4MappedToIPv4)) {
            // Only the server we talk to may deliver the data.
            socket->abort();
            socket->deleteLater();
            continue;
        }
        server_->close();
        if (OnAccepted)
            OnAccepted(socket);
        else
            socket->deleteLater();
    }
}

} // namespace ftp
