#pragma once

#include "fennick/ApplicationEvents.h"
#include "fennick/UpdateServer.h"

#include <QDialog>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class TclsUtils;
class TIpFtpClient;
class TfrmNewVersionAvailable;

// Downloads the chosen update file over FTP into the temporary folder, with
// progress, resume of an earlier partial download and cancel, checks its
// size and offers to run it.
class TfrmTransferUpdate : public QDialog, public TCloseQueryForm {
public:
    TfrmTransferUpdate(TclsUtils &utils, const TUpdateServer &server, QWidget *parent = nullptr);
    ~TfrmTransferUpdate() override;

    void SetTransferInfo(TfrmNewVersionAvailable *ownerDialog, const std::string &fileName,
                         const std::string &ftpPassword, const std::string &ftpUserId, const std::string &ftpHost,
                         std::int32_t fileSize);
    // How long the login may take before the transfer gives up (ms).
    void SetLoginTimeout(int milliseconds) { FLoginTimeout = milliseconds; }
    // How long a stopped transfer waits for the server's answer to ABOR
    // before the connections are closed (ms).
    void SetAbortTimeout(int milliseconds) { FAbortTimeout = milliseconds; }

    void FormCreate();
    void FormShow();
    void tmrTransferTimer();
    void btnCancelClick();
    void FormCloseQuery(bool &canClose) override;
    void FormClose();
    void AppRestored();
    void ShowProgress();
    std::int32_t LocalFileSize(const std::string &fileName);
    void IpFtpClient1FtpStatus(int statusCode, const QString &info);
    void IpFtpClient1FtpError(int errorCode, const QString &errorText);
    void IpFtpClient1FtpReply(int replyCode, const QString &replyText);

    QLabel *lblTopStatus;
    QLabel *lblTransferStatus;
    QProgressBar *Gauge1;
    QPushButton *btnCancel;
    QTimer *tmrTransfer;
    TIpFtpClient *IpFtpClient1;

    QPointer<TfrmNewVersionAvailable> FOwnerDialog;
    std::string FFileName;
    std::int32_t FFileSize = 0;
    std::string FFtpHost;
    std::string FFtpUserId;
    std::string FFtpPassword;
    bool FTransferring = false;
    bool FLoggedIn = false;
    std::int32_t FErrorCode = 0;
    std::string FErrorText;
    std::int32_t FRestartOffset = 0;
    bool FMinimized = false;
    QString FSavedTitle;
    std::function<void()> FSavedOnRestore;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void reject() override;

private:
    void waitPass();

    TclsUtils &FUtils;
    TUpdateServer FServer;
    int FLoginTimeout = 30000;
    int FAbortTimeout = 10000;
    bool FTimerArmed = false;
};

// How many bytes more than the published size the local file may grow to
// before a transfer is stopped as incomplete.
inline constexpr std::int64_t TransferSizeMargin = 65536;

// The percentage of `total` that `received` is, 0 for a total of 0 or less,
// at most 100; exact for any 32-bit sizes.
int TransferPercentage(std::int64_t received, std::int64_t total);
