#include "fennick/NMHTTP.h"
#include "TempDir.h"
#include "TestHttpServer.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <filesystem>
#include <sys/stat.h>

namespace {

class NMHTTP : public ::testing::Test {
protected:
    void SetUp() override
    {
        http.InputFileMode = true;
        http.ReportLevel = 2;
        http.Body = QString::fromStdString((dir / "body.txt").string());
        http.OnStatus = [this](const QString &text) { statuses << text; };
        http.OnPacketRecvd = [this] { ++packets; };
        http.OnSuccess = [this](int command) { successes << command; };
        http.OnInvalidHost = [this] { ++invalidHosts; };
        http.OnHostResolved = [this] { ++resolved; };
    }
    QString url(const char *path) const { return QStringLiteral("http://") + server.hostText() + path; }
    std::string body() const { return gvtest::readFileText(dir / "body.txt"); }

    gvtest::TempDir dir;
    TestHttpServer server;
    TNMHTTP http;
    QStringList statuses;
    int packets = 0;
    QList<int> successes;
    int invalidHosts = 0;
    int resolved = 0;
};

TEST_F(NMHTTP, GetWritesTheBodyToTheFileAndReportsEachStep)
{
    server.setBody("/version.ini", "[GEARVANE]\r\nVersion=1.10\r\n");
    http.Get(url("/version.ini"));
    EXPECT_EQ(body(), "[GEARVANE]\r\nVersion=1.10\r\n");
    EXPECT_EQ(http.BytesRecvd(), 26);
    EXPECT_EQ(http.BytesTotal(), 26);
    EXPECT_EQ(http.ReplyNumber(), 200);
    EXPECT_EQ(resolved, 1);
    EXPECT_GE(packets, 1);
    EXPECT_EQ(successes, QList<int>{TNMHTTP::cmdGET});
    EXPECT_TRUE(statuses.contains(QStringLiteral("HTTP/1.1 200 OK")));
    EXPECT_TRUE(server.lastRequest().startsWith("GET /version.ini HTTP/1.1\r\nHost: 127.0.0.1:"));
}

TEST_F(NMHTTP, AChunkedBodyArrivesWhole)
{
    const QByteArray text(100, 'x');
    server.setChunked("/version.ini", text);
    http.Get(url("/version.ini"));
    EXPECT_EQ(body(), std::string(100, 'x'));
    EXPECT_EQ(http.BytesRecvd(), http.BytesTotal());
}

TEST_F(NMHTTP, AMissingObjectFailsWithTheStatusLineAndWritesNothing)
{
    int replyDuringStatus = 0;
    http.OnStatus = [&](const QString &) { replyDuringStatus = qMax(replyDuringStatus, http.ReplyNumber()); };
    try {
        http.Get(url("/missing.ini"));
        FAIL() << "Get succeeded";
    } catch (const ENMHTTPError &e) {
        EXPECT_STREQ(e.what(), "HTTP/1.1 404 Not Found");
    }
    EXPECT_EQ(replyDuringStatus, 404);
    EXPECT_FALSE(std::filesystem::exists(dir / "body.txt"));
    EXPECT_TRUE(successes.isEmpty());
}

TEST_F(NMHTTP, ABodyCutShortLeavesFewerBytesThanAnnounced)
{
    server.setShortBody("/version.ini", "[GEARVANE]\r\n", 500);
    http.Get(url("/version.ini"));
    EXPECT_EQ(http.BytesRecvd(), 12);
    EXPECT_EQ(http.BytesTotal(), 500);
    EXPECT_TRUE(successes.isEmpty());
}

TEST_F(NMHTTP, ABodyOverTheLimitIsRefused)
{
    http.MaxBodySize = 1000;
    server.setBody("/announced.ini", QByteArray(1001, 'a'));
    EXPECT_THROW(http.Get(url("/announced.ini")), ENMHTTPError);
    server.setChunked("/unannounced.ini", QByteArray(5000, 'b'));
    EXPECT_THROW(http.Get(url("/unannounced.ini")), ENMHTTPError);
    EXPECT_LE(std::filesystem::file_size(dir / "body.txt"), 1000u);
}

TEST_F(NMHTTP, ASilentServerEndsTheGetAfterTheTimeOut)
{
    http.TimeOut = 200;
    server.setHanging("/version.ini");
    EXPECT_THROW(http.Get(url("/version.ini")), ENMHTTPError);
}

TEST_F(NMHTTP, AServerThatTricklesIsBoundedByTheWholeGetsTimeLimit)
{
    // Never silent for long, but the whole body would take 20 s.
    http.TimeOut = 1000;
    http.TotalTimeOut = 700;
    server.setTrickling("/version.ini", QByteArray(200, 'v'), 100);
    QElapsedTimer took;
    took.start();
    EXPECT_THROW(http.Get(url("/version.ini")), ENMHTTPError);
    EXPECT_LT(took.elapsed(), 5000);
}

struct PlantedCase {
    const char *name;
    void (*plant)(const std::filesystem::path &body, const std::filesystem::path &victim);
};

class PlantedBodyFiles : public NMHTTP, public ::testing::WithParamInterface<PlantedCase> {};

TEST_P(PlantedBodyFiles, AreRefusedAndWhatTheyPointAtStaysUntouched)
{
    const auto victim = dir / "victim.txt";
    gvtest::writeFileText(victim, "precious");
    GetParam().plant(dir / "body.txt", victim);
    server.setBody("/version.ini", "[GEARVANE]\r\nVersion=9\r\n");
    EXPECT_THROW(http.Get(url("/version.ini")), ENMHTTPError);
    EXPECT_EQ(gvtest::readFileText(victim), "precious");
}

INSTANTIATE_TEST_SUITE_P(
    Table, PlantedBodyFiles,
    ::testing::Values(PlantedCase{"SymbolicLink", [](const auto &body,
                                                     const auto &victim) { std::filesystem::create_symlink(victim, body); }},
                      PlantedCase{"Fifo", [](const auto &body, const auto &) { ::mkfifo(body.c_str(), 0600); }},
                      PlantedCase{"Folder", [](const auto &body, const auto &) { std::filesystem::create_directory(body); }}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(NMHTTP, AnUnknownHostRaisesTheInvalidHostEventAndFails)
{
    EXPECT_THROW(http.Get(QStringLiteral("http://gearvane-update.invalid/version.ini")), ENMHTTPError);
    EXPECT_EQ(invalidHosts, 1);
    EXPECT_EQ(resolved, 0);
}

TEST_F(NMHTTP, AbortFromAnEventHandlerEndsTheGet)
{
    server.setHanging("/version.ini");
    http.OnConnect = [this] { http.Abort(); };
    try {
        http.Get(url("/version.ini"));
        FAIL() << "Get succeeded";
    } catch (const ENMHTTPError &e) {
        EXPECT_STREQ(e.what(), "Connection aborted");
    }
}

} // namespace
