#include "ScriptedFtpServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>

bool waitUntil(const std::function<bool()> &condition, int limitMs)
{
    QDeadlineTimer deadline(limitMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QTest::qSleep(1);
    }
    return true;
}

ScriptedFtpServer::ScriptedFtpServer(const QHostAddress &address)
{
    server_.listen(address, 0);
}

ScriptedFtpServer::~ScriptedFtpServer()
{
    if (data_)
        data_->abort();
    if (control_) {
        control_->disconnect();
        control_->abort();
        delete control_;
    }
}

bool ScriptedFtpServer::waitForClient()
{
    if (!waitUntil([this] { return server_.hasPendingConnections(); }))
        return false;
    control_ = server_.nextPendingConnection();
    control_->setParent(nullptr);
    QObject::connect(control_, &QTcpSocket::readyRead, [this] { readControl(); });
    readControl();
    return true;
}

void ScriptedFtpServer::readControl()
{
    partial_ += control_->readAll();
    qsizetype lf;
    while ((lf = partial_.indexOf("\r\n")) >= 0) {
        const QString line = QString::fromUtf8(partial_.left(lf));
        partial_.remove(0, lf + 2);
        if (line.startsWith(QLatin1String("PORT "))) {
            const QStringList parts = line.mid(5).split(QLatin1Char(','));
            if (parts.size() == 6) {
                portAddress_ = QHostAddress(parts.mid(0, 4).join(QLatin1Char('.')));
                portPort_ = static_cast<quint16>(parts[4].toUInt() * 256 + parts[5].toUInt());
            }
        }
        lines_.append(line);
    }
}

QString ScriptedFtpServer::nextLine()
{
    if (!control_ || !waitUntil([this] { return !lines_.isEmpty(); }))
        return QString();
    return lines_.takeFirst();
}

void ScriptedFtpServer::send(const QByteArray &bytes)
{
    control_->write(bytes);
    control_->flush();
}

bool ScriptedFtpServer::clientClosed() const
{
    return control_ && control_->state() == QAbstractSocket::UnconnectedState;
}

void ScriptedFtpServer::closeControl()
{
    control_->disconnectFromHost();
}

bool ScriptedFtpServer::connectData(const QHostAddress &from)
{
    data_ = std::make_unique<QTcpSocket>();
    if (!from.isNull() && !data_->bind(from, 0))
        return false;
    data_->connectToHost(portAddress_, portPort_);
    return waitUntil([this] { return data_->state() == QAbstractSocket::ConnectedState; });
}

void ScriptedFtpServer::sendData(const QByteArray &bytes)
{
    data_->write(bytes);
    waitUntil([this] { return data_->bytesToWrite() == 0; });
}

void ScriptedFtpServer::closeData()
{
    data_->disconnectFromHost();
    waitUntil([this] { return data_->state() == QAbstractSocket::UnconnectedState; });
}

bool ScriptedFtpServer::dataClosedByClient() const
{
    return data_ && data_->state() == QAbstractSocket::UnconnectedState;
}
