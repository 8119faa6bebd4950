#pragma once

#include <QByteArray>
#include <QFile>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <stdexcept>

class QEventLoop;
class QHostInfo;
class QTcpSocket;

// A failed Get; the message says why.
class ENMHTTPError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Request header fields that a Get sends when they are not empty.
struct TNMHeaderInfo {
    QString Cookie;
    QString LocalMailAddress;
    QString Password;
    QString Referer;
    QString UserId;
    // Empties every field.
    void Clear();
};

// HTTP client component: a blocking GET over HTTP/1.1 that keeps the event
// loop running while it waits. The host is looked up first, so resolving and
// failing to resolve are events of their own. With InputFileMode on, the body
// goes to the file named by Body; otherwise Body receives the body as text.
//
// Status texts go out through OnStatus when ReportLevel is 1 or more (the
// reply's status line) and 2 or more (lookup, connection and request steps
// as well). A Get fails (ENMHTTPError) when the host cannot be resolved or
// reached, the server answers with anything but 2xx (the message is the
// status line, e.g. "HTTP/1.1 404 Not Found"), the body exceeds MaxBodySize,
// the server stays silent for TimeOut ms, the whole Get takes longer than
// TotalTimeOut ms, the body file cannot be created as a regular file of its
// own (a symbolic link or another kind of file at its name is refused), or
// Abort is called. A body cut
// short by the server is no failure of the Get: BytesRecvd then stays below
// BytesTotal, for the caller to judge.
class TNMHTTP : public QObject {
public:
    // Command codes of OnSuccess.
    enum TCmdType { cmdGET = 0 };

    explicit TNMHTTP(QObject *parent = nullptr);
    ~TNMHTTP() override;

    int Port = 0; // 0: the URL's port, else 80
    int ReportLevel = 0;
    QString Body = QStringLiteral("Default.htm");
    QString Header = QStringLiteral("Head.txt");
    bool InputFileMode = false;
    bool OutputFileMode = false;
    TNMHeaderInfo HeaderInfo;
    qint64 MaxBodySize = 64 * 1024;
    int TimeOut = 30000; // ms without any sign of the server
    // ms for the whole Get, however steadily the server trickles; 0 = none.
    int TotalTimeOut = 60000;

    std::function<void()> OnConnect;
    std::function<void()> OnHostResolved;
    std::function<void()> OnInvalidHost;
    std::function<void(const QString &status)> OnStatus;
    std::function<void()> OnPacketRecvd;
    std::function<void(int command)> OnSuccess;

    void Get(const QString &url);
    // Ends a running Get, which then fails with "Connection aborted".
    void Abort();
    bool Busy() const { return FLoop != nullptr; }

    qint64 BytesRecvd() const { return FBytesRecvd; }
    // The announced length of the body; for a body without announced
    // length, what arrived once the server closed; -1 when unknown.
    qint64 BytesTotal() const { return FBytesTotal; }
    int ReplyNumber() const { return FReplyNumber; }

private:
    void status(int level, const QString &text);
    void hostLookedUp(const QHostInfo &info);
    void connected();
    void readyRead();
    void process();
    void timedOut();
    bool parseHead();
    void takeBody(const QByteArray &data);
    void takeChunks();
    void finish();
    void fail(const QString &message);
    void cleanUp();
    // Runs an event handler; a failure escaping it ends the Get.
    template <typename... Args> void call(const std::function<void(Args...)> &handler, Args... args);

    QEventLoop *FLoop = nullptr;
    QTcpSocket *FSocket = nullptr;
    QTimer FTimer;
    QTimer FTotalTimer;
    int FLookupId = -1;
    QString FHost;
    quint16 FPort = 80;
    QString FPath;
    QByteArray FBuffer;
    bool FHeadDone = false;
    bool FChunked = false;
    qint64 FChunkLeft = 0;
    bool FChunksDone = false;
    bool FDone = false;
    bool FClosed = false;
    bool FProcessing = false;
    bool FMoreData = false;
    QString FError;
    std::unique_ptr<QFile> FFile;
    QByteArray FBodyText;
    qint64 FBytesRecvd = 0;
    qint64 FBytesTotal = -1;
    int FReplyNumber = 0;
    QString FStatusLine;
};
