#include "fennick/NMHTTP.h"

#include "IpUtils.h"

#include <QEventLoop>
#include <QHostInfo>
#include <QTcpSocket>
#include <QUrl>

void TNMHeaderInfo::Clear()
{
    Cookie.clear();
    LocalMailAddress.clear();
    Password.clear();
    Referer.clear();
    UserId.clear();
}

TNMHTTP::TNMHTTP(QObject *parent) : QObject(parent)
{
    FTimer.setSingleShot(true);
    connect(&FTimer, &QTimer::timeout, this, [this] { timedOut(); });
    FTotalTimer.setSingleShot(true);
    connect(&FTotalTimer, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("%1 took longer than %2 seconds to send the file").arg(FHost).arg(TotalTimeOut / 1000));
    });
}

TNMHTTP::~TNMHTTP()
{
    cleanUp();
}

void TNMHTTP::status(int level, const QString &text)
{
    if (ReportLevel >= level && OnStatus)
        OnStatus(text);
}

void TNMHTTP::Get(const QString &url)
{
    if (FLoop != nullptr)
        throw ENMHTTPError("A Get is already running");
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid() || parsed.scheme().compare(QStringLiteral("http"), Qt::CaseInsensitive) != 0 ||
        parsed.host().isEmpty())
        throw ENMHTTPError(("Invalid URL: " + url).toStdString());
    FHost = parsed.host();
    FPort = static_cast<quint16>(parsed.port(Port > 0 ? Port : 80));
    FPath = parsed.path(QUrl::FullyEncoded);
    if (FPath.isEmpty())
        FPath = QStringLiteral("/");
    if (parsed.hasQuery())
        FPath += QLatin1Char('?') + parsed.query(QUrl::FullyEncoded);

    FBuffer.clear();
    FHeadDone = FChunked = FChunksDone = FDone = FClosed = FProcessing = FMoreData = false;
    FChunkLeft = 0;
    FError.clear();
    FBodyText.clear();
    FBytesRecvd = 0;
    FBytesTotal = -1;
    FReplyNumber = 0;
    FStatusLine.clear();

    QEventLoop loop;
    FLoop = &loop;
    FTimer.start(TimeOut);
    if (TotalTimeOut > 0)
        FTotalTimer.start(TotalTimeOut);
    status(2, QStringLiteral("Resolving host %1").arg(FHost));
    FLookupId = QHostInfo::lookupHost(FHost, this, [this](const QHostInfo &info) { hostLookedUp(info); });
    if (!FDone)
        loop.exec();
    FLoop = nullptr;
    cleanUp();
    if (!InputFileMode)
        Body = QString::fromUtf8(FBodyText);
    if (!FError.isEmpty())
        throw ENMHTTPError(FError.toStdString());
}

void TNMHTTP::Abort()
{
    if (FLoop != nullptr)
        fail(QStringLiteral("Connection aborted"));
}

template <typename... Args> void TNMHTTP::call(const std::function<void(Args...)> &handler, Args... args)
{
    if (!handler)
        return;
    try {
        handler(args...);
    } catch (const std::exception &e) {
        fail(QString::fromStdString(e.what()));
    } catch (...) {
        fail(QStringLiteral("Unknown error"));
    }
}

void TNMHTTP::hostLookedUp(const QHostInfo &info)
{
    FLookupId = -1;
    if (FDone)
        return;
    QHostAddress address;
    for (const QHostAddress &candidate : info.addresses())
        if (address.isNull() || (address.protocol() != QAbstractSocket::IPv4Protocol &&
                                 candidate.protocol() == QAbstractSocket::IPv4Protocol))
            address = candidate;
    if (info.error() != QHostInfo::NoError || address.isNull()) {
        call(OnInvalidHost);
        fail(QStringLiteral("Unable to resolve host %1").arg(FHost));
        return;
    }
    FTimer.start(TimeOut);
    status(2, QStringLiteral("Host resolved"));
    call(OnHostResolved);
    if (FDone)
        return;
    FSocket = new QTcpSocket(this);
    connect(FSocket, &QTcpSocket::connected, this, [this] { connected(); });
    connect(FSocket, &QTcpSocket::readyRead, this, [this] { readyRead(); });
    connect(FSocket, &QTcpSocket::disconnected, this, [this] {
        FClosed = true;
        readyRead();
    });
    connect(FSocket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::RemoteHostClosedError) {
            FClosed = true;
            readyRead();
        } else if (!FDone) {
            fail(FSocket->errorString());
        }
    });
    status(2, QStringLiteral("Connecting to %1").arg(address.toString()));
    FSocket->connectToHost(address, FPort);
}

void TNMHTTP::connected()
{
    if (FDone)
        return;
    FTimer.start(TimeOut);
    call(OnConnect);
    if (FDone)
        return;
    status(2, QStringLiteral("Connected"));
    QByteArray request = "GET " + FPath.toLatin1() + " HTTP/1.1\r\nHost: " + QUrl::toAce(FHost);
    if (FPort != 80)
        request += ':' + QByteArray::number(FPort);
    request += "\r\n";
    if (!HeaderInfo.Cookie.isEmpty())
        request += "Cookie: " + HeaderInfo.Cookie.toUtf8() + "\r\n";
    if (!HeaderInfo.LocalMailAddress.isEmpty())
        request += "From: " + HeaderInfo.LocalMailAddress.toUtf8() + "\r\n";
    if (!HeaderInfo.Referer.isEmpty())
        request += "Referer: " + HeaderInfo.Referer.toUtf8() + "\r\n";
    if (!HeaderInfo.UserId.isEmpty() || !HeaderInfo.Password.isEmpty())
        request +=
            "Authorization: Basic " + (HeaderInfo.UserId + ':' + HeaderInfo.Password).toUtf8().toBase64() + "\r\n";
    request += "Accept: */*\r\nConnection: close\r\n\r\n";
    FSocket->write(request);
    status(2, QStringLiteral("Request sent"));
}

// Handlers run from here may process events, which can deliver more data
// or the close: those are picked up by the running pass, never nested.
void TNMHTTP::readyRead()
{
    if (FProcessing) {
        FMoreData = true;
        return;
    }
    FProcessing = true;
    do {
        FMoreData = false;
        process();
    } while (FMoreData && !FDone);
    FProcessing = false;
}

void TNMHTTP::process()
{
    if (FDone || FSocket == nullptr)
        return;
    const QByteArray data = FSocket->readAll();
    if (!data.isEmpty())
        FTimer.start(TimeOut);
    FBuffer += data;
    const qint64 before = FBytesRecvd;
    if (!FHeadDone && !parseHead()) {
        if (FClosed && !FDone)
            fail(QStringLiteral("The server closed the connection without a reply"));
        return;
    }
    if (FChunked) {
        takeChunks();
    } else if (!FBuffer.isEmpty()) {
        QByteArray body;
        body.swap(FBuffer);
        takeBody(body);
    }
    if (FDone)
        return;
    if (!FChunked && FBytesTotal >= 0 && FBytesRecvd >= FBytesTotal) {
        finish();
    } else if (FClosed) {
        if (!FChunked && FBytesTotal < 0)
            FBytesTotal = FBytesRecvd;
        finish();
    }
    if (FBytesRecvd != before)
        call(OnPacketRecvd);
}

bool TNMHTTP::parseHead()
{
    for (;;) {
        const qsizetype end = FBuffer.indexOf("\r\n\r\n");
        if (end < 0) {
            if (FBuffer.size() > 64 * 1024)
                fail(QStringLiteral("The reply header is too long"));
            return false;
        }
        const QList<QByteArray> lines = FBuffer.left(end).split('\n');
        FBuffer.remove(0, end + 4);
        const QByteArray statusLine = lines.front().trimmed();
        const QList<QByteArray> parts = statusLine.split(' ');
        bool numeric = false;
        const int code = parts.size() >= 2 ? parts[1].toInt(&numeric) : 0;
        if (!statusLine.startsWith("HTTP/") || !numeric) {
            fail(QStringLiteral("Invalid reply from the server"));
            return false;
        }
        if (code >= 100 && code < 200)
            continue;
        FReplyNumber = code;
        FStatusLine = QString::fromLatin1(statusLine);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].trimmed();
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0)
                continue;
            const QByteArray name = line.left(colon).trimmed().toLower();
            const QByteArray value = line.mid(colon + 1).trimmed();
            if (name == "content-length") {
                bool ok = false;
                const qint64 length = value.toLongLong(&ok);
                if (ok && length >= 0)
                    FBytesTotal = length;
            } else if (name == "transfer-encoding" && value.toLower().contains("chunked")) {
                FChunked = true;
            }
        }
        if (FChunked)
            FBytesTotal = -1;
        status(1, FStatusLine);
        if (FDone)
            return false;
        if (code < 200 || code > 299) {
            fail(FStatusLine);
            return false;
        }
        if (FBytesTotal > MaxBodySize) {
            fail(QStringLiteral("The server announced %1 bytes, more than the %2 allowed")
                     .arg(FBytesTotal)
                     .arg(MaxBodySize));
            return false;
        }
        if (InputFileMode) {
            FFile = std::make_unique<QFile>();
            QString reason;
            if (!OpenRegularFile(*FFile, Body, QIODevice::WriteOnly | QIODevice::Truncate, reason)) {
                fail(QStringLiteral("Cannot create %1: %2").arg(Body, reason));
                return false;
            }
        }
        FHeadDone = true;
        return true;
    }
}

void TNMHTTP::takeBody(const QByteArray &data)
{
    QByteArray piece = data;
    if (!FChunked && FBytesTotal >= 0 && FBytesRecvd + piece.size() > FBytesTotal)
        piece.truncate(FBytesTotal - FBytesRecvd);
    if (FBytesRecvd + piece.size() > MaxBodySize) {
        fail(QStringLiteral("The server sent more than the %1 bytes allowed").arg(MaxBodySize));
        return;
    }
    if (FFile) {
        if (FFile->write(piece) != piece.size()) {
            fail(QStringLiteral("Cannot write %1: %2").arg(Body, FFile->errorString()));
            return;
        }
    } else {
        FBodyText += piece;
    }
    FBytesRecvd += piece.size();
}

void TNMHTTP::takeChunks()
{
    while (!FDone && !FChunksDone) {
        if (FChunkLeft > 0) {
            if (FBuffer.isEmpty())
                return;
            const QByteArray piece = FBuffer.left(FChunkLeft);
            FBuffer.remove(0, piece.size());
            FChunkLeft -= piece.size();
            takeBody(piece);
            if (FChunkLeft == 0)
                FChunkLeft = -1; // the chunk's own line end follows
            continue;
        }
        const qsizetype lineEnd = FBuffer.indexOf("\r\n");
        if (lineEnd < 0) {
            if (FBuffer.size() > 1024)
                fail(QStringLiteral("Invalid chunk in the reply"));
            return;
        }
        const QByteArray line = FBuffer.left(lineEnd).trimmed();
        FBuffer.remove(0, lineEnd + 2);
        if (FChunkLeft < 0) {
            if (!line.isEmpty()) {
                fail(QStringLiteral("Invalid chunk in the reply"));
                return;
            }
            FChunkLeft = 0;
            continue;
        }
        bool ok = false;
        const qint64 size = line.split(';').front().trimmed().toLongLong(&ok, 16);
        if (!ok || size < 0) {
            fail(QStringLiteral("Invalid chunk in the reply"));
            return;
        }
        if (size == 0) {
            FChunksDone = true;
            FBytesTotal = FBytesRecvd;
            finish();
            return;
        }
        FChunkLeft = size;
    }
}

void TNMHTTP::finish()
{
    if (FDone)
        return;
    FDone = true;
    FTimer.stop();
    FTotalTimer.stop();
    if (FFile)
        FFile->close();
    if (FBytesRecvd == FBytesTotal)
        call(OnSuccess, static_cast<int>(cmdGET));
    if (FLoop != nullptr)
        FLoop->quit();
}

void TNMHTTP::fail(const QString &message)
{
    if (FDone)
        return;
    FDone = true;
    FError = message;
    FTimer.stop();
    FTotalTimer.stop();
    if (FLoop != nullptr)
        FLoop->quit();
}

void TNMHTTP::timedOut()
{
    fail(QStringLiteral("Timed out waiting for %1").arg(FHost));
}

void TNMHTTP::cleanUp()
{
    FTimer.stop();
    FTotalTimer.stop();
    if (FLookupId >= 0) {
        QHostInfo::abortHostLookup(FLookupId);
        FLookupId = -1;
    }
    if (FSocket != nullptr) {
        FSocket->disconnect(this);
        FSocket->abort();
        FSocket->deleteLater();
        FSocket = nullptr;
    }
    FFile.reset();
}
