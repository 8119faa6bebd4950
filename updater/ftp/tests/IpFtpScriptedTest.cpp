// The client against an FTP server played by the test, which checks the
// exact lines on the wire and sends replies and data byte for byte.
#include "IpFtp.h"
#include "ScriptedFtpServer.h"
#include "TempDir.h"

#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

#include <vector>

namespace {

struct Event {
    int code;
    QString text;
};

// Records what the client reports.
struct Recorder {
    std::vector<Event> status;
    std::vector<Event> errors;

    explicit Recorder(TIpFtpClient &client)
    {
        client.OnFtpStatus = [this](TIpFtpClient *, int code, const QString &text) { status.push_back({code, text}); };
        client.OnFtpError = [this](TIpFtpClient *, int code, const QString &text) { errors.push_back({code, text}); };
    }
    bool hasStatus(int code) const
    {
        for (const Event &e : status)
            if (e.code == code)
                return true;
        return false;
    }
    int count(int code) const
    {
        int n = 0;
        for (const Event &e : status)
            n += e.code == code ? 1 : 0;
        return n;
    }
};

QByteArray pattern(int size, int seed)
{
    QByteArray bytes(size, '\0');
    quint32 x = static_cast<quint32>(seed) * 2654435761u + 1;
    for (int i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(x >> 24);
    }
    return bytes;
}

QByteArray fileBytes(const std::filesystem::path &file)
{
    const auto bytes = gvtest::readFileBytes(file);
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

class ScriptedFtpTest : public ::testing::Test {
protected:
    ScriptedFtpServer server;
    TIpFtpClient client;
    Recorder events{client};
    gvtest::TempDir dir;

    void SetUp() override { client.FileType = ftBinary; }

    // Logs in as "bob" with password "secret" and checks the lines on the
    // wire.
    void login(const QByteArray &greeting = "220 Scripted server ready\r\n")
    {
        ASSERT_TRUE(client.Login(server.hostText(), QStringLiteral("bob"), QString(), QStringLiteral("secret")));
        ASSERT_TRUE(server.waitForClient());
        server.send(greeting);
        ASSERT_EQ(server.nextLine(), QStringLiteral("USER bob"));
        server.send("331 Password required\r\n");
        ASSERT_EQ(server.nextLine(), QStringLiteral("PASS secret"));
        server.send("230 Logged in\r\n");
        ASSERT_TRUE(waitUntil([this] { return events.hasStatus(fscLogin); }));
        ASSERT_TRUE(client.Connected());
        ASSERT_FALSE(client.InProgress());
    }

    // Starts a retrieve and answers PORT, TYPE and (in restart mode) REST;
    // returns after the client sent RETR.
    void startRetrieve(const std::filesystem::path &local, TIpFtpRetrieveMode mode, qint64 offset,
                       const QString &expectedRest)
    {
        ASSERT_TRUE(
            client.Retrieve(QStringLiteral("pub\\update.exe"), QString::fromStdString(local.string()), mode, offset));
        EXPECT_TRUE(client.InProgress());
        const QString port = server.nextLine();
        ASSERT_TRUE(port.startsWith(QLatin1String("PORT 127,0,0,1,"))) << port.toStdString();
        server.send("200 PORT command successful\r\n");
        ASSERT_EQ(server.nextLine(), QStringLiteral("TYPE I"));
        server.send("200 Type set to I\r\n");
        if (!expectedRest.isEmpty()) {
            ASSERT_EQ(server.nextLine(), expectedRest);
            server.send("350 Restarting\r\n");
        }
        ASSERT_EQ(server.nextLine(), QStringLiteral("RETR pub/update.exe"));
    }
};

TEST_F(ScriptedFtpTest, LoginSendsUserThenPassAndReportsLoggedIn)
{
    login();
    EXPECT_EQ(events.count(fscLogin), 1);
    EXPECT_TRUE(events.errors.empty());
}

TEST_F(ScriptedFtpTest, MultiLineGreetingTriggersExactlyOneUser)
{
    login("220-Welcome to the scripted server\r\n"
          "220-second line\r\n"
          "   220 indented line inside the reply\r\n"
          "220 Ready\r\n");
    EXPECT_TRUE(server.pendingLines().isEmpty());
}

TEST_F(ScriptedFtpTest, WithoutUserNameTheGreetingLogsIn)
{
    ASSERT_TRUE(client.Login(server.hostText(), QString(), QString(), QString()));
    ASSERT_TRUE(server.waitForClient());
    server.send("220 Ready\r\n");
    ASSERT_TRUE(waitUntil([this] { return events.hasStatus(fscLogin); }));
    EXPECT_TRUE(server.pendingLines().isEmpty());
}

TEST_F(ScriptedFtpTest, WrongPasswordReportsServerText)
{
    ASSERT_TRUE(client.Login(server.hostText(), QStringLiteral("bob"), QString(), QStringLiteral("bad")));
    ASSERT_TRUE(server.waitForClient());
    server.send("220 Ready\r\n");
    ASSERT_EQ(server.nextLine(), QStringLiteral("USER bob"));
    server.send("331 Password required\r\n");
    ASSERT_EQ(server.nextLine(), QStringLiteral("PASS bad"));
    server.send("530 Login incorrect.\r\n");
    ASSERT_TRUE(waitUntil([this] { return !events.errors.empty(); }));
    EXPECT_EQ(events.errors[0].code, 530);
    EXPECT_EQ(events.errors[0].text, QStringLiteral("530 Login incorrect."));
    EXPECT_FALSE(events.hasStatus(fscLogin));
}

struct RetrieveCase {
    const char *name;
    TIpFtpRetrieveMode mode;
    int existingBytes; // -1: no local file
    qint64 offset;
    const char *restLine; // "" when no REST is sent
    int expectedKeep;     // bytes of the old file kept in front of the new data
};

void PrintTo(const RetrieveCase &c, std::ostream *out)
{
    *out << c.name;
}

class RetrieveModes : public ScriptedFtpTest, public ::testing::WithParamInterface<RetrieveCase> {};

TEST_P(RetrieveModes, WireOrderAndFileContent)
{
    const RetrieveCase &c = GetParam();
    login();
    const auto local = dir / "update.exe";
    const QByteArray old = pattern(c.existingBytes > 0 ? c.existingBytes : 0, 1);
    if (c.existingBytes >= 0)
        gvtest::writeFileBytes(local, std::vector<unsigned char>(old.begin(), old.end()));

    startRetrieve(local, c.mode, c.offset, QString::fromLatin1(c.restLine));
    EXPECT_EQ(server.portAddress(), QHostAddress(QHostAddress::LocalHost));
    server.send("150 Opening BINARY mode data connection\r\n");
    ASSERT_TRUE(server.connectData());
    const QByteArray payload = pattern(70000, 2);
    server.sendData(payload.left(30000));
    server.sendData(payload.mid(30000));
    server.closeData();
    ASSERT_TRUE(waitUntil([this] { return events.hasStatus(fscTransferOK); }));
    server.send("226 Transfer complete\r\n");
    ASSERT_TRUE(waitUntil([this] { return !client.InProgress(); }));

    EXPECT_EQ(client.BytesTransferred(), payload.size());
    EXPECT_TRUE(events.hasStatus(fscProgress));
    EXPECT_TRUE(events.errors.empty());
    EXPECT_EQ(fileBytes(local), old.left(c.expectedKeep) + payload);
    // The 226 after the completed transfer changes nothing.
    EXPECT_EQ(client.State(), TIpFtpClient::stReady);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, RetrieveModes,
    ::testing::Values(RetrieveCase{"RestartWithoutLocalFile", rmRestart, -1, 0, "REST 0", 0},
                      RetrieveCase{"RestartBehindPartialFile", rmRestart, 1000, 1000, "REST 1000", 1000},
                      RetrieveCase{"RestartOffsetBeyondFileUsesItsEnd", rmRestart, 1000, 5000, "REST 1000", 1000},
                      RetrieveCase{"RestartNegativeOffsetUsesFileEnd", rmRestart, 1000, -1, "REST 1000", 1000},
                      RetrieveCase{"RestartInsideFileDropsTheRest", rmRestart, 1000, 400, "REST 400", 400},
                      RetrieveCase{"ReplaceStartsEmpty", rmReplace, 1000, 0, "", 0},
                      RetrieveCase{"AppendKeepsWholeFile", rmAppend, 1000, 0, "", 1000}),
    [](const ::testing::TestParamInfo<RetrieveCase> &info) { return std::string(info.param.name); });

TEST_F(ScriptedFtpTest, MissingRemoteFileReports550AndReturnsToReady)
{
    login();
    startRetrieve(dir / "update.exe", rmRestart, 0, QStringLiteral("REST 0"));
    server.send("550 pub/update.exe: No such file or directory.\r\n");
    ASSERT_TRUE(waitUntil([this] { return !events.errors.empty(); }));
    EXPECT_EQ(events.errors[0].code, 550);
    EXPECT_EQ(events.errors[0].text, QStringLiteral("550 pub/update.exe: No such file or directory."));
    EXPECT_FALSE(client.InProgress());
    // The client stopped listening: a late data connection finds nobody.
    QTcpSocket late;
    late.connectToHost(server.portAddress(), server.portPort());
    EXPECT_TRUE(waitUntil([&] { return late.state() == QAbstractSocket::UnconnectedState; }));
}

TEST_F(ScriptedFtpTest, IdleDataConnectionReportsTimeout)
{
    client.TransferTimeout = 300;
    login();
    startRetrieve(dir / "update.exe", rmRestart, 0, QStringLiteral("REST 0"));
    server.send("150 Opening data connection\r\n");
    ASSERT_TRUE(server.connectData());
    server.sendData(pattern(100, 3));
    ASSERT_TRUE(waitUntil([this] { return events.hasStatus(fscTimeout); }));
    EXPECT_FALSE(client.InProgress());
    EXPECT_TRUE(waitUntil([this] { return server.dataClosedByClient(); }));
    EXPECT_FALSE(events.hasStatus(fscTransferOK));
    EXPECT_EQ(fileBytes(dir / "update.exe"), pattern(100, 3));
}

TEST_F(ScriptedFtpTest, ServerThatNeverConnectsReportsTimeout)
{
    client.TransferTimeout = 300;
    login();
    startRetrieve(dir / "update.exe", rmRestart, 0, QStringLiteral("REST 0"));
    server.send("150 Opening data connection\r\n");
    ASSERT_TRUE(waitUntil([this] { return events.hasStatus(fscTimeout); }));
    EXPECT_FALSE(client.InProgress());
}

TEST_F(ScriptedFtpTest, DataConnectionClosedEarlyLeavesShortFile)
{
    login();
    startRetrieve(dir / "update.exe", rmRestart, 0, QStringLiteral("REST 0"));
    server.send("150 Opening data connection\r\n");
    ASSERT_TRUE(server.connectData());
    server.sendData(pattern(5000, 4));
    server.closeData();
    ASSERT_TRUE(waitUntil([this] { return events.hasStatus(fscTransferOK); }));
    server.send("426 Connection closed; transfer aborted.\r\n");
    ASSERT_TRUE(waitUntil([this] { return !events.errors.empty(); }));
    EXPECT_EQ(events.errors[0].code, 426);
    EXPECT_FALSE(client.InProgress());
    EXPECT_EQ(std::filesystem::file_size(dir / "update.exe"), 5000u);
}

TEST_F(ScriptedFtpTest, AbortSendsAborAndStopsTheTransfer)
{
    const auto eventLog = dir / "event.log";
    client.EventLog.Enabled = true;
    client.EventLog.FileName = QString::fromStdString(eventLog.string());
    login();
    startRetrieve(dir / "update.exe", rmRestart, 0, QStringLiteral("REST 0"));
    server.send("150 Opening data connection\r\n");
    ASSERT_TRUE(server.connectData());
    server.sendData(pattern(1000, 5));
    ASSERT_TRUE(waitUntil([this] { return client.BytesTransferred() == 1000; }));

    ASSERT_TRUE(client.Abort());
    EXPECT_EQ(server.nextLine(), QStringLiteral("ABOR"));
    EXPECT_TRUE(waitUntil([this] { return server.dataClosedByClient(); }));
    server.send("426 Transfer aborted\r\n226 ABOR command successful\r\n");
    ASSERT_TRUE(waitUntil([this] { return !client.InProgress(); }));
    EXPECT_FALSE(client.Abort());
    EXPECT_FALSE(events.hasStatus(fscTransferOK));

    const QStringList lines = QString::fromStdString(gvtest::readFileText(eventLog)).split(QLatin1Char('\n'));
    const QRegularExpression stamp(QStringLiteral("^\\d{4}\\.\\d{2}\\.\\d{2} \\d{2}:\\d{2}:\\d{2} "));
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(stamp.match(lines[0]).hasMatch()) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith(QLatin1String(" Attempting to re-start transfer of pub/update.exe")));
    EXPECT_TRUE(lines[1].endsWith(QLatin1String(" Transfer aborted by user")));
}

TEST_F(ScriptedFtpTest, AbortBeforeDataStartsSendsNoQueuedCommand)
{
    login();
    ASSERT_TRUE(
        client.Retrieve(QStringLiteral("f.bin"), QString::fromStdString((dir / "f.bin").string()), rmRestart, 0));
    ASSERT_TRUE(server.nextLine().startsWith(QLatin1String("PORT ")));
    ASSERT_TRUE(client.Abort());
    EXPECT_EQ(server.nextLine(), QStringLiteral("ABOR"));
    server.send("200 PORT command successful\r\n225 ABOR command successful\r\n");
    ASSERT_TRUE(waitUntil([this] { return !client.InProgress(); }));
    // Neither TYPE, REST nor RETR follows.
    QTest::qWait(50);
    EXPECT_TRUE(server.pendingLines().isEmpty()) << server.pendingLines().join(QLatin1Char('|')).toStdString();
}

TEST_F(ScriptedFtpTest, ServiceClosing421IsQuiet)
{
    login();
    server.send("421 Service not available, closing control connection\r\n");
    ASSERT_TRUE(waitUntil([this] { return events.hasStatus(fscClose); }));
    EXPECT_TRUE(events.errors.empty());
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(client.State(), TIpFtpClient::stIdle);
}

TEST_F(ScriptedFtpTest, LogoutSendsQuitAnd221Closes)
{
    login();
    ASSERT_TRUE(client.Logout());
    EXPECT_EQ(server.nextLine(), QStringLiteral("QUIT"));
    server.send("221 Goodbye\r\n");
    ASSERT_TRUE(waitUntil([this] { return events.hasStatus(fscClose); }));
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(client.Logout());
    EXPECT_TRUE(waitUntil([this] { return server.clientClosed(); }));
}

TEST_F(ScriptedFtpTest, ServerClosingControlConnectionReportsClosed)
{
    login();
    server.closeControl();
    ASSERT_TRUE(waitUntil([this] { return events.hasStatus(fscClose); }));
    EXPECT_EQ(client.State(), TIpFtpClient::stIdle);
    EXPECT_TRUE(events.errors.empty());
}

TEST_F(ScriptedFtpTest, OverlongReplyIsCappedAndClosesTheConnection)
{
    login();
    // 200 KiB without a line end, in pieces.
    const QByteArray piece(8192, 'x');
    server.send("500 ");
    for (int i = 0; i < 25 && !events.hasStatus(fscClose); ++i) {
        server.send(piece);
        QTest::qWait(1);
    }
    ASSERT_TRUE(waitUntil([this] { return events.hasStatus(fscClose); }));
    ASSERT_EQ(events.errors.size(), 1u);
    EXPECT_EQ(events.errors[0].code, IpFtpErrReplyTooLong);
    EXPECT_FALSE(client.Connected());
    EXPECT_TRUE(waitUntil([this] { return server.clientClosed(); }));
}

TEST_F(ScriptedFtpTest, DataConnectionFromAnotherAddressIsDropped)
{
    login();
    startRetrieve(dir / "update.exe", rmRestart, 0, QStringLiteral("REST 0"));
    server.send("150 Opening data connection\r\n");
    {
        QTcpSocket intruder;
        ASSERT_TRUE(intruder.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        intruder.connectToHost(server.portAddress(), server.portPort());
        intruder.write("forged");
        // Accepted by the system, then dropped by the client.
        EXPECT_TRUE(waitUntil([&] { return intruder.state() == QAbstractSocket::UnconnectedState; }));
    }
    ASSERT_TRUE(server.connectData());
    server.sendData("genuine");
    server.closeData();
    ASSERT_TRUE(waitUntil([this] { return events.hasStatus(fscTransferOK); }));
    EXPECT_EQ(fileBytes(dir / "update.exe"), QByteArray("genuine"));
}

TEST_F(ScriptedFtpTest, LocalFileThatCannotBeOpenedFailsTheRetrieve)
{
    login();
    const auto folder = dir / "is-a-folder";
    std::filesystem::create_directory(folder);
    EXPECT_FALSE(client.Retrieve(QStringLiteral("f.bin"), QString::fromStdString(folder.string()), rmRestart, 0));
    ASSERT_TRUE(waitUntil([this] { return !events.errors.empty(); }));
    EXPECT_EQ(events.errors[0].code, IpFtpErrLocalFile);
    EXPECT_FALSE(client.InProgress());
    QTest::qWait(20);
    EXPECT_TRUE(server.pendingLines().isEmpty());
}

TEST_F(ScriptedFtpTest, LocalWriteFailureIsReportedAndStopsTheTransfer)
{
    login();
    // Writes past a file size limit fail as on a full disk. The local file
    // must be a regular file, so the limit stands in for the disk.
    const QString local = QString::fromStdString((dir / "f.bin").string());
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit small{1000, saved.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &small);
    struct RestoreLimit {
        const rlimit &saved;
        ~RestoreLimit() { ::setrlimit(RLIMIT_FSIZE, &saved); }
    } restoreLimit{saved};
    ASSERT_TRUE(client.Retrieve(QStringLiteral("f.bin"), local, rmRestart, 0));
    ASSERT_TRUE(server.nextLine().startsWith(QLatin1String("PORT ")));
    server.send("200 ok\r\n");
    ASSERT_EQ(server.nextLine(), QStringLiteral("TYPE I"));
    server.send("200 ok\r\n");
    ASSERT_EQ(server.nextLine(), QStringLiteral("REST 0"));
    server.send("350 ok\r\n");
    ASSERT_EQ(server.nextLine(), QStringLiteral("RETR f.bin"));
    server.send("150 Opening data connection\r\n");
    ASSERT_TRUE(server.connectData());
    server.sendData(pattern(70000, 6));
    server.closeData();
    ASSERT_TRUE(waitUntil([this] { return !events.errors.empty(); }));
    EXPECT_EQ(events.errors[0].code, IpFtpErrLocalFile);
    EXPECT_TRUE(events.errors[0].text.contains(local));
    EXPECT_EQ(server.nextLine(), QStringLiteral("ABOR"));
    server.send("226 ABOR command successful\r\n");
    ASSERT_TRUE(waitUntil([this] { return !client.InProgress(); }));
    QTest::qWait(20);
    EXPECT_FALSE(events.hasStatus(fscTransferOK));
}

TEST_F(ScriptedFtpTest, IdleControlConnectionOnlyRaisesTheIdleEvent)
{
    client.IdleTimeout = 100;
    int idle = 0;
    client.OnIdleTimeout = [&idle](TIpFtpClient *) { ++idle; };
    login();
    ASSERT_TRUE(waitUntil([&] { return idle > 0; }));
    EXPECT_TRUE(client.Connected());
    EXPECT_TRUE(events.errors.empty());
    EXPECT_FALSE(events.hasStatus(fscClose));
}

TEST_F(ScriptedFtpTest, PassiveModeIsRefusedAtRetrieveAndFrozenDuringTransfer)
{
    login();
    client.SetPassiveMode(true);
    EXPECT_THROW(client.Retrieve(QStringLiteral("f"), QString::fromStdString((dir / "f").string()), rmRestart, 0),
                 EIpError);
    EXPECT_EQ(client.State(), TIpFtpClient::stReady);
    client.SetPassiveMode(false);
    ASSERT_TRUE(client.Retrieve(QStringLiteral("f"), QString::fromStdString((dir / "f").string()), rmRestart, 0));
    EXPECT_THROW(client.SetPassiveMode(true), EIpError);
    EXPECT_FALSE(client.PassiveMode());
    QTest::qWait(20);
    ASSERT_EQ(server.pendingLines().size(), 1);
    EXPECT_TRUE(server.pendingLines()[0].startsWith(QLatin1String("PORT ")));
}

TEST_F(ScriptedFtpTest, DebugLogHoldsCommandsAndRepliesWithoutPassword)
{
    const auto debugLog = dir / "debug.log";
    gvtest::writeFileText(debugLog, "old content\n");
    client.DebugLog.Enabled = true;
    client.DebugLog.FileName = QString::fromStdString(debugLog.string());
    login();
    ASSERT_TRUE(client.Logout());
    EXPECT_EQ(server.nextLine(), QStringLiteral("QUIT"));
    server.send("221 Goodbye\r\n");
    ASSERT_TRUE(waitUntil([this] { return events.hasStatus(fscClose); }));

    const std::string text = gvtest::readFileText(debugLog);
    EXPECT_EQ(text, "<- 220 Scripted server ready\n-> USER bob\n<- 331 Password required\n-> PASS ******\n"
                    "<- 230 Logged in\n-> QUIT\n<- 221 Goodbye\n");
}

TEST_F(ScriptedFtpTest, StatusReportsArriveFromTheEventLoop)
{
    login();
    const std::size_t before = events.status.size();
    ASSERT_TRUE(
        client.Retrieve(QStringLiteral("f.bin"), QString::fromStdString((dir / "f.bin").string()), rmRestart, 0));
    ASSERT_TRUE(client.Abort());
    // Neither operation reported anything from inside itself.
    EXPECT_EQ(events.status.size(), before);
    EXPECT_TRUE(events.errors.empty());
}

TEST(IpFtpClientSetup, UnsupportedSetupsAreRefusedAtLogin)
{
    struct Case {
        const char *name;
        std::function<void(TIpFtpClient &)> setup;
        const char *message;
    };
    const Case cases[] = {
        {"passive", [](TIpFtpClient &c) { c.SetPassiveMode(true); }, "Passive mode"},
        {"socks", [](TIpFtpClient &c) { c.SocksServer.Address = QStringLiteral("10.1.1.1"); }, "SOCKS"},
    };
    for (const Case &c : cases) {
        TIpFtpClient client;
        c.setup(client);
        try {
            client.Login(QStringLiteral("127.0.0.1"), QStringLiteral("u"), QString(), QStringLiteral("p"));
            ADD_FAILURE() << c.name << ": no failure";
        } catch (const EIpError &e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.name << ": " << e.what();
        }
        EXPECT_EQ(client.State(), TIpFtpClient::stIdle) << c.name;
    }
}

TEST(IpFtpClientSetup, LineBreaksInCommandArgumentsAreRefused)
{
    const QString evil = QStringLiteral("bob\r\nDELE important");
    TIpFtpClient client;
    EXPECT_THROW(client.Login(QStringLiteral("127.0.0.1"), evil, QString(), QString()), EIpError);
    EXPECT_THROW(client.Login(QStringLiteral("127.0.0.1"), QStringLiteral("bob"), QString(), evil), EIpError);
    EXPECT_EQ(client.State(), TIpFtpClient::stIdle);
}

TEST_F(ScriptedFtpTest, LineBreakInRemoteNameIsRefused)
{
    login();
    EXPECT_THROW(
        client.Retrieve(QStringLiteral("f\nDELE x"), QString::fromStdString((dir / "f").string()), rmRestart, 0),
        EIpError);
    EXPECT_EQ(client.State(), TIpFtpClient::stReady);
    QTest::qWait(20);
    EXPECT_TRUE(server.pendingLines().isEmpty());
}

TEST(IpFtpClientSetup, ActiveModeRefusesIPv6ControlConnection)
{
    ScriptedFtpServer server{QHostAddress(QHostAddress::LocalHostIPv6)};
    if (!server.listening())
        GTEST_SKIP() << "no IPv6 loopback on this machine";
    TIpFtpClient client;
    Recorder events(client);
    ASSERT_TRUE(client.Login(QStringLiteral("[::1]:%1").arg(server.port()), QString(), QString(), QString()));
    ASSERT_TRUE(server.waitForClient());
    server.send("220 Ready\r\n");
    ASSERT_TRUE(waitUntil([&] { return events.hasStatus(fscLogin); }));
    gvtest::TempDir dir;
    try {
        client.Retrieve(QStringLiteral("f"), QString::fromStdString((dir / "f").string()), rmRestart, 0);
        FAIL() << "no failure";
    } catch (const EIpError &e) {
        EXPECT_NE(std::string(e.what()).find("IPv4"), std::string::npos) << e.what();
    }
    EXPECT_EQ(client.State(), TIpFtpClient::stReady);
}

TEST(IpFtpClientSetup, HostTextWithoutHostFailsLogin)
{
    TIpFtpClient client;
    try {
        client.Login(QStringLiteral("ftp://user:pw@:21/path"), QStringLiteral("u"), QString(), QString());
        FAIL() << "no failure";
    } catch (const EIpError &e) {
        EXPECT_STREQ(e.what(), "Destination address required");
    }
    EXPECT_EQ(client.State(), TIpFtpClient::stIdle);
}

TEST(IpFtpClientSetup, RefusedConnectionIsReportedAndEndsIdle)
{
    quint16 port;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    TIpFtpClient client;
    Recorder events(client);
    client.DefaultPort = port;
    ASSERT_TRUE(client.Login(QStringLiteral("127.0.0.1"), QStringLiteral("u"), QString(), QString()));
    ASSERT_TRUE(waitUntil([&] { return events.hasStatus(fscClose); }));
    ASSERT_EQ(events.errors.size(), 1u);
    EXPECT_EQ(events.errors[0].code, IpErrConnRefused);
    EXPECT_EQ(client.State(), TIpFtpClient::stIdle);
}

TEST(IpFtpClientSetup, HostNameIsResolvedAndPortInTextWins)
{
    ScriptedFtpServer server;
    TIpFtpClient client;
    Recorder events(client);
    client.DefaultPort = 1; // the port in the text replaces it
    ASSERT_TRUE(client.Login(QStringLiteral("ftp://someone:pw@localhost:%1/pub").arg(server.port()),
                             QStringLiteral("bob"), QString(), QString()));
    ASSERT_TRUE(server.waitForClient());
    server.send("220 Ready\r\n");
    EXPECT_EQ(server.nextLine(), QStringLiteral("USER bob"));
}

} // namespace
