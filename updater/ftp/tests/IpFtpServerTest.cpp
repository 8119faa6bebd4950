// The client against a real FTP server (pyftpdlib) on the loopback
// interface, started by the test on a free port.
#include "ScriptedFtpServer.h"
#include "TempDir.h"
#include "ftp/IpFtp.h"

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

#include <memory>

using namespace ftp;

namespace {

const QString python = QStringLiteral("/usr/bin/python3");

bool pyftpdlibAvailable()
{
    QProcess probe;
    probe.start(python, {QStringLiteral("-c"), QStringLiteral("import pyftpdlib")});
    return probe.waitForFinished(30000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
}

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
    const bool ok = socket.waitForConnected(2000);
    socket.abort();
    return ok;
}

// pyftpdlib serving a folder to one user, for the life of the object.
class RealFtpServer {
public:
    static constexpr const char *User = "gearvane";
    static constexpr const char *Password = "s3cret-pw";

    explicit RealFtpServer(const std::filesystem::path &folder)
    {
        // A port found free may be taken before the server binds it: retry.
        for (int attempt = 0; attempt < 5 && !up_; ++attempt) {
            stop();
            port_ = freePort();
            process_ = std::make_unique<QProcess>();
            process_->setProcessChannelMode(QProcess::MergedChannels);
            process_->start(python,
                            {QStringLiteral("-m"), QStringLiteral("pyftpdlib"), QStringLiteral("-i"),
                             QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(port_),
                             QStringLiteral("-d"), QString::fromStdString(folder.string()), QStringLiteral("-u"),
                             QString::fromLatin1(User), QStringLiteral("-P"), QString::fromLatin1(Password)});
            if (!process_->waitForStarted(10000))
                continue;
            up_ =
                waitUntil([this] { return !processRunning() || acceptsConnections(port_); }, 30000) && processRunning();
        }
    }
    ~RealFtpServer() { stop(); }

    bool running() const { return up_ && processRunning(); }
    QString hostText() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }
    QByteArray output() const { return process_ ? process_->readAll() : QByteArray(); }

private:
    bool processRunning() const { return process_ && process_->state() == QProcess::Running; }

    void stop()
    {
        if (!process_)
            return;
        process_->kill();
        process_->waitForFinished(10000);
        process_.reset();
    }

    quint16 port_ = 0;
    bool up_ = false;
    std::unique_ptr<QProcess> process_;
};

QByteArray pattern(int size)
{
    QByteArray bytes(size, '\0');
    quint32 x = 12345;
    for (int i = 0; i < size; ++i) {
        x = x * 1664525u + 1013904223u;
        bytes[i] = static_cast<char>(x >> 23);
    }
    return bytes;
}

void writeBytes(const std::filesystem::path &file, const QByteArray &bytes)
{
    gvtest::writeFileBytes(file, std::vector<unsigned char>(bytes.begin(), bytes.end()));
}

QByteArray readBytes(const std::filesystem::path &file)
{
    const auto bytes = gvtest::readFileBytes(file);
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

class RealServerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { available_ = pyftpdlibAvailable(); }

    void SetUp() override
    {
        if (!available_)
            GTEST_SKIP() << "/usr/bin/python3 cannot import pyftpdlib (Debian package python3-pyftpdlib)";
        writeBytes(served / "update.exe", content);
        server = std::make_unique<RealFtpServer>(served.path());
        ASSERT_TRUE(server->running()) << server->output().toStdString();

        client.FileType = ftBinary;
        client.TransferTimeout = 5000;
        client.OnFtpStatus = [this](TIpFtpClient *, int code, const QString &) {
            if (code == fscLogin)
                loggedIn = true;
            if (code == fscTransferOK)
                complete = true;
            if (code == fscTimeout)
                timedOut = true;
        };
        client.OnFtpError = [this](TIpFtpClient *, int code, const QString &text) {
            errorCode = code;
            errorText = text;
        };
    }

    void TearDown() override
    {
        if (client.Connected() && client.Logout())
            waitUntil([this] { return !client.Connected(); });
    }

    // Logs in the way the update transfer does: wait for the logged-in
    // report or an error.
    bool login(const char *password = RealFtpServer::Password)
    {
        if (!client.Login(server->hostText(), QString::fromLatin1(RealFtpServer::User), QString(),
                          QString::fromLatin1(password)))
            return false;
        return waitUntil([this] { return errorCode != 0 || (client.Connected() && loggedIn); });
    }

    // Retrieves in restart mode and waits like the update transfer.
    void retrieve(const QString &remote, const std::filesystem::path &local, qint64 offset)
    {
        ASSERT_TRUE(client.Retrieve(remote, QString::fromStdString(local.string()), rmRestart, offset));
        ASSERT_TRUE(
            waitUntil([this] { return !(client.InProgress() && errorCode == 0 && !complete && !timedOut); }, 60000));
    }

    static inline bool available_ = false;
    gvtest::TempDir served;
    gvtest::TempDir local;
    const QByteArray content = pattern(3 * 1024 * 1024 + 517);
    std::unique_ptr<RealFtpServer> server;
    TIpFtpClient client;
    bool loggedIn = false;
    bool complete = false;
    bool timedOut = false;
    int errorCode = 0;
    QString errorText;
};

TEST_F(RealServerTest, LogsIn)
{
    ASSERT_TRUE(login());
    EXPECT_TRUE(loggedIn);
    EXPECT_EQ(errorCode, 0) << errorText.toStdString();
}

TEST_F(RealServerTest, DownloadsMultiMegabyteFileByteForByte)
{
    ASSERT_TRUE(login());
    const auto file = local / "update.exe";
    retrieve(QStringLiteral("update.exe"), file, 0);
    EXPECT_EQ(errorCode, 0) << errorText.toStdString();
    EXPECT_TRUE(complete);
    EXPECT_EQ(client.BytesTransferred(), content.size());
    EXPECT_TRUE(readBytes(file) == content);
}

TEST_F(RealServerTest, RestartsBehindPartialFile)
{
    ASSERT_TRUE(login());
    const auto file = local / "update.exe";
    const qsizetype partial = 1000000;
    writeBytes(file, content.left(partial));
    retrieve(QStringLiteral("update.exe"), file, partial);
    EXPECT_EQ(errorCode, 0) << errorText.toStdString();
    EXPECT_EQ(client.BytesTransferred(), content.size() - partial);
    EXPECT_TRUE(readBytes(file) == content);
}

TEST_F(RealServerTest, MissingFileReports550)
{
    ASSERT_TRUE(login());
    retrieve(QStringLiteral("no-such-file.exe"), local / "no-such-file.exe", 0);
    EXPECT_EQ(errorCode, 550);
    EXPECT_TRUE(errorText.startsWith(QLatin1String("550 "))) << errorText.toStdString();
    EXPECT_FALSE(client.InProgress());
}

TEST_F(RealServerTest, WrongPasswordReports530)
{
    ASSERT_TRUE(login("wrong"));
    EXPECT_EQ(errorCode, 530);
    EXPECT_TRUE(errorText.startsWith(QLatin1String("530 "))) << errorText.toStdString();
    EXPECT_FALSE(loggedIn);
}

} // namespace
