// The whole update flow as a user meets it: the program's own message loop,
// real message boxes found on the screen and answered by pressing their
// buttons, and the dialogs' buttons pressed in the same way.
#include "FtpTestServer.h"
#include "ReactiveFtpServer.h"
#include "TempDir.h"
#include "TestHttpServer.h"
#include "fennick/HTTPCheckVersion.h"
#include "fennick/HTTPNewVersionAvailable.h"
#include "fennick/HTTPTransferUpdate.h"
#include "utils/Utils.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace fs = std::filesystem;

namespace {

const char *const previousTransfer = "There is a previous transfer present on your system.";
const char *const notComplete = "Transfer interrupted.  File is not complete";
const char *const runPrompt = "The update file has been transferred to the following location:";
const char *const stopQuestion = "Stop transferring this update?";

// The real utility class, with only its temporary folder moved into the test's.
class FolderUtils : public TclsUtils {
public:
    explicit FolderUtils(const fs::path &folder) : FFolder(folder.string() + "/")
    {
        setSoundHook([](unsigned int) {});
    }
    std::string TempDirectory() override { return FFolder; }

private:
    std::string FFolder;
};

// Presses a button as a click from the event loop, so the handler's own
// waits and modal loops do not hold up the next look at the screen.
void press(QAbstractButton *button)
{
    QPointer<QAbstractButton> target(button);
    QTimer::singleShot(0, button, [target] {
        if (target)
            target->click();
    });
}

struct Answer {
    const char *boxStartsWith;
    QMessageBox::StandardButton button;
};

struct FlowCase {
    const char *name;
    bool slowServer;        // the scripted server, sending in small pieces
    int partialBytes;       // a previous transfer's bytes in the temporary folder
    std::int32_t published; // "FileSize" of version.ini
    bool cancelDuringTransfer;
    std::vector<Answer> answers; // the boxes expected, in order, and how the user answers each
    const char *finalStatus;     // lblTopStatus when the user presses "Close"
    bool fileComplete;
};

void PrintTo(const FlowCase &c, std::ostream *os)
{
    *os << c.name;
}

std::vector<unsigned char> pattern(std::size_t size)
{
    std::vector<unsigned char> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<unsigned char>((i * 7 + 3) % 251);
    return bytes;
}

class FennickFlow : public ::testing::TestWithParam<FlowCase> {
protected:
    static constexpr std::size_t FileBytes = 70000;

    void SetUp() override
    {
        if (!GetParam().slowServer && !FtpTestServer::Available())
            GTEST_SKIP() << "/usr/bin/python3 cannot import pyftpdlib (Debian package python3-pyftpdlib)";
        fs::create_directory(temp.path() / "tmp");
        fs::create_directory(temp.path() / "served");
        fs::create_directory(temp.path() / "host");
        gvtest::writeFileBytes(temp.path() / "served" / "gvpatch.exe", content);
        if (GetParam().partialBytes > 0)
            gvtest::writeFileBytes(
                local(), std::vector<unsigned char>(content.begin(), content.begin() + GetParam().partialBytes));
        std::string ftpHost;
        if (GetParam().slowServer) {
            slow.emplace();
            slow->script = [this](ReactiveFtpServer &server, const QString &line) {
                if (line.startsWith(QLatin1String("RETR"))) {
                    server.reply("150 Opening data connection");
                    server.sendSlowly(QByteArray(reinterpret_cast<const char *>(content.data()),
                                                 static_cast<qsizetype>(content.size())),
                                      2000, 50);
                } else {
                    ReactiveFtpServer::Standard(server, line);
                }
            };
            ftpHost = slow->hostText();
        } else {
            ftp = std::make_unique<FtpTestServer>(temp.path() / "served");
            ASSERT_TRUE(ftp->running()) << ftp->output().toStdString();
            ftpHost = ftp->hostText().toStdString();
        }
        http.setBody("/version.ini", QByteArray("[GEARVANE]\r\nAppName=Gearvane\r\nVersion=2.0\r\n"
                                                "FileName=gvpatch.exe\r\nFileSize=") +
                                         QByteArray::number(GetParam().published) + "\r\nInfo00=Faster\r\n");
        http.setBody("/ftpfmt.ini", QByteArray("[BRENHOLT]\r\nHost Name=") + QByteArray::fromStdString(ftpHost) +
                                        "\r\nUser ID=" + FtpTestServer::User +
                                        "\r\nPassword=" + FtpTestServer::Password + "\r\n");
    }

    void TearDown() override { QApplication::setQuitOnLastWindowClosed(true); }

    fs::path local() const { return temp.path() / "tmp" / "gvpatch.exe"; }

    // One look at the screen, as a user takes it: answers a box that is
    // shown, else presses the button the flow waits for.
    void look(TfrmCheckInternet &form)
    {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(window);
            if (box == nullptr || !box->isVisible() || box->property("answered").toBool())
                continue;
            box->setProperty("answered", true);
            const std::string text = box->text().toStdString();
            boxes.push_back(text);
            QMessageBox::StandardButton button = QMessageBox::NoButton;
            for (const Answer &answer : GetParam().answers)
                if (text.rfind(answer.boxStartsWith, 0) == 0)
                    button = answer.button;
            if (button == QMessageBox::NoButton || box->button(button) == nullptr)
                button = box->standardButtons() & QMessageBox::Ok ? QMessageBox::Ok : QMessageBox::Cancel;
            press(box->button(button));
            return;
        }
        if (!started && form.isVisible() && form.btnCheck->isEnabled()) {
            started = true;
            press(form.btnCheck);
            return;
        }
        auto *offer = dynamic_cast<TfrmNewVersionAvailable *>(QApplication::activeModalWidget());
        if (offer != nullptr && offer->isVisible() && offer->btnUpdate->isEnabled()) {
            press(offer->btnUpdate);
            return;
        }
        TfrmTransferUpdate *transfer = offer != nullptr ? offer->TransferDialog() : nullptr;
        if (transfer == nullptr || !transfer->isVisible())
            return;
        if (GetParam().cancelDuringTransfer && !cancelled &&
            transfer->lblTransferStatus->text().endsWith(QLatin1String("bytes retrieved"))) {
            cancelled = true;
            press(transfer->btnCancel);
        } else if (transfer->btnCancel->text() == QLatin1String("Close") && transfer->btnCancel->isEnabled() &&
                   !closePressed) {
            closePressed = true;
            finalStatus = transfer->lblTopStatus->text().toStdString();
            press(transfer->btnCancel);
        }
    }

    gvtest::TempDir temp;
    TestHttpServer http;
    std::unique_ptr<FtpTestServer> ftp;
    std::optional<ReactiveFtpServer> slow;
    const std::vector<unsigned char> content = pattern(FileBytes);
    std::vector<std::string> boxes;
    bool started = false;
    bool cancelled = false;
    bool closePressed = false;
    std::string finalStatus;
};

TEST_P(FennickFlow, RunsToTheEndWithRealBoxes)
{
    FolderUtils utils(temp.path() / "tmp");
    TfrmCheckInternet form(utils, TUpdateServer{http.hostText(), "brenholt.example"});
    form.SetRegistryRoot(temp.path() / "host");

    QTimer user;
    user.setInterval(25);
    QObject::connect(&user, &QTimer::timeout, [&] { look(form); });
    user.start();
    bool timedOut = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        timedOut = true;
        QCoreApplication::exit(99);
    });
    watchdog.start(90000);

    const int status = form.RunProgram();
    user.stop();

    ASSERT_FALSE(timedOut) << "the program kept running; boxes seen: " << boxes.size();
    EXPECT_EQ(status, 0);
    // The program ended because the user closed the last dialog, not earlier.
    EXPECT_TRUE(closePressed) << "the program ended before the transfer dialog was closed";
    std::vector<std::string> expected;
    for (const Answer &answer : GetParam().answers)
        expected.push_back(answer.boxStartsWith);
    ASSERT_EQ(boxes.size(), expected.size());
    for (std::size_t i = 0; i < boxes.size(); ++i)
        EXPECT_EQ(boxes[i].rfind(expected[i], 0), 0u) << boxes[i];
    EXPECT_EQ(finalStatus, GetParam().finalStatus);
    if (GetParam().fileComplete) {
        EXPECT_EQ(gvtest::readFileBytes(local()), content);
    } else {
        ASSERT_TRUE(fs::exists(local())); // a partial file stays for a later resume
        EXPECT_LT(fs::file_size(local()), FileBytes);
    }
}

const auto Yes = QMessageBox::Yes;
const auto No = QMessageBox::No;
const auto Ok = QMessageBox::Ok;
const auto Cancel = QMessageBox::Cancel;

INSTANTIATE_TEST_SUITE_P(Table, FennickFlow,
                         ::testing::Values(FlowCase{"AResumeThatFailsShowsTheError",
                                                    false,
                                                    1000,
                                                    80000,
                                                    false,
                                                    {{previousTransfer, Yes}, {notComplete, Ok}},
                                                    "Transfer aborted",
                                                    true},
                                           FlowCase{"ASuccessfulResumeOffersToRunTheUpdateAndNoKeepsTheDialog",
                                                    false,
                                                    1000,
                                                    70000,
                                                    false,
                                                    {{previousTransfer, Yes}, {runPrompt, No}},
                                                    "Transfer complete",
                                                    true},
                                           FlowCase{"CancelToTheStopQuestionFinishesTheDownloadAndOffersToRunIt",
                                                    true,
                                                    0,
                                                    70000,
                                                    true,
                                                    {{stopQuestion, Cancel}, {runPrompt, No}},
                                                    "Transfer complete",
                                                    true},
                                           FlowCase{"YesToTheStopQuestionKeepsThePartialFile",
                                                    true,
                                                    0,
                                                    70000,
                                                    true,
                                                    {{stopQuestion, Yes}},
                                                    "Transfer aborted",
                                                    false}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(FennickCancel, CancelInTheNewVersionDialogEndsTheProgram)
{
    gvtest::TempDir temp;
    fs::create_directory(temp.path() / "tmp");
    TestHttpServer http;
    http.setBody("/version.ini", "[GEARVANE]\r\nVersion=2.0\r\nFileName=gvpatch.exe\r\nFileSize=10\r\n");
    http.setBody("/ftpfmt.ini", "[BRENHOLT]\r\nHost Name=127.0.0.1:1\r\nUser ID=u\r\nPassword=p\r\n");
    FolderUtils utils(temp.path() / "tmp");
    TfrmCheckInternet form(utils, TUpdateServer{http.hostText(), "brenholt.example"});
    form.SetRegistryRoot(temp.path());

    bool started = false;
    bool cancelled = false;
    QTimer user;
    user.setInterval(25);
    QObject::connect(&user, &QTimer::timeout, [&] {
        auto *offer = dynamic_cast<TfrmNewVersionAvailable *>(QApplication::activeModalWidget());
        if (!started && form.isVisible()) {
            started = true;
            press(form.btnCheck);
        } else if (offer != nullptr && offer->isVisible() && !cancelled) {
            cancelled = true;
            press(offer->btnCancel);
        }
    });
    user.start();
    bool timedOut = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        timedOut = true;
        QCoreApplication::exit(99);
    });
    watchdog.start(30000);
    const int status = form.RunProgram();
    QApplication::setQuitOnLastWindowClosed(true);
    EXPECT_TRUE(cancelled);
    EXPECT_FALSE(timedOut) << "the program kept running without a window";
    EXPECT_EQ(status, 0);
}

} // namespace
