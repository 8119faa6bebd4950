#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

class QTcpServer;
class QTcpSocket;

namespace ftp {

// One TCP connection (the control or the data connection of the FTP client)
// with an idle time-out that restarts on every byte sent or received.
// Notifications arrive from the event loop through the On... callbacks; a
// callback may close the connection but must not delete it (use
// deleteLater).
class TIpConnection : public QObject {
public:
    // idleTimeoutMs 0 means no idle time-out.
    explicit TIpConnection(int idleTimeoutMs, QObject *parent = nullptr);
    // Takes over a socket that a listener accepted.
    TIpConnection(QTcpSocket *accepted, int idleTimeoutMs, QObject *parent = nullptr);
    ~TIpConnection() override;

    // Starts connecting; completion arrives as OnConnected, failure as
    // OnError followed by OnClosed. Throws EIpError when a connection already
    // exists or is being made.
    void ConnectTo(const QHostAddress &address, quint16 port);
    void Send(const QByteArray &bytes);
    QByteArray ReadAll();
    // Drops the connection at once; OnClosed follows from within this call
    // when the connection was open.
    void Close();

    bool Connected() const;
    QHostAddress LocalAddress() const;
    QHostAddress PeerAddress() const;

    std::function<void()> OnConnected;
    std::function<void()> OnReadyRead;
    std::function<void()> OnClosed;
    std::function<void()> OnIdleTimeout;
    std::function<void(int code, const QString &text)> OnError;

private:
    void attach();
    void touch();
    void socketError();
    void socketStateChanged();

    QTcpSocket *socket_;
    QTimer idleTimer_;
    bool open_ = false;
    bool connectPending_ = false;
    bool errorReported_ = false;
};

// A listening socket for one incoming connection from an expected peer.
// Connections from other addresses are dropped; the first accepted one ends
// the listening.
class TIpListener : public QObject {
public:
    explicit TIpListener(QObject *parent = nullptr);
    ~TIpListener() override;

    // Listens on the address with a port the system chooses. Throws EIpError
    // when that fails.
    void Listen(const QHostAddress &address, const QHostAddress &expectedPeer);
    quint16 Port() const;
    void Close();

    // Receives the accepted socket; the receiver owns it from then on.
    std::function<void(QTcpSocket *socket)> OnAccepted;

private:
    void pendingConnection();

    QTcpServer *server_;
    QHostAddress expectedPeer_;
};

// Maps a Qt socket error to the socket layer's error code.
int IpSocketErrorCode(int qtSocketError);

} // namespace ftp
