#include "FtpTestServer.h"

#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace {

const QString python = QStringLiteral("/usr/bin/python3");

quint16 freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

bool acceptsConnections(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    const bool ok = socket.waitForConnected(200);
    socket.abort();
    return ok;
}

} // namespace

bool FtpTestServer::Available()
{
    QProcess probe;
    probe.start(python, {QStringLiteral("-c"), QStringLiteral("import pyftpdlib")});
    return probe.waitForFinished(30000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
}

FtpTestServer::FtpTestServer(const std::filesystem::path &folder)
{
    // A port found free may be taken before the server binds it: try again.
    for (int attempt = 0; attempt < 5 && !running(); ++attempt) {
        stop();
        FPort = freePort();
        FProcess = std::make_unique<QProcess>();
        FProcess->setProcessChannelMode(QProcess::MergedChannels);
        FProcess->start(python, {QStringLiteral("-m"), QStringLiteral("pyftpdlib"), QStringLiteral("-i"),
                                 QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(FPort),
                                 QStringLiteral("-d"), QString::fromStdString(folder.string()), QStringLiteral("-u"),
                                 QString::fromLatin1(User), QStringLiteral("-P"), QString::fromLatin1(Password)});
        if (!FProcess->waitForStarted(10000))
            continue;
        const QDeadlineTimer deadline(15000);
        while (!deadline.hasExpired() && FProcess->state() == QProcess::Running && !acceptsConnections(FPort))
            QThread::msleep(50);
    }
}

FtpTestServer::~FtpTestServer()
{
    stop();
}

bool FtpTestServer::running() const
{
    return FProcess && FProcess->state() == QProcess::Running && acceptsConnections(FPort);
}

QString FtpTestServer::hostText() const
{
    return QStringLiteral("127.0.0.1:%1").arg(FPort);
}

QByteArray FtpTestServer::output() const
{
    return FProcess ? FProcess->readAll() : QByteArray();
}

void FtpTestServer::stop()
{
    if (!FProcess)
        return;
    FProcess->kill();
    FProcess->waitForFinished(10000);
    FProcess.reset();
}
