#include "TestHttpServer.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

TestHttpServer::TestHttpServer()
{
    FServer.listen(QHostAddress::LocalHost, 0);
    connect(&FServer, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = FServer.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
        }
    });
}

QString TestHttpServer::hostText() const
{
    return QStringLiteral("127.0.0.1:%1").arg(FServer.serverPort());
}

void TestHttpServer::setBody(const QString &path, const QByteArray &body)
{
    FReplies[path] = {body, Mode::Normal, body.size()};
}

void TestHttpServer::setShortBody(const QString &path, const QByteArray &body, qint64 announced)
{
    FReplies[path] = {body, Mode::Short, announced};
}

void TestHttpServer::setChunked(const QString &path, const QByteArray &body)
{
    FReplies[path] = {body, Mode::Chunked, 0};
}

void TestHttpServer::setHanging(const QString &path)
{
    FReplies[path] = {{}, Mode::Hanging, 0};
}

void TestHttpServer::setTrickling(const QString &path, const QByteArray &body, int intervalMs)
{
    FReplies[path] = {body, Mode::Trickling, body.size(), intervalMs};
}

void TestHttpServer::answer(QTcpSocket *socket)
{
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    socket->setProperty("request", request);
    if (!request.contains("\r\n\r\n"))
        return;
    FLastRequest = request;
    const QList<QByteArray> words = request.left(request.indexOf("\r\n")).split(' ');
    const QString path = words.size() >= 2 ? QString::fromLatin1(words[1]) : QString();
    FRequests << path;
    const auto reply = FReplies.constFind(path);
    if (reply == FReplies.constEnd()) {
        socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\nConnection: close\r\n\r\nNot Found");
        socket->disconnectFromHost();
        return;
    }
    switch (reply->mode) {
    case Mode::Hanging:
        return;
    case Mode::Trickling: {
        socket->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(reply->announced) +
                      "\r\nConnection: close\r\n\r\n");
        auto *timer = new QTimer(socket);
        QPointer<QTcpSocket> alive(socket);
        const QByteArray body = reply->body;
        auto sent = std::make_shared<qsizetype>(0);
        connect(timer, &QTimer::timeout, socket, [alive, timer, body, sent] {
            if (!alive)
                return;
            if (*sent >= body.size()) {
                timer->stop();
                alive->disconnectFromHost();
                return;
            }
            alive->write(body.mid((*sent)++, 1));
        });
        timer->start(reply->interval);
        return;
    }
    case Mode::Chunked: {
        socket->write("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n");
        for (qsizetype at = 0; at < reply->body.size(); at += 7) {
            const QByteArray piece = reply->body.mid(at, 7);
            socket->write(QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n");
        }
        socket->write("0\r\n\r\n");
        break;
    }
    case Mode::Normal:
    case Mode::Short:
        socket->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(reply->announced) +
                      "\r\nConnection: close\r\n\r\n" + reply->body);
        break;
    }
    socket->disconnectFromHost();
}
