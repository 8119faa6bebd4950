#pragma once

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

// An FTP server on 127.0.0.1 that answers each command line as the test's
// script says, from the event loop, so that it keeps answering while the
// transfer dialog runs its own wait loops.
class ReactiveFtpServer : public QObject {
public:
    ReactiveFtpServer();
    ~ReactiveFtpServer() override;

    std::function<void(ReactiveFtpServer &, const QString &line)> script;

    std::string hostText() const;
    void reply(const char *text);
    // Connects to the address of the last PORT command.
    void openData();
    // Sends `bytes` over a new data connection in pieces of `piece` bytes,
    // one every `intervalMs`, then closes it and replies 226. ABOR stops it.
    void sendSlowly(const QByteArray &bytes, int piece, int intervalMs);

    // Answers login and the commands before the data flow as a server does
    // (USER, PASS, TYPE, PORT, REST; ABOR ends a slow sending with 426 and
    // 226). Other lines get no answer.
    static void Standard(ReactiveFtpServer &server, const QString &line);

    QStringList lines;
    std::unique_ptr<QTcpSocket> data;

private:
    QTcpServer FListener;
    QTcpSocket *FControl = nullptr;
    QTimer FSender;
    QByteArray FPending;
    int FPiece = 0;
};
