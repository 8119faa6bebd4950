#pragma once

#include "IpFtpCommandStack.h"
#include "IpFtpErrors.h"
#include "IpFtpReply.h"
#include "IpLog.h"
#include "IpSock.h"
#include "IpUtils.h"

#include <QFile>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

enum TIpFtpFileType { ftAscii, ftBinary };
enum TIpFtpRetrieveMode { rmAppend = 0, rmReplace = 1, rmRestart = 2 };
enum TIpSocksVersion { svSocks4, svSocks4a, svSocks5 };

struct TIpSocksServer {
    QString Address; // empty: direct connection
    quint16 Port = 1080;
    QString UserCode;
    QString Password;
    TIpSocksVersion SocksVersion = svSocks4;
};

// Status codes reported through OnFtpStatus.
enum TIpFtpStatusCode {
    fscClose = 0,
    fscLogin = 2,
    fscComplete = 4,
    fscCurrentDir = 5,
    fscDirList = 7,
    fscInfo = 8,
    fscProgress = 9,
    fscTransferOK = 10,
    fscTimeout = 11,
};

class QHostInfo;
class TIpFtpClient;
using TIpFtpEvent = std::function<void(TIpFtpClient *sender, int code, const QString &text)>;

// Asynchronous FTP client on the Qt event loop. Every operation only starts
// a step and returns; the server's replies advance the client, which reports
// progress, completion, time-outs and errors through its events. The caller
// keeps the event loop running while it waits.
//
// Built: login, retrieving one file in active mode (append, replace or
// restart at an offset), abort and logout. Passive mode and SOCKS proxies
// are refused with an error.
class TIpFtpClient : public QObject {
public:
    enum TState : unsigned char {
        stIdle = 0,
        stConnecting = 1,
        stReady = 2,
        stListing = 3,
        stRetrieving = 4,
        stStoring = 5,
        stCommand = 7,
    };

    explicit TIpFtpClient(QObject *parent = nullptr);
    ~TIpFtpClient() override;

    int DefaultPort = 21;
    TIpFtpFileType FileType = ftAscii;
    int IdleTimeout = 0; // ms, control connection; 0 = none
    // ms; 0 = none. Bounds both the wait for the server's data connection
    // and every pause in the data it sends.
    int TransferTimeout = 0;
    // Bytes the local file may grow to in a retrieve; 0 = no limit. A server
    // that sends more has the transfer stopped (ABOR) and an error
    // IpFtpErrTooLarge reported; nothing past the limit is written.
    qint64 MaxFileSize = 0;
    TIpSocksServer SocksServer;
    TIpDebugLog DebugLog;
    TIpEventLog EventLog;

    // Status reports and errors. Status reports are posted to the event loop;
    // errors and replies are delivered while the reply is handled, which is
    // always from the event loop as well. A handler may call Logout or Abort;
    // it must not delete the client (deleteLater is fine).
    TIpFtpEvent OnFtpStatus;
    TIpFtpEvent OnFtpError;
    TIpFtpEvent OnFtpReply;
    // Control connection idle for IdleTimeout ms.
    std::function<void(TIpFtpClient *sender)> OnIdleTimeout;

    bool PassiveMode() const { return passiveMode_; }
    // Throws EIpError while a transfer runs.
    void SetPassiveMode(bool value);

    // Starts connecting and logging in. False when not idle. Throws EIpError
    // when the connection cannot be started (no host, passive mode, SOCKS).
    bool Login(const QString &host, const QString &userName, const QString &account, const QString &password);
    // Starts retrieving remoteFile into localFile. False when not ready, when
    // a name is empty, or when the local file cannot be opened (also reported
    // through OnFtpError). Throws EIpError when the transfer cannot be set up
    // (passive mode, SOCKS, a control connection that is not IPv4).
    bool Retrieve(const QString &remoteFile, const QString &localFile, TIpFtpRetrieveMode mode, qint64 restartAt);
    bool Abort();
    bool Logout();
    // Closes every connection at once, without a word to the server: for a
    // server that no longer answers. Reports the close (status 0) like a
    // connection the server closed.
    void Disconnect();

    bool Connected() const;
    bool InProgress() const;
    qint64 BytesTransferred() const { return bytesTransferred_; }
    TState State() const { return state_; }

private:
    template <typename F> void guarded(F &&step);
    void checkSupportedSetup() const;
    void hostResolved(const QHostInfo &info);
    void controlReadyRead();
    void controlClosed();
    void handleReply(const TIpFtpReply &reply);
    void sendCommand(const QString &command);
    void sendNext();
    void reportError(int code, const QString &text);
    void emitError(int code, const QString &text);
    void postError(int code, const QString &text);
    void postStatus(int code, const QString &info = QString());
    void deliverStatus(int code, const QString &info);
    void endTransfer();
    void listenForData();
    void dataAccepted(QTcpSocket *socket);
    void dataReadyRead();
    void dataClosed();
    void dataTimedOut();
    void localWriteFailed();
    bool writeReceived(const QByteArray &bytes);
    void stopTransfer(int code, const QString &text);
    void closeListener();
    void closeDataConnection();
    void closeLocalFile();
    void dropControlConnection();
    void closeControlConnection();
    void callHandler(const TIpFtpEvent &handler, int code, const QString &text);

    TState state_ = stIdle;
    int operationDepth_ = 0;
    bool passiveMode_ = false;
    QString host_;
    QString userName_;
    QString account_;
    QString password_;
    quint16 port_ = 0;
    int lookupId_ = -1;
    QString remoteFile_;
    QString localFile_;
    std::unique_ptr<QFile> file_;
    qint64 bytesTransferred_ = 0;
    TIpConnection *control_ = nullptr;
    TIpConnection *data_ = nullptr;
    TIpListener *listener_ = nullptr;
    QTimer dataWaitTimer_;
    TIpFtpCommandStack commands_;
    TIpFtpReplyCollector replies_;
};
