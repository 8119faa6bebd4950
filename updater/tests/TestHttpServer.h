#pragma once

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QTcpServer>

// An HTTP server on the loopback interface for the tests: answers GETs from
// a map of paths to bodies, 404 for any other path, and per path can cut the
// body short, send it in chunks, or never answer at all.
class TestHttpServer : public QObject {
public:
    TestHttpServer();

    // "127.0.0.1:PORT", as the update checker takes its web host.
    QString hostText() const;
    void setBody(const QString &path, const QByteArray &body);
    // Announces `announced` bytes but sends only `body` before closing.
    void setShortBody(const QString &path, const QByteArray &body, qint64 announced);
    void setChunked(const QString &path, const QByteArray &body);
    // Accepts the request and then stays silent.
    void setHanging(const QString &path);
    // Announces the body and sends it one byte every `intervalMs`.
    void setTrickling(const QString &path, const QByteArray &body, int intervalMs);
    // The paths requested so far, in order.
    const QStringList &requests() const { return FRequests; }
    // The last request's raw header.
    const QByteArray &lastRequest() const { return FLastRequest; }

private:
    enum class Mode { Normal, Short, Chunked, Hanging, Trickling };
    struct Reply {
        QByteArray body;
        Mode mode = Mode::Normal;
        qint64 announced = 0;
        int interval = 0;
    };
    void answer(QTcpSocket *socket);

    QTcpServer FServer;
    QMap<QString, Reply> FReplies;
    QStringList FRequests;
    QByteArray FLastRequest;
};
