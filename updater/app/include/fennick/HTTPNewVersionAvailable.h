#pragma once

#include "fennick/ApplicationEvents.h"
#include "fennick/UpdateServer.h"

#include <QDialog>
#include <QPointer>
#include <QSizeF>

#include <cstdint>
#include <string>

class QLabel;
class QPushButton;
class QRadioButton;
class QTextEdit;
class TclsUtils;
class TfrmTransferUpdate;

namespace updater {
class TIniFile;
}

// Shows the published and the installed version and what the new version
// brings, and lets the user download the patch or the complete installer.
class TfrmNewVersionAvailable : public QDialog, public TCloseQueryForm {
public:
    TfrmNewVersionAvailable(TclsUtils &utils, const TUpdateServer &server, QWidget *parent = nullptr);
    ~TfrmNewVersionAvailable() override;

    void LoadVersionInfo(const updater::TIniFile &ini, const std::string &installedVersion, const std::string &section);
    void btnUpdateClick();
    void btnCancelClick();
    void FormCloseQuery(bool &canClose) override;
    void TransferFinished();
    // The running transfer dialog, if any.
    TfrmTransferUpdate *TransferDialog() const;

    QLabel *Label5;
    QLabel *lblApplication;
    QLabel *Label7;
    QLabel *lblCurrentVersion;
    QLabel *Label6;
    QLabel *lblYourVersion;
    QLabel *Label1;
    QTextEdit *memInfo;
    QPushButton *btnUpdate;
    QPushButton *btnCancel;
    QLabel *Label2;
    QRadioButton *rbPatchOnly;
    QRadioButton *rbFullInstallation;

    std::string FFtpHost;
    std::string FFtpUserId;
    std::string FFtpPassword;
    std::string FFileName;
    std::int32_t FFileSize = 0;
    std::string FFullFileName;
    std::int32_t FFullFileSize = 0;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void reject() override;

private:
    TclsUtils &FUtils;
    TUpdateServer FServer;
    QPointer<TfrmTransferUpdate> FTransferDialog;
    QSizeF FScale{1, 1};
};
