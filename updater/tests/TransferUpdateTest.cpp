#include "FtpTestServer.h"
#include "ReactiveFtpServer.h"
#include "IpFtp.h"
#include "TempDir.h"
#include "TestUtils.h"
#include "fennick/HTTPNewVersionAvailable.h"
#include "fennick/HTTPTransferUpdate.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTest>
#include <QTimer>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

const char *const previousTransferQuestion =
    "There is a previous transfer present on your system.\rThis could be from a previously interrupted download.\r"
    "or from an old successful download.\r\rDo you want to start the transfer from where the previous\r"
    "transfer stopped?";
const char *const notComplete = "Transfer interrupted.  File is not complete";

std::vector<unsigned char> pattern(std::size_t size)
{
    std::vector<unsigned char> bytes(size);
    std::uint32_t x = 2026;
    for (auto &b : bytes) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<unsigned char>(x >> 24);
    }
    return bytes;
}

// Drives the transfer dialog as the new-version dialog opens it.
class TransferDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directory(temp.path() / "tmp");
        utils = std::make_unique<TestUtils>(temp.path() / "tmp");
        utils->answer = [this](const TMessageBoxRequest &box) {
            if (box.buttons & QMessageBox::No && box.buttons & QMessageBox::Cancel)
                return previousAnswer;
            if (box.buttons & QMessageBox::No)
                return QMessageBox::No; // the run prompt
            return box.buttons & QMessageBox::Yes ? QMessageBox::Yes : QMessageBox::Ok;
        };
        owner = std::make_unique<TfrmNewVersionAvailable>(*utils, TUpdateServer{"web", "brenholt.example"});
    }
    void TearDown() override
    {
        owner.reset();
        utils.reset();
    }

    fs::path local(const std::string &name) const { return temp.path() / "tmp" / name; }

    void start(const std::string &host, const std::string &fileName, std::int32_t size, int loginTimeout = 30000)
    {
        owner->FFtpHost = host;
        owner->FFtpUserId = FtpTestServer::User;
        owner->FFtpPassword = password;
        owner->FFileName = fileName;
        owner->FFileSize = size;
        owner->rbPatchOnly->setChecked(true);
        owner->show();
        owner->btnUpdateClick();
        transfer = owner->TransferDialog();
        ASSERT_NE(transfer, nullptr);
        transfer->SetLoginTimeout(loginTimeout);
        const auto handler = transfer->IpFtpClient1->OnFtpStatus;
        transfer->IpFtpClient1->OnFtpStatus = [this, handler](TIpFtpClient *client, int code, const QString &info) {
            handler(client, code, info);
            if (code == fscProgress || code == fscTransferOK) {
                progress.push_back(transfer->lblTransferStatus->text().toStdString());
                moved.push_back(client->BytesTransferred());
                gauge.push_back(transfer->Gauge1->value());
            }
        };
    }

    bool finished()
    {
        return QTest::qWaitFor(
            [this] { return transfer.isNull() || transfer->btnCancel->text() == QLatin1String("Close"); }, 60000);
    }

    std::string grouped(std::int64_t n) const { return utils->FormatThousands(static_cast<std::int32_t>(n)); }

    gvtest::TempDir temp;
    std::unique_ptr<TestUtils> utils;
    std::unique_ptr<TfrmNewVersionAvailable> owner;
    QPointer<TfrmTransferUpdate> transfer;
    QMessageBox::StandardButton previousAnswer = QMessageBox::Yes;
    std::string password = FtpTestServer::Password;
    std::vector<std::string> progress;
    std::vector<qint64> moved;
    std::vector<int> gauge;
};

class TransferUpdate : public TransferDialogTest {
protected:
    static void SetUpTestSuite() { available = FtpTestServer::Available(); }

    void SetUp() override
    {
        if (!available)
            GTEST_SKIP() << "/usr/bin/python3 cannot import pyftpdlib (Debian package python3-pyftpdlib)";
        TransferDialogTest::SetUp();
        fs::create_directory(temp.path() / "served");
        gvtest::writeFileBytes(temp.path() / "served" / "gvpatch.exe", content);
        server = std::make_unique<FtpTestServer>(temp.path() / "served");
        ASSERT_TRUE(server->running()) << server->output().toStdString();
    }

    void TearDown() override
    {
        TransferDialogTest::TearDown();
        server.reset();
    }

    static inline bool available = false;
    const std::vector<unsigned char> content = pattern(70000);
    std::unique_ptr<FtpTestServer> server;
};

TEST_F(TransferUpdate, DownloadsTheWholeFileAndOffersToRunIt)
{
    start(server->hostText().toStdString(), "gvpatch.exe", 70000);
    ASSERT_TRUE(finished());
    EXPECT_EQ(gvtest::readFileBytes(local("gvpatch.exe")), content);
    EXPECT_TRUE(utils->texts(mtError).empty()) << utils->texts(mtError).front();
    EXPECT_EQ(transfer->lblTopStatus->text(), QStringLiteral("Transfer complete"));
    EXPECT_EQ(transfer->lblTransferStatus->text().toStdString(), "File name: " + local("gvpatch.exe").string());
    EXPECT_EQ(transfer->Gauge1->value(), 100);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), grouped(70000) + " of " + grouped(70000) + " bytes retrieved");
    EXPECT_EQ(utils->texts(mtConfirmation),
              std::vector<std::string>{"The update file has been transferred to the following location:\r\r" +
                                       local("gvpatch.exe").string() +
                                       "\r\rYou can complete the update by closing the application on all "
                                       "workstations\rand then choosing to complete the update.  You can also run "
                                       "the update\rat a later time instead.\r\rDo you want to run it now to "
                                       "complete the update process?"});

    // "No" leaves the dialog open with "Close"; closing it closes the owner too.
    EXPECT_TRUE(transfer->isVisible());
    EXPECT_TRUE(transfer->btnCancel->isEnabled());
    transfer->btnCancel->click();
    EXPECT_TRUE(QTest::qWaitFor([this] { return transfer.isNull(); }, 5000));
    EXPECT_FALSE(owner->isVisible());
    EXPECT_TRUE(owner->btnCancel->isEnabled());
}

TEST_F(TransferUpdate, YesToTheRunPromptStartsTheUpdateInItsFolderAndCloses)
{
    const std::string script = "#!/bin/sh\necho ran > started.txt\n";
    gvtest::writeFileText(temp.path() / "served" / "setup.sh", script);
    utils->answer = [](const TMessageBoxRequest &) { return QMessageBox::Yes; };
    start(server->hostText().toStdString(), "setup.sh", static_cast<std::int32_t>(script.size()));
    ASSERT_TRUE(QTest::qWaitFor([this] { return transfer.isNull(); }, 60000));
    EXPECT_TRUE(utils->texts(mtError).empty());
    EXPECT_TRUE(QTest::qWaitFor([this] { return fs::exists(local("started.txt")); }, 10000));
    EXPECT_FALSE(owner->isVisible());
}

TEST_F(TransferUpdate, ResumesBehindAPartialFileWhenAskedTo)
{
    const std::vector<unsigned char> partial(content.begin(), content.begin() + 1000);
    gvtest::writeFileBytes(local("gvpatch.exe"), partial);
    start(server->hostText().toStdString(), "gvpatch.exe", 70000);
    ASSERT_TRUE(finished());
    EXPECT_EQ(utils->boxes.front().text, previousTransferQuestion);
    EXPECT_EQ(utils->boxes.front().type, mtConfirmation);
    EXPECT_EQ(gvtest::readFileBytes(local("gvpatch.exe")), content);
    EXPECT_EQ(transfer->FRestartOffset, 1000);
    ASSERT_FALSE(progress.empty());
    for (std::size_t i = 0; i < progress.size(); ++i)
        EXPECT_EQ(progress[i], grouped(1000 + moved[i]) + " of " + grouped(70000) + " bytes retrieved");
    EXPECT_LT(moved.back(), 70000);
}

TEST_F(TransferUpdate, NoToThePreviousTransferStartsAfresh)
{
    gvtest::writeFileText(local("gvpatch.exe"), std::string(500, 'z'));
    previousAnswer = QMessageBox::No;
    start(server->hostText().toStdString(), "gvpatch.exe", 70000);
    ASSERT_TRUE(finished());
    EXPECT_EQ(gvtest::readFileBytes(local("gvpatch.exe")), content);
    EXPECT_EQ(transfer->FRestartOffset, 0);
}

TEST_F(TransferUpdate, CancelToThePreviousTransferStopsSilently)
{
    gvtest::writeFileText(local("gvpatch.exe"), std::string(500, 'z'));
    previousAnswer = QMessageBox::Cancel;
    start(server->hostText().toStdString(), "gvpatch.exe", 70000);
    ASSERT_TRUE(finished());
    EXPECT_EQ(utils->boxes.size(), 1u);
    EXPECT_EQ(transfer->lblTopStatus->text(), QStringLiteral("Transfer aborted"));
    EXPECT_EQ(gvtest::readFileText(local("gvpatch.exe")), std::string(500, 'z'));
}

struct SizeCase {
    const char *name;
    std::int32_t published;
    bool gaugeStaysZero;
};

class PublishedSizes : public TransferUpdate, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(PublishedSizes, ThatDifferFromTheFileEndTheTransferAsIncomplete)
{
    start(server->hostText().toStdString(), "gvpatch.exe", GetParam().published);
    ASSERT_TRUE(finished());
    // Progress reported with the last bytes arrives after the end.
    QCoreApplication::processEvents();
    EXPECT_EQ(utils->texts(mtError), std::vector<std::string>{notComplete});
    EXPECT_EQ(transfer->lblTopStatus->text(), QStringLiteral("Transfer aborted"));
    // Kept for a later resume, up to the published size and its margin.
    const auto kept = std::min<std::size_t>(content.size(), GetParam().published + TransferSizeMargin);
    EXPECT_EQ(gvtest::readFileBytes(local("gvpatch.exe")),
              std::vector<unsigned char>(content.begin(), content.begin() + static_cast<std::ptrdiff_t>(kept)));
    ASSERT_FALSE(gauge.empty());
    if (GetParam().gaugeStaysZero) {
        EXPECT_EQ(*std::max_element(gauge.begin(), gauge.end()), 0);
    } else {
        EXPECT_LT(gauge.back(), 100);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, PublishedSizes,
                         ::testing::Values(SizeCase{"Larger", 80000, false}, SizeCase{"Zero", 0, true}),
                         [](const auto &info) { return info.param.name; });

TEST_F(TransferUpdate, ALocalFileLongerThanTheRemoteOneEndsInAFailure)
{
    std::vector<unsigned char> longer = content;
    longer.resize(content.size() + 500, 0x55);
    gvtest::writeFileBytes(local("gvpatch.exe"), longer);
    start(server->hostText().toStdString(), "gvpatch.exe", 70000);
    ASSERT_TRUE(finished());
    EXPECT_EQ(utils->texts(mtError).size(), 1u);
    EXPECT_EQ(transfer->lblTopStatus->text(), QStringLiteral("Transfer aborted"));
    EXPECT_EQ(gvtest::readFileBytes(local("gvpatch.exe")), longer);
}

TEST_F(TransferUpdate, AMissingRemoteFileShowsTheServersReply)
{
    start(server->hostText().toStdString(), "nothere.exe", 70000);
    ASSERT_TRUE(finished());
    ASSERT_EQ(utils->texts(mtError).size(), 1u);
    EXPECT_EQ(utils->texts(mtError).front().substr(0, 3), "550");
}

TEST_F(TransferUpdate, MoreBytesThanPublishedStopAtTheMarginAsIncomplete)
{
    start(server->hostText().toStdString(), "gvpatch.exe", 1000);
    ASSERT_TRUE(finished());
    EXPECT_EQ(utils->texts(mtError), std::vector<std::string>{notComplete});
    EXPECT_EQ(fs::file_size(local("gvpatch.exe")), static_cast<std::uintmax_t>(1000 + TransferSizeMargin));
}

struct PlantedCase {
    const char *name;
    void (*plant)(const fs::path &update, const fs::path &victim);
};

class PlantedUpdateFiles : public TransferDialogTest, public ::testing::WithParamInterface<PlantedCase> {};

TEST_P(PlantedUpdateFiles, AreRefusedBeforeAnythingIsAskedOrWritten)
{
    const fs::path victim = temp.path() / "victim.txt";
    gvtest::writeFileText(victim, "precious");
    GetParam().plant(local("gvpatch.exe"), victim);
    start("127.0.0.1:1", "gvpatch.exe", 100);
    ASSERT_TRUE(finished());
    ASSERT_EQ(utils->texts(mtError).size(), 1u);
    EXPECT_NE(utils->texts(mtError).front().find("is not a regular file"), std::string::npos);
    EXPECT_TRUE(utils->texts(mtConfirmation).empty());
    EXPECT_EQ(gvtest::readFileText(victim), "precious");
}

INSTANTIATE_TEST_SUITE_P(
    Table, PlantedUpdateFiles,
    ::testing::Values(PlantedCase{"SymbolicLink", [](const fs::path &update,
                                                     const fs::path &victim) { fs::create_symlink(victim, update); }},
                      PlantedCase{"Fifo", [](const fs::path &update, const fs::path &) { ::mkfifo(update.c_str(), 0600); }}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(TransferDialogTest, A421InAnswerToPortShowsTheServersReasonAndLeavesNoFile)
{
    ReactiveFtpServer ftp;
    ftp.script = [](ReactiveFtpServer &server, const QString &line) {
        if (line.startsWith(QLatin1String("PORT")))
            server.reply("421 Too many users, try again later");
        else
            ReactiveFtpServer::Standard(server, line);
    };
    start(ftp.hostText(), "gvpatch.exe", 100);
    ASSERT_TRUE(finished());
    EXPECT_EQ(utils->texts(mtError), std::vector<std::string>{"421 Too many users, try again later"});
    EXPECT_FALSE(fs::exists(local("gvpatch.exe")));
}

TEST_F(TransferDialogTest, StoppingWhenTheServerNeverAnswersAborIsBounded)
{
    ReactiveFtpServer ftp;
    ftp.script = [](ReactiveFtpServer &server, const QString &line) {
        if (line.startsWith(QLatin1String("RETR"))) {
            server.reply("150 Opening data connection");
            server.openData();
            server.data->write(QByteArray(300, 'p'));
        } else if (line != QLatin1String("ABOR")) { // ABOR gets no answer
            ReactiveFtpServer::Standard(server, line);
        }
    };
    start(ftp.hostText(), "gvpatch.exe", 1000);
    transfer->SetAbortTimeout(300);
    QTimer stop;
    stop.setInterval(20);
    QObject::connect(&stop, &QTimer::timeout, [this, &stop] {
        if (transfer && transfer->lblTransferStatus->text().endsWith(QLatin1String("bytes retrieved"))) {
            stop.stop();
            transfer->close();
        }
    });
    stop.start();
    QElapsedTimer took;
    took.start();
    ASSERT_TRUE(finished());
    EXPECT_LT(took.elapsed(), 20000);
    EXPECT_TRUE(ftp.lines.contains(QStringLiteral("ABOR")));
    EXPECT_EQ(utils->texts(mtConfirmation), std::vector<std::string>{"Stop transferring this update?"});
    EXPECT_TRUE(utils->texts(mtError).empty());
    EXPECT_EQ(transfer->lblTopStatus->text(), QStringLiteral("Transfer aborted"));
    EXPECT_TRUE(transfer->btnCancel->isEnabled());
    EXPECT_EQ(fs::file_size(local("gvpatch.exe")), 300u); // kept for a later resume
}

// An FTP host that accepts the connection and never says a word.
class SilentHost : public TransferDialogTest {
protected:
    void SetUp() override
    {
        TransferDialogTest::SetUp();
        ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    }
    std::string hostText() const { return "127.0.0.1:" + std::to_string(silent.serverPort()); }
    QTcpServer silent;
};

TEST_F(SilentHost, TheLoginWaitIsBounded)
{
    start(hostText(), "gvpatch.exe", 100, 300);
    ASSERT_TRUE(finished());
    EXPECT_EQ(utils->texts(mtError), std::vector<std::string>{"Transfer/connection has timed out"});
    EXPECT_EQ(transfer->lblTopStatus->text(), QStringLiteral("Transfer aborted"));
}

TEST_F(SilentHost, StoppingWhileConnectingEndsSilently)
{
    start(hostText(), "gvpatch.exe", 100);
    QTimer stop;
    stop.setInterval(20);
    QObject::connect(&stop, &QTimer::timeout, [this, &stop] {
        if (transfer && transfer->lblTransferStatus->text().startsWith(QLatin1String("Connecting to"))) {
            stop.stop();
            transfer->close();
        }
    });
    stop.start();
    ASSERT_TRUE(finished());
    EXPECT_EQ(utils->texts(mtConfirmation), std::vector<std::string>{"Stop transferring this update?"});
    EXPECT_TRUE(utils->texts(mtError).empty());
    EXPECT_EQ(transfer->lblTopStatus->text(), QStringLiteral("Transfer aborted"));
    EXPECT_EQ(transfer->lblTransferStatus->text(), QStringLiteral("Connecting to brenholt.example server..."));
}

TEST_F(SilentHost, AServerGivenNameWithAFolderIsRefused)
{
    start(hostText(), "../evil.exe", 100);
    ASSERT_TRUE(finished());
    ASSERT_EQ(utils->texts(mtError).size(), 1u);
    EXPECT_NE(utils->texts(mtError).front().find("../evil.exe"), std::string::npos);
    EXPECT_EQ(silent.hasPendingConnections(), false);
    EXPECT_FALSE(fs::exists(temp.path() / "evil.exe"));
}

struct PercentCase {
    const char *name;
    std::int64_t received;
    std::int64_t total;
    int percent;
};

class Percentages : public ::testing::TestWithParam<PercentCase> {};

TEST_P(Percentages, AreExactWithoutOverflow)
{
    EXPECT_EQ(TransferPercentage(GetParam().received, GetParam().total), GetParam().percent);
}

INSTANTIATE_TEST_SUITE_P(Table, Percentages,
                         ::testing::Values(PercentCase{"Start", 0, 30000000, 0},
                                           PercentCase{"JustBelowOne", 299999, 30000000, 0},
                                           PercentCase{"Half", 15000000, 30000000, 50},
                                           PercentCase{"AlmostDone", 29999999, 30000000, 99},
                                           PercentCase{"Done", 30000000, 30000000, 100},
                                           PercentCase{"LargestFile", 2147483646, 2147483647, 99},
                                           PercentCase{"MoreThanPublished", 31000000, 30000000, 100},
                                           PercentCase{"NothingPublished", 5000, 0, 0}),
                         [](const auto &info) { return info.param.name; });

TEST_F(TransferDialogTest, ProgressShowsGroupedCountsAndTheMinimisedTitle)
{
    TfrmTransferUpdate dialog(*utils, TUpdateServer{"web", "brenholt.example"});
    dialog.SetTransferInfo(nullptr, "gvfull.exe", "pw", "user", "host", 30000000);
    dialog.FTransferring = true;
    dialog.FRestartOffset = 15000000;
    dialog.ShowProgress();
    EXPECT_EQ(dialog.lblTransferStatus->text().toStdString(),
              grouped(15000000) + " of " + grouped(30000000) + " bytes retrieved");
    EXPECT_EQ(dialog.Gauge1->value(), 50);

    const QString title = TApplicationEvents::Title();
    dialog.FMinimized = true;
    dialog.ShowProgress();
    EXPECT_EQ(TApplicationEvents::Title(), QStringLiteral("Update 50% Complete"));
    dialog.AppRestored();
    EXPECT_EQ(TApplicationEvents::Title(), title);
    EXPECT_FALSE(dialog.FMinimized);
}

} // namespace
