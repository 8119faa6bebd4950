#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <memory>

// Runs the event loop until the condition holds or the time limit passes (a
// bound for a broken test, not a timing check).
bool waitUntil(const std::function<bool()> &condition, int limitMs = 10000);

// An FTP server played by the test: it accepts one control connection on
// 127.0.0.1 with a port chosen by the system, hands every line the client
// sends to the test, and sends what the test tells it to, byte for byte.
class ScriptedFtpServer {
public:
    explicit ScriptedFtpServer(const QHostAddress &address = QHostAddress(QHostAddress::LocalHost));
    bool listening() const { return server_.isListening(); }
    ~ScriptedFtpServer();

    quint16 port() const { return server_.serverPort(); }
    QString hostText() const { return QStringLiteral("127.0.0.1:%1").arg(port()); }

    // Waits for the client's control connection.
    bool waitForClient();
    // Waits for the next line from the client (without its CR LF); an empty
    // string when none arrives.
    QString nextLine();
    // Lines received but not yet taken with nextLine.
    QStringList pendingLines() const { return lines_; }
    void send(const QByteArray &bytes);
    bool clientClosed() const;
    void closeControl();

    // Opens the data connection to the address of the last PORT command,
    // optionally from another local address.
    bool connectData(const QHostAddress &from = QHostAddress());
    void sendData(const QByteArray &bytes);
    void closeData();
    bool dataClosedByClient() const;
    QHostAddress portAddress() const { return portAddress_; }
    quint16 portPort() const { return portPort_; }

private:
    void readControl();

    QTcpServer server_;
    QTcpSocket *control_ = nullptr;
    std::unique_ptr<QTcpSocket> data_;
    QByteArray partial_;
    QStringList lines_;
    QHostAddress portAddress_;
    quint16 portPort_ = 0;
};
