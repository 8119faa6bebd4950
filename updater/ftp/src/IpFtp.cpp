#include "IpFtp.h"

#include <QFileInfo>
#include <QHostInfo>
#include <QTcpSocket>

#include <exception>

namespace {

// The directory named in a 257 reply: the text between the first quote and
// its closing quote, where a doubled quote stands for one.
QString quotedDirectory(const QString &text)
{
    const qsizetype open = text.indexOf(QLatin1Char('"'));
    if (open < 0)
        return QString();
    QString dir;
    for (qsizetype i = open + 1; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('"')) {
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                dir += QLatin1Char('"');
                ++i;
                continue;
            }
            break;
        }
        dir += text.at(i);
    }
    return dir;
}

// Names and passwords go into command lines: a line break or NUL in one
// would let it smuggle in commands of its own.
void checkCommandArgument(const QString &what, const QString &value)
{
    for (QChar c : value)
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0))
            throw EIpError(IpErrInvalid, QStringLiteral("The %1 must not contain line breaks").arg(what));
}

// Marks the time spent inside one of the client's operations, during which
// no event handler may run.
class OperationScope {
public:
    explicit OperationScope(int &depth) : depth_(depth) { ++depth_; }
    ~OperationScope() { --depth_; }
    OperationScope(const OperationScope &) = delete;
    OperationScope &operator=(const OperationScope &) = delete;

private:
    int &depth_;
};

} // namespace

TIpFtpClient::TIpFtpClient(QObject *parent) : QObject(parent)
{
    dataWaitTimer_.setSingleShot(true);
    connect(&dataWaitTimer_, &QTimer::timeout, this, [this] { guarded([this] { dataTimedOut(); }); });
}

TIpFtpClient::~TIpFtpClient()
{
    if (lookupId_ >= 0)
        QHostInfo::abortHostLookup(lookupId_);
    closeLocalFile();
}

template <typename F> void TIpFtpClient::guarded(F &&step)
{
    // Failures never leave an event handler: they become an error report.
    try {
        step();
    } catch (const EIpError &e) {
        reportError(e.Code(), QString::fromStdString(e.what()));
    } catch (const std::exception &e) {
        reportError(IpErrInvalid, QString::fromStdString(e.what()));
    }
}

void TIpFtpClient::SetPassiveMode(bool value)
{
    if (value != passiveMode_ && InProgress())
        throw EIpError(IpFtpErrBusy, QStringLiteral("The transfer mode cannot be changed while a transfer runs"));
    passiveMode_ = value;
}

void TIpFtpClient::checkSupportedSetup() const
{
    if (passiveMode_)
        throw EIpError(IpFtpErrNotSupported,
                       QStringLiteral("Passive mode is not supported by this FTP client; use active mode"));
    if (!SocksServer.Address.isEmpty())
        throw EIpError(IpFtpErrNotSupported,
                       QStringLiteral("Connections through a SOCKS server are not supported by this FTP client"));
}

bool TIpFtpClient::Login(const QString &host, const QString &userName, const QString &account, const QString &password)
{
    const OperationScope scope(operationDepth_);
    if (state_ != stIdle)
        return false;
    checkSupportedSetup();
    checkCommandArgument(QStringLiteral("user name"), userName);
    checkCommandArgument(QStringLiteral("account"), account);
    checkCommandArgument(QStringLiteral("password"), password);
    const TIpAddressText address = ParseAddressText(host);
    int port = address.Port != 0 ? address.Port : DefaultPort;
    if (port <= 0 || port > 65535)
        throw EIpError(IpErrInvalid, QStringLiteral("Invalid port %1").arg(port));

    host_ = address.Host;
    port_ = static_cast<quint16>(port);
    userName_ = userName;
    account_ = account;
    password_ = password;
    commands_.Clear();
    replies_.Clear();
    state_ = stConnecting;
    try {
        control_ = new TIpConnection(IdleTimeout, this);
        control_->OnReadyRead = [this] { guarded([this] { controlReadyRead(); }); };
        control_->OnClosed = [this] { controlClosed(); };
        control_->OnError = [this](int code, const QString &text) { reportError(code, text); };
        control_->OnIdleTimeout = [this] {
            if (OnIdleTimeout) {
                try {
                    OnIdleTimeout(this);
                } catch (const std::exception &e) {
                    qWarning("FTP idle time-out handler failed: %s", e.what());
                }
            }
        };
        if (const auto literal = DottedIPv4Address(address.Host)) {
            control_->ConnectTo(*literal, port_);
        } else {
            lookupId_ = QHostInfo::lookupHost(
                address.Host, this, [this](const QHostInfo &info) { guarded([this, &info] { hostResolved(info); }); });
        }
    } catch (...) {
        dropControlConnection();
        state_ = stIdle;
        throw;
    }
    return true;
}

void TIpFtpClient::hostResolved(const QHostInfo &info)
{
    if (info.lookupId() != lookupId_ || state_ != stConnecting || !control_)
        return;
    lookupId_ = -1;
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
        const QString text = info.errorString().isEmpty() ? QStringLiteral("Host not found") : info.errorString();
        closeControlConnection();
        emitError(IpErrHostNotFound, text);
        return;
    }
    // Active mode needs an IPv4 control connection, so IPv4 goes first.
    QHostAddress chosen = info.addresses().first();
    for (const QHostAddress &candidate : info.addresses()) {
        if (candidate.protocol() == QAbstractSocket::IPv4Protocol) {
            chosen = candidate;
            break;
        }
    }
    control_->ConnectTo(chosen, port_);
}

bool TIpFtpClient::Connected() const
{
    return control_ && control_->Connected();
}

bool TIpFtpClient::InProgress() const
{
    return state_ != stIdle && state_ != stReady;
}

void TIpFtpClient::sendCommand(const QString &command)
{
    const bool secret = command.startsWith(QLatin1String("PASS "), Qt::CaseInsensitive);
    DebugLog.AddEntry(QStringLiteral("-> ") + (secret ? QStringLiteral("PASS ******") : command));
    checkCommandArgument(QStringLiteral("command"), command);
    if (!control_)
        throw EIpError(IpErrNotConn, QStringLiteral("Socket is not connected"));
    control_->Send((command + QLatin1String("\r\n")).toUtf8());
}

void TIpFtpClient::sendNext()
{
    if (const auto command = commands_.Pop())
        sendCommand(*command);
}

void TIpFtpClient::controlReadyRead()
{
    if (!control_)
        return;
    std::vector<TIpFtpReply> replies;
    try {
        replies = replies_.Add(control_->ReadAll());
    } catch (const EIpError &e) {
        reportError(e.Code(), QString::fromStdString(e.what()));
        closeControlConnection();
        return;
    }
    for (const TIpFtpReply &reply : replies) {
        if (!control_)
            break;
        handleReply(reply);
    }
}

void TIpFtpClient::handleReply(const TIpFtpReply &reply)
{
    DebugLog.AddEntry(QStringLiteral("<- ") + reply.Text);
    callHandler(OnFtpReply, reply.Code, reply.Text);
    if (!control_)
        return;

    const bool simpleCommand = state_ == stCommand;
    switch (reply.Code) {
    case 125:
    case 150:
        break;
    case 200:
        if (commands_.Empty())
            state_ = stReady;
        else
            sendNext();
        break;
    case 211:
    case 212:
    case 213:
    case 214:
        postStatus(fscInfo, reply.Text.mid(3));
        break;
    case 215:
        state_ = stReady;
        sendCommand(QStringLiteral("PWD"));
        break;
    case 220:
        if (state_ != stConnecting)
            break;
        if (!userName_.isEmpty()) {
            sendCommand(QStringLiteral("USER ") + userName_);
        } else {
            state_ = stReady;
            postStatus(fscLogin);
        }
        break;
    case 221:
        closeControlConnection();
        return;
    case 225:
        state_ = stReady;
        break;
    case 226:
        if (state_ == stIdle || state_ == 6)
            reportError(reply.Code, reply.Text);
        else if (state_ == stCommand)
            state_ = stReady;
        break;
    case 230:
        state_ = stReady;
        postStatus(fscLogin);
        break;
    case 250:
        if (state_ == stListing) {
            state_ = stReady;
            sendCommand(QStringLiteral("PWD"));
        } else if (state_ != stRetrieving && state_ != stStoring) {
            state_ = stReady;
            postStatus(fscComplete);
        }
        break;
    case 257:
        postStatus(fscCurrentDir, quotedDirectory(reply.Text));
        break;
    case 331:
        if (state_ != stCommand)
            sendCommand(QStringLiteral("PASS ") + password_);
        break;
    case 332:
        sendCommand(QStringLiteral("ACCT ") + account_);
        break;
    case 350:
        sendNext();
        break;
    case 421:
        // The server is going away; the closed connection is the news.
        state_ = stIdle;
        closeControlConnection();
        return;
    default:
        // 227 lands here too: this client never asks for passive mode.
        reportError(reply.Code, reply.Text);
        break;
    }
    if (simpleCommand && state_ == stCommand)
        state_ = stReady;
}

void TIpFtpClient::reportError(int code, const QString &text)
{
    if (state_ > stReady) {
        state_ = stReady;
        endTransfer();
    }
    emitError(code, text);
}

void TIpFtpClient::emitError(int code, const QString &text)
{
    // A socket may fail at once while an operation starts it; the report
    // then waits for the event loop like every other.
    if (operationDepth_ > 0)
        postError(code, text);
    else
        callHandler(OnFtpError, code, text);
}

void TIpFtpClient::postError(int code, const QString &text)
{
    QMetaObject::invokeMethod(
        this, [this, code, text] { callHandler(OnFtpError, code, text); }, Qt::QueuedConnection);
}

void TIpFtpClient::postStatus(int code, const QString &info)
{
    QMetaObject::invokeMethod(
        this, [this, code, info] { deliverStatus(code, info); }, Qt::QueuedConnection);
}

void TIpFtpClient::deliverStatus(int code, const QString &info)
{
    if (code > fscLogin && code != fscProgress && state_ != stIdle) {
        state_ = stReady;
        if (code == fscDirList || code == fscTransferOK) {
            closeDataConnection();
            closeLocalFile();
        }
    }
    callHandler(OnFtpStatus, code, info);
}

void TIpFtpClient::callHandler(const TIpFtpEvent &handler, int code, const QString &text)
{
    if (!handler)
        return;
    try {
        handler(this, code, text);
    } catch (const std::exception &e) {
        qWarning("FTP event handler failed: %s", e.what());
    } catch (...) {
        qWarning("FTP event handler failed");
    }
}

bool TIpFtpClient::Retrieve(const QString &remoteFile, const QString &localFile, TIpFtpRetrieveMode mode,
                            qint64 restartAt)
{
    const OperationScope scope(operationDepth_);
    if (state_ != stReady || remoteFile.isEmpty() || localFile.isEmpty() || !Connected())
        return false;
    checkSupportedSetup();
    checkCommandArgument(QStringLiteral("remote file name"), remoteFile);
    const QHostAddress localAddress = control_->LocalAddress();
    bool isIPv4 = false;
    const quint32 ip = localAddress.toIPv4Address(&isIPv4);
    if (!isIPv4)
        throw EIpError(
            IpFtpErrNotSupported,
            QStringLiteral("Active mode needs an IPv4 connection to the server, not %1").arg(localAddress.toString()));

    QString remote = remoteFile;
    remote.replace(QLatin1Char('\\'), QLatin1Char('/'));

    auto file = std::make_unique<QFile>(localFile);
    if (mode == rmReplace && QFileInfo(localFile).isFile() && !QFileInfo(localFile).isSymLink() && !file->remove()) {
        postError(IpFtpErrLocalFile,
                  QStringLiteral("Cannot replace the local file %1: %2").arg(localFile, file->errorString()));
        return false;
    }
    QString openError;
    if (!OpenRegularFile(*file, localFile, QIODevice::ReadWrite, openError)) {
        postError(IpFtpErrLocalFile, QStringLiteral("Cannot open the local file %1: %2").arg(localFile, openError));
        return false;
    }
    const qint64 size = file->size();
    qint64 position = 0;
    if (mode == rmRestart)
        position = restartAt < 0 || restartAt > size ? size : restartAt;
    else if (mode == rmAppend)
        position = size;
    // Restarting inside the file: what the server sends replaces the rest.
    if ((position < size && !file->resize(position)) || (!file->isSequential() && !file->seek(position))) {
        postError(IpFtpErrLocalFile,
                  QStringLiteral("Cannot position in the local file %1: %2").arg(localFile, file->errorString()));
        return false;
    }

    remoteFile_ = remote;
    localFile_ = localFile;
    commands_.Clear();
    state_ = stRetrieving;
    try {
        commands_.Push(QStringLiteral("RETR ") + remote);
        if (mode == rmRestart) {
            commands_.Push(QStringLiteral("REST %1").arg(position));
            EventLog.AddEvent(QStringLiteral("Attempting to re-start transfer of ") + remote);
        } else {
            EventLog.AddEvent(QStringLiteral("Retrieving ") + remote);
        }
        bytesTransferred_ = 0;
        file_ = std::move(file);
        commands_.Push(QStringLiteral("TYPE ") + (FileType == ftBinary ? QLatin1Char('I') : QLatin1Char('A')));

        listener_ = new TIpListener(this);
        listener_->OnAccepted = [this](QTcpSocket *socket) { guarded([this, socket] { dataAccepted(socket); }); };
        listener_->Listen(localAddress, control_->PeerAddress());
        if (TransferTimeout > 0)
            dataWaitTimer_.start(TransferTimeout);
        const quint16 port = listener_->Port();
        sendCommand(QStringLiteral("PORT %1,%2,%3,%4,%5,%6")
                        .arg(ip >> 24)
                        .arg((ip >> 16) & 0xFF)
                        .arg((ip >> 8) & 0xFF)
                        .arg(ip & 0xFF)
                        .arg(port >> 8)
                        .arg(port & 0xFF));
    } catch (...) {
        endTransfer();
        state_ = stReady;
        throw;
    }
    return true;
}

void TIpFtpClient::dataAccepted(QTcpSocket *socket)
{
    dataWaitTimer_.stop();
    closeListener();
    if (state_ != stRetrieving || data_) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    data_ = new TIpConnection(socket, TransferTimeout, this);
    data_->OnReadyRead = [this] { guarded([this] { dataReadyRead(); }); };
    data_->OnClosed = [this] { guarded([this] { dataClosed(); }); };
    data_->OnIdleTimeout = [this] { guarded([this] { dataTimedOut(); }); };
    if (socket->bytesAvailable() > 0)
        dataReadyRead();
}

void TIpFtpClient::dataReadyRead()
{
    if (!data_)
        return;
    const QByteArray bytes = data_->ReadAll();
    if (bytes.isEmpty())
        return;
    if (!writeReceived(bytes))
        return;
    postStatus(fscProgress);
}

bool TIpFtpClient::writeReceived(const QByteArray &bytes)
{
    if (!file_) {
        localWriteFailed();
        return false;
    }
    qint64 take = bytes.size();
    const qint64 room = MaxFileSize > 0 ? MaxFileSize - file_->pos() : take;
    const bool tooLarge = take > room;
    if (tooLarge)
        take = room > 0 ? room : 0;
    if (take > 0 && file_->write(bytes.constData(), take) != take) {
        localWriteFailed();
        return false;
    }
    bytesTransferred_ += take;
    if (tooLarge) {
        // What was written still counts for the caller's progress.
        if (take > 0)
            postStatus(fscProgress);
        stopTransfer(IpFtpErrTooLarge,
                     QStringLiteral("The server sent more than the %1 bytes expected of %2").arg(MaxFileSize).arg(remoteFile_));
        return false;
    }
    return true;
}

void TIpFtpClient::dataClosed()
{
    if (!data_)
        return;
    const QByteArray rest = data_->ReadAll();
    if (!rest.isEmpty() && !writeReceived(rest))
        return;
    closeDataConnection();
    if (file_ && !file_->flush()) {
        localWriteFailed();
        return;
    }
    closeLocalFile();
    if (state_ == stRetrieving)
        postStatus(fscTransferOK);
}

void TIpFtpClient::localWriteFailed()
{
    const QString reason = file_ ? file_->errorString() : QStringLiteral("the file is not open");
    stopTransfer(IpFtpErrLocalFile, QStringLiteral("Cannot write the local file %1: %2").arg(localFile_, reason));
}

void TIpFtpClient::stopTransfer(int code, const QString &text)
{
    // Stop the server sending what cannot be stored, then tell the caller.
    endTransfer();
    state_ = stCommand;
    try {
        sendCommand(QStringLiteral("ABOR"));
    } catch (const EIpError &) {
        state_ = Connected() ? stReady : stIdle;
    }
    emitError(code, text);
}

void TIpFtpClient::dataTimedOut()
{
    if (state_ != stRetrieving)
        return;
    commands_.Clear();
    closeListener();
    closeDataConnection();
    closeLocalFile();
    postStatus(fscTimeout);
}

bool TIpFtpClient::Abort()
{
    const OperationScope scope(operationDepth_);
    if (state_ <= stReady)
        return false;
    endTransfer();
    EventLog.AddEvent(QStringLiteral("Transfer aborted by user"));
    // The server's answers to ABOR bring the client back to ready.
    state_ = stCommand;
    sendCommand(QStringLiteral("ABOR"));
    return true;
}

bool TIpFtpClient::Logout()
{
    const OperationScope scope(operationDepth_);
    if (state_ == stIdle)
        return false;
    if (Connected()) {
        sendCommand(QStringLiteral("QUIT"));
        return true;
    }
    // Still looking up or connecting: give the attempt up.
    closeControlConnection();
    return true;
}

void TIpFtpClient::Disconnect()
{
    const OperationScope scope(operationDepth_);
    closeControlConnection();
}

void TIpFtpClient::endTransfer()
{
    commands_.Clear();
    dataWaitTimer_.stop();
    closeListener();
    closeDataConnection();
    closeLocalFile();
}

void TIpFtpClient::closeListener()
{
    if (!listener_)
        return;
    listener_->OnAccepted = nullptr;
    listener_->Close();
    listener_->deleteLater();
    listener_ = nullptr;
}

void TIpFtpClient::closeDataConnection()
{
    if (!data_)
        return;
    TIpConnection *data = data_;
    data_ = nullptr;
    data->OnReadyRead = nullptr;
    data->OnClosed = nullptr;
    data->OnIdleTimeout = nullptr;
    data->OnError = nullptr;
    data->Close();
    data->deleteLater();
}

void TIpFtpClient::closeLocalFile()
{
    if (!file_)
        return;
    file_->close();
    file_.reset();
}

void TIpFtpClient::dropControlConnection()
{
    if (lookupId_ >= 0) {
        QHostInfo::abortHostLookup(lookupId_);
        lookupId_ = -1;
    }
    if (!control_)
        return;
    TIpConnection *control = control_;
    control_ = nullptr;
    control->OnReadyRead = nullptr;
    control->OnClosed = nullptr;
    control->OnError = nullptr;
    control->OnIdleTimeout = nullptr;
    control->Close();
    control->deleteLater();
}

void TIpFtpClient::closeControlConnection()
{
    if (!control_ && state_ == stIdle)
        return;
    dropControlConnection();
    controlClosed();
}

void TIpFtpClient::controlClosed()
{
    dropControlConnection();
    endTransfer();
    replies_.Clear();
    host_.clear();
    userName_.clear();
    account_.clear();
    password_.clear();
    state_ = stIdle;
    DebugLog.Flush();
    postStatus(fscClose);
}
