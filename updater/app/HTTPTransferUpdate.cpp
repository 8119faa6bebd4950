#include "fennick/HTTPTransferUpdate.h"

#include "formfont/FormFont.h"

#include "IpFtp.h"
#include "fennick/HTTPNewVersionAvailable.h"
#include "updater/LaunchUtils.h"
#include "updater/UpdateFileName.h"
#include "utils/Utils.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char *const previousTransferQuestion = "There is a previous transfer present on your system.\r"
                                             "This could be from a previously interrupted download.\r"
                                             "or from an old successful download.\r"
                                             "\r"
                                             "Do you want to start the transfer from where the previous\r"
                                             "transfer stopped?";

const char *const timedOutText = "Transfer/connection has timed out";
const char *const notCompleteText = "Transfer interrupted.  File is not complete";

// The local name is in the temporary folder, often the shared /tmp: what is
// there must be our own regular file, not a link or a device put in its place.
bool isPresent(const std::string &fileName)
{
    std::error_code error;
    const auto status = std::filesystem::symlink_status(fileName, error);
    if (error || status.type() == std::filesystem::file_type::not_found)
        return false;
    if (status.type() != std::filesystem::file_type::regular)
        throw std::runtime_error(fileName + " is not a regular file.  Remove it and try again.");
    return true;
}

// A file that holds nothing offers nothing to resume; it goes.
void removeIfEmpty(const std::string &fileName)
{
    std::error_code error;
    const auto status = std::filesystem::symlink_status(fileName, error);
    if (!error && status.type() == std::filesystem::file_type::regular &&
        std::filesystem::file_size(fileName, error) == 0 && !error)
        std::filesystem::remove(fileName, error);
}

} // namespace

int TransferPercentage(std::int64_t received, std::int64_t total)
{
    if (total <= 0 || received <= 0)
        return 0;
    const std::int64_t percent = received * 100 / total;
    return percent > 100 ? 100 : static_cast<int>(percent);
}

TfrmTransferUpdate::TfrmTransferUpdate(TclsUtils &utils, const TUpdateServer &server, QWidget *parent)
    : QDialog(parent), FUtils(utils), FServer(server)
{
    setObjectName(QStringLiteral("frmTransferUpdate"));
    setWindowTitle(QStringLiteral("Update Transfer Status"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(formfont::DialogFont(8));
    setFixedSize(314, 127);

    lblTopStatus = new QLabel(this);
    lblTopStatus->setObjectName(QStringLiteral("lblTopStatus"));
    lblTopStatus->setAlignment(Qt::AlignCenter);
    lblTopStatus->setGeometry(0, 10, 314, 17);

    lblTransferStatus = new QLabel(this);
    lblTransferStatus->setObjectName(QStringLiteral("lblTransferStatus"));
    lblTransferStatus->setAlignment(Qt::AlignCenter);
    lblTransferStatus->setGeometry(0, 32, 314, 17);

    Gauge1 = new QProgressBar(this);
    Gauge1->setObjectName(QStringLiteral("Gauge1"));
    Gauge1->setRange(0, 100);
    Gauge1->setGeometry(16, 56, 282, 20);
    QPalette gaugeColours = Gauge1->palette();
    gaugeColours.setColor(QPalette::Highlight, Qt::blue);
    Gauge1->setPalette(gaugeColours);

    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(120, 90, 75, 25);
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });

    tmrTransfer = new QTimer(this);
    tmrTransfer->setObjectName(QStringLiteral("tmrTransfer"));
    tmrTransfer->setInterval(1000);
    tmrTransfer->setSingleShot(true);
    connect(tmrTransfer, &QTimer::timeout, this, [this] { tmrTransferTimer(); });

    IpFtpClient1 = new TIpFtpClient(this);
    IpFtpClient1->setObjectName(QStringLiteral("IpFtpClient1"));
    IpFtpClient1->OnFtpStatus = [this](TIpFtpClient *, int code, const QString &info) {
        IpFtpClient1FtpStatus(code, info);
    };
    IpFtpClient1->OnFtpError = [this](TIpFtpClient *, int code, const QString &text) {
        IpFtpClient1FtpError(code, text);
    };
    IpFtpClient1->OnFtpReply = [this](TIpFtpClient *, int code, const QString &text) {
        IpFtpClient1FtpReply(code, text);
    };

    // The layout grows with the font the dialog actually gets.
    formfont::ScaleForm(this);
    FormCreate();
}

TfrmTransferUpdate::~TfrmTransferUpdate()
{
    // The restore handler must not call into a dialog that is gone.
    TApplicationEvents::Instance().OnRestore = FSavedOnRestore;
}

void TfrmTransferUpdate::SetTransferInfo(TfrmNewVersionAvailable *ownerDialog, const std::string &fileName,
                                         const std::string &ftpPassword, const std::string &ftpUserId,
                                         const std::string &ftpHost, std::int32_t fileSize)
{
    FOwnerDialog = ownerDialog;
    FFileName = fileName;
    FFtpPassword = ftpPassword;
    FFtpUserId = ftpUserId;
    FFtpHost = ftpHost;
    FFileSize = fileSize;
}

void TfrmTransferUpdate::FormCreate()
{
    lblTransferStatus->clear();
    lblTopStatus->setText(QStringLiteral("Setting up..."));
    Gauge1->setValue(0);
    FSavedTitle = TApplicationEvents::Title();
    FMinimized = false;
    auto &events = TApplicationEvents::Instance();
    FSavedOnRestore = events.OnRestore;
    events.OnRestore = [this] { AppRestored(); };
}

void TfrmTransferUpdate::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TfrmTransferUpdate::FormShow()
{
    // Armed once: showing the dialog again after a minimise starts nothing new.
    if (!FTimerArmed) {
        FTimerArmed = true;
        tmrTransfer->start();
    }
}

void TfrmTransferUpdate::waitPass()
{
    QApplication::processEvents();
    QThread::msleep(5);
}

void TfrmTransferUpdate::tmrTransferTimer()
{
    tmrTransfer->stop();
    FTransferring = true;
    bool success = false;
    bool silent = false;
    std::string failure;
    std::string localFile;
    try {
        updater::CheckUpdateFileName(FFileName);
        localFile = FUtils.TempDirectory() + FFileName;
        Gauge1->setValue(0);
        Gauge1->setVisible(true);

        if (isPresent(localFile)) {
            switch (FUtils.AskYesNoCancel(previousTransferQuestion, mtConfirmation)) {
            case QMessageBox::Yes:
                break;
            case QMessageBox::No:
                std::filesystem::remove(localFile);
                break;
            default:
                throw EAbort();
            }
        }

        lblTransferStatus->setText(QStringLiteral("Connecting to ") + FServer.DomainName +
                                   QStringLiteral(" server..."));
        IpFtpClient1->DefaultPort = 21;
        IpFtpClient1->TransferTimeout = 5000;
        IpFtpClient1->FileType = ftBinary;
        IpFtpClient1->MaxFileSize = std::max<std::int64_t>(FFileSize, 0) + TransferSizeMargin;
        FLoggedIn = false;
        FErrorCode = 0;
        IpFtpClient1->SocksServer.Address.clear();
        IpFtpClient1->SocksServer.Password.clear();
        IpFtpClient1->SocksServer.Port = 1080;
        IpFtpClient1->SocksServer.SocksVersion = svSocks4;
        IpFtpClient1->SetPassiveMode(false);

        struct LogOut {
            TIpFtpClient *client;
            ~LogOut()
            {
                try {
                    if (client->Connected())
                        client->Logout();
                } catch (...) {
                }
            }
        } logOut{IpFtpClient1};

        if (IpFtpClient1->Login(QString::fromStdString(FFtpHost), QString::fromStdString(FFtpUserId), QString(),
                                QString::fromStdString(FFtpPassword))) {
            // Bounded: a host that never answers must not hold the dialog for ever.
            QElapsedTimer waited;
            waited.start();
            while (FErrorCode == 0 && !(IpFtpClient1->Connected() && FLoggedIn) && btnCancel->isEnabled()) {
                if (IpFtpClient1->State() == TIpFtpClient::stIdle) {
                    FErrorCode = -2;
                    FErrorText = "The FTP server closed the connection.";
                } else if (waited.hasExpired(FLoginTimeout)) {
                    FErrorCode = -1;
                    FErrorText = timedOutText;
                } else {
                    waitPass();
                }
            }
            if (FErrorCode == 0 && btnCancel->isEnabled()) {
                FRestartOffset = LocalFileSize(localFile);
                if (IpFtpClient1->Retrieve(QString::fromStdString(FFileName), QString::fromStdString(localFile),
                                           rmRestart, FRestartOffset)) {
                    // A server that never answers ABOR, or a connection that
                    // died without a word, must not hold a stopped transfer.
                    QElapsedTimer stopping;
                    while (IpFtpClient1->InProgress() && FErrorCode == 0 && FTransferring) {
                        if (!btnCancel->isEnabled()) {
                            if (!stopping.isValid())
                                stopping.start();
                            else if (stopping.hasExpired(FAbortTimeout)) {
                                IpFtpClient1->Disconnect();
                                break;
                            }
                        }
                        waitPass();
                    }
                }
            }
        }
    } catch (const EAbort &) {
        silent = true;
    } catch (const std::exception &e) {
        failure = e.what();
    } catch (...) {
        failure = "Unknown error";
    }

    if (failure.empty() && !silent) {
        if (!btnCancel->isEnabled())
            silent = true;
        else if (FErrorCode != 0)
            failure = FErrorText;
        else if (LocalFileSize(localFile) != FFileSize)
            failure = notCompleteText;
        else
            success = true;
    }
    if (!success && !localFile.empty())
        removeIfEmpty(localFile);

    FTransferring = false;
    if (success) {
        lblTopStatus->setText(QStringLiteral("Transfer complete"));
        lblTransferStatus->setText(QStringLiteral("File name: ") + QString::fromStdString(localFile));
    } else {
        lblTopStatus->setText(QStringLiteral("Transfer aborted"));
    }
    btnCancel->setText(QStringLiteral("Close"));
    btnCancel->setEnabled(true);
    FTransferring = false;

    if (!success) {
        if (!silent)
            FUtils.ShowError(failure);
        return;
    }
    const std::string prompt = "The update file has been transferred to the following location:\r\r" + localFile +
                               "\r\rYou can complete the update by closing the application on all workstations\r"
                               "and then choosing to complete the update.  You can also run the update\r"
                               "at a later time instead.\r\rDo you want to run it now to complete the update process?";
    if (FUtils.ConfirmYesNo(prompt)) {
        // A download arrives without the execute permission; the user has
        // just asked to run it.
        std::error_code ignored;
        std::filesystem::permissions(localFile, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add,
                                     ignored);
        updater::TProcessInformation info;
        const std::string directory = std::filesystem::path(localFile).parent_path().string();
        if (updater::StartProgram(localFile, "", directory, info)) {
            if (info.processHandle >= 0)
                ::close(info.processHandle);
            if (info.threadHandle >= 0)
                ::close(info.threadHandle);
        }
        close();
    }
}

void TfrmTransferUpdate::btnCancelClick()
{
    close();
}

void TfrmTransferUpdate::reject()
{
    close();
}

void TfrmTransferUpdate::FormCloseQuery(bool &canClose)
{
    if (!FTransferring)
        return;
    canClose = false;
    if (FMinimized) {
        TApplicationEvents::Instance().Restore();
        QApplication::processEvents();
    }
    if (FUtils.ConfirmYesCancel("Stop transferring this update?")) {
        btnCancel->setEnabled(false);
        try {
            IpFtpClient1->Abort();
        } catch (...) {
            // The transfer loop ends on the client's error or close report.
        }
    }
}

void TfrmTransferUpdate::closeEvent(QCloseEvent *event)
{
    bool canClose = true;
    FormCloseQuery(canClose);
    if (!canClose) {
        event->ignore();
        return;
    }
    event->accept();
    FormClose();
}

void TfrmTransferUpdate::FormClose()
{
    if (FOwnerDialog) {
        FOwnerDialog->TransferFinished();
        return;
    }
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window != this && window->parentWidget() == nullptr && window->isVisible())
            window->close();
}

void TfrmTransferUpdate::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() && !FMinimized) {
        TApplicationEvents::Instance().Minimize();
        FMinimized = true;
        ShowProgress();
    }
}

void TfrmTransferUpdate::AppRestored()
{
    TApplicationEvents::SetTitle(FSavedTitle);
    FMinimized = false;
    if (FSavedOnRestore)
        FSavedOnRestore();
}

void TfrmTransferUpdate::ShowProgress()
{
    if (!FTransferring)
        return;
    const std::int64_t received = IpFtpClient1->BytesTransferred() + FRestartOffset;
    const std::int64_t total = FFileSize;
    const auto shown = static_cast<std::int32_t>(std::min<std::int64_t>(received, INT32_MAX));
    lblTransferStatus->setText(QString::fromStdString(FUtils.FormatThousands(shown) + " of " +
                                                      FUtils.FormatThousands(FFileSize) + " bytes retrieved"));
    Gauge1->setValue(TransferPercentage(received, total));
    QApplication::processEvents();
    if (FMinimized)
        TApplicationEvents::SetTitle(QStringLiteral("Update %1% Complete").arg(Gauge1->value()));
}

std::int32_t TfrmTransferUpdate::LocalFileSize(const std::string &fileName)
{
    std::error_code error;
    if (std::filesystem::symlink_status(fileName, error).type() != std::filesystem::file_type::regular)
        return 0;
    const gvutils::THandle handle =
        FUtils.OpenFile(fileName, gvutils::GENERIC_READ, gvutils::OPEN_EXISTING, gvutils::FILE_SHARE_READ);
    if (handle == gvutils::INVALID_HANDLE_VALUE)
        return 0;
    struct stat status {};
    const bool ok = ::fstat(handle, &status) == 0;
    gvutils::closeFile(handle);
    if (!ok)
        return 0;
    return static_cast<std::int32_t>(std::min<std::int64_t>(status.st_size, INT32_MAX));
}

void TfrmTransferUpdate::IpFtpClient1FtpStatus(int statusCode, const QString &)
{
    switch (statusCode) {
    case fscClose:
    case 3:
        FLoggedIn = false;
        break;
    case fscLogin:
        FLoggedIn = true;
        lblTransferStatus->setText(QStringLiteral("Connected"));
        lblTopStatus->setText(QStringLiteral("Retrieving update..."));
        break;
    case fscProgress:
        ShowProgress();
        break;
    case fscTransferOK:
        ShowProgress();
        FTransferring = false;
        break;
    case fscTimeout:
        FErrorCode = -1;
        FErrorText = timedOutText;
        break;
    default:
        break;
    }
}

void TfrmTransferUpdate::IpFtpClient1FtpError(int errorCode, const QString &errorText)
{
    // Zero means "no error" to the waits, so a reply without a number still counts as one.
    FErrorCode = errorCode != 0 ? errorCode : -3;
    // More bytes than published: the file is not the one announced.
    FErrorText = errorCode == IpFtpErrTooLarge ? std::string(notCompleteText) : errorText.toStdString();
}

void TfrmTransferUpdate::IpFtpClient1FtpReply(int replyCode, const QString &replyText)
{
    // A server closing down (421) is no error to the FTP client, but its
    // reason is the only account of why nothing was transferred.
    if (replyCode == 421 && FErrorCode == 0) {
        FErrorCode = replyCode;
        FErrorText = replyText.toStdString();
    }
}
