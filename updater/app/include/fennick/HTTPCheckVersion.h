#pragma once

#include "fennick/ApplicationEvents.h"
#include "fennick/NMHTTP.h"
#include "fennick/UpdateServer.h"

#include <QDialog>

#include <filesystem>
#include <optional>
#include <string>

class QLabel;
class QPushButton;
class QFrame;
class TclsUtils;
class TfrmNewVersionAvailable;

// The program's main form: fetches the published version description from
// the update server, compares it with the installed version and, when they
// differ, fetches the FTP settings and opens the new-version dialog.
class TfrmCheckInternet : public QDialog, public TCloseQueryForm {
public:
    TfrmCheckInternet(TclsUtils &utils, const TUpdateServer &server = TUpdateServer::Default(),
                      QWidget *parent = nullptr);
    ~TfrmCheckInternet() override;

    // Where the installed version is read; by default the registry at the
    // host's default root.
    void SetRegistryRoot(const std::filesystem::path &root) { FRegistryRoot = root; }

    // Shows the form and runs the program's message loop until the form
    // closes, which ends the program.
    int RunProgram();
    // Brings the window the user works in back to the screen; false when
    // the program has no window left to show.
    bool RestoreWindow();

    void FormCreate();
    void FormShow();
    void btnCheckClick();
    void btnCancelClick();
    void FormCloseQuery(bool &canClose) override;
    void FetchToFile(const QString &url, const std::string &localFile, const QString &message);
    void CheckVersion(const std::string &localFile);
    void ReadInstalledVersion(std::string &version);
    void ReadFtpSettings(std::string &host, std::string &userId, std::string &password);
    void AppMinimized();
    void AppRestored();

    void NMHTTP1Connect();
    void NMHTTP1HostResolved();
    void NMHTTP1InvalidHost();
    void NMHTTP1Status(const QString &status);
    void NMHTTP1PacketRecvd();
    void NMHTTP1Success(int command);

    QFrame *pnlMain;
    QLabel *lblMain;
    QLabel *lblMakeSure;
    QLabel *lblUpdateStatus;
    QFrame *pnlButtons;
    QPushButton *btnCheck;
    QPushButton *btnCancel;
    TNMHTTP *NMHTTP1;

    QString FStatusMessage;
    bool FInvalidHost = false;
    bool FMinimized = false;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    std::string tempFile(const char *name);

    TclsUtils &FUtils;
    TUpdateServer FServer;
    std::optional<std::filesystem::path> FRegistryRoot;
    bool FLaidOut = false;
    bool FChecking = false;
    bool FCloseRequested = false;
    bool FEndsProgram = false;
    TfrmNewVersionAvailable *FNewVersionDialog = nullptr;
};
