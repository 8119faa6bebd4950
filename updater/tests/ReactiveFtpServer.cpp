#include "ReactiveFtpServer.h"

ReactiveFtpServer::ReactiveFtpServer()
{
    FListener.listen(QHostAddress::LocalHost, 0);
    connect(&FListener, &QTcpServer::newConnection, this, [this] {
        FControl = FListener.nextPendingConnection();
        connect(FControl, &QTcpSocket::readyRead, this, [this] {
            while (FControl->canReadLine()) {
                const QString line = QString::fromUtf8(FControl->readLine()).trimmed();
                lines << line;
                (script ? script : Standard)(*this, line);
            }
        });
        reply("220 Ready");
    });
    connect(&FSender, &QTimer::timeout, this, [this] {
        if (!data)
            return FSender.stop();
        if (FPending.isEmpty()) {
            FSender.stop();
            data->disconnectFromHost();
            data.reset();
            reply("226 Transfer complete");
            return;
        }
        data->write(FPending.left(FPiece));
        data->flush();
        FPending.remove(0, FPiece);
    });
}

ReactiveFtpServer::~ReactiveFtpServer()
{
    FSender.stop();
    if (data)
        data->abort();
}

std::string ReactiveFtpServer::hostText() const
{
    return "127.0.0.1:" + std::to_string(FListener.serverPort());
}

void ReactiveFtpServer::reply(const char *text)
{
    if (FControl)
        FControl->write(QByteArray(text) + "\r\n");
}

void ReactiveFtpServer::openData()
{
    const QStringList port = lines.filter(QStringLiteral("PORT ")).last().mid(5).split(QLatin1Char(','));
    data = std::make_unique<QTcpSocket>();
    data->connectToHost(QHostAddress(port.mid(0, 4).join(QLatin1Char('.'))),
                        static_cast<quint16>(port[4].toUInt() * 256 + port[5].toUInt()));
    data->waitForConnected(5000);
}

void ReactiveFtpServer::sendSlowly(const QByteArray &bytes, int piece, int intervalMs)
{
    openData();
    FPending = bytes;
    FPiece = piece;
    FSender.start(intervalMs);
}

void ReactiveFtpServer::Standard(ReactiveFtpServer &server, const QString &line)
{
    if (line.startsWith(QLatin1String("USER")))
        server.reply("331 Password required");
    else if (line.startsWith(QLatin1String("PASS")))
        server.reply("230 Logged in");
    else if (line.startsWith(QLatin1String("TYPE")) || line.startsWith(QLatin1String("PORT")))
        server.reply("200 OK");
    else if (line.startsWith(QLatin1String("REST")))
        server.reply("350 Restarting");
    else if (line == QLatin1String("QUIT"))
        server.reply("221 Bye");
    else if (line == QLatin1String("ABOR") && server.FSender.isActive()) {
        server.FSender.stop();
        if (server.data) {
            server.data->abort();
            server.data.reset();
        }
        server.reply("426 Transfer aborted");
        server.reply("226 Abort successful");
    }
}
